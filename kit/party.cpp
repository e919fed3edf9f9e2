// party: a party folder read and checked (see party.h).
#include "kit/party.h"

#include <algorithm>
#include <cstdio>

#include "kit/dates.h"
#include "kit/pages.h"
#include "kit/pictures.h"
#include "kit/text.h"

namespace kit {

namespace {

struct KeyLimit {
  const char* key;
  size_t limit;
};
const KeyLimit kMaxLengths[] = {
    {"name", kNameMax},
    {"edition", kEditionMax},
    {"dates", kDatesMax},
    {"place", kPlaceMax},
    {"summary", kSummaryMax},
    {"year", kYearMax},
    {"short_dates", kShortDatesMax},
    {"town", kTownMax},
    {"country", kCountryMax},
    {"site", kSiteMax},
    {"music", kMusicNameMax},
    {"title", kTitleMax},
};

struct KeyText {
  const char* key;
  const char* text;
};
const KeyText kExamples[] = {
    {"name", "Riverside Party 2027"},
    {"edition", "Summer Edition"},
    {"dates", "Friday 6 - Sunday 8 August 2027"},
    {"place", "Town hall, Market square 1, Riverton, Ostland"},
    {"summary", "Three days of demos, music and pixels by the river."},
};
// The facts derived from another, whose line a problem of theirs names.
const KeyText kDerivedFrom[] = {{"year", "dates"}, {"short_dates", "dates"}, {"town", "place"}, {"country", "place"}};

// The lettered facts, checked for the characters the lettering draws.
const char* const kLettered[] = {"name", "edition", "year", "short_dates", "town", "country"};

const std::string& empty_string() {
  static const std::string empty;
  return empty;
}

bool is_key(const std::string& key) {
  for (const char* k : kRequiredKeys) {
    if (key == k) return true;
  }
  for (const char* k : kOptionalKeys) {
    if (key == k) return true;
  }
  return false;
}

std::string all_keys() {
  std::string out;
  for (const char* k : kRequiredKeys) out += std::string(out.empty() ? "" : ", ") + k;
  for (const char* k : kOptionalKeys) out += std::string(", ") + k;
  return out;
}

const char* derived_from(const std::string& key) {
  for (const KeyText& d : kDerivedFrom) {
    if (key == d.key) return d.text;
  }
  return "";
}

bool all_digits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Column (1-based, in characters) of the first character not allowed, or 0.
template <typename Allowed>
size_t first_bad(const std::u32string& text, Allowed allowed) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (!allowed(text[i])) return i + 1;
  }
  return 0;
}

std::string quoted_char(char32_t c) {
  std::string out = "\"";
  utf8_append(out, c);
  return out + "\"";
}

// A file name's extension in lower case, "" without one.
std::string extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : text_lower_ascii(name.substr(dot + 1));
}

std::string stem(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

template <size_t N>
bool listed(const char* const (&list)[N], const std::string& text) {
  for (const char* item : list) {
    if (text == item) return true;
  }
  return false;
}

// The names at the top of the folder, each with whether it is a folder.
std::map<std::string, bool> top_names(const Files& folder) {
  std::map<std::string, bool> names;
  for (const auto& entry : folder) {
    const size_t slash = entry.first.find('/');
    if (slash == std::string::npos) {
      names.emplace(entry.first, false);
    } else {
      names[entry.first.substr(0, slash)] = true;
    }
  }
  return names;
}

bool is_sound_name(const std::string& name) {
  return name.find('.') != std::string::npos && listed(kMusicExtensions, extension(name));
}

bool is_folder_in(const Files& folder, const std::string& path) {
  const auto it = folder.lower_bound(path + "/");
  return it != folder.end() && it->first.compare(0, path.size() + 1, path + "/") == 0;
}

// ---------------------------------------------------------------- facts

void read_lines(const Bytes& bytes, Party& party, Problems& problems) {
  const std::string_view raw =
      utf8_without_bom(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::u32string text;
  size_t bad = 0;
  if (!utf8_decode(raw, text, &bad)) {
    const int line = 1 + static_cast<int>(std::count(raw.begin(), raw.begin() + bad, '\n'));
    problems.add(kPartyFile, "not UTF-8 text; save it as UTF-8", line);
    return;
  }
  party.read = true;
  int n = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(U'\n', start);
    if (end == std::u32string::npos) end = text.size();
    std::u32string line = text.substr(start, end - start);
    start = end + 1;
    ++n;
    while (!line.empty() && line.back() == U'\r') line.pop_back();
    if (text_rstrip(line).empty() || line[0] == U'#') continue;
    size_t k = 0;
    while (k < line.size() && ((line[k] >= U'a' && line[k] <= U'z') || line[k] == U'_')) ++k;
    if (k == 0 || k >= line.size() || line[k] != U':') {
      problems.add(kPartyFile,
                   "not a \"key: value\" line; write it as \"name: Your Party\" (the key in lower case, the colon "
                   "right after it) or start it with #",
                   n, 1);
      continue;
    }
    const std::string key = utf8_encode(std::u32string_view(line).substr(0, k));
    size_t v = k + 1;
    while (v < line.size() && line[v] == U' ') ++v;
    const std::string value = utf8_encode(text_rstrip(std::u32string_view(line).substr(v)));
    if (value.empty()) {
      problems.add(kPartyFile, "\"" + key + ":\" has no value; write it after the colon", n,
                   static_cast<int>(key.size()) + 2);
      party.empty.insert(key);
      continue;
    }
    if (!is_key(key)) {
      problems.add(kPartyFile, "unknown key \"" + key + "\"; the keys are " + all_keys(), n, 1);
      continue;
    }
    if (party.lines.count(key)) {
      problems.add(kPartyFile,
                   "\"" + key + "\" given twice (first on line " + std::to_string(party.lines[key]) + "); keep one", n,
                   1);
      continue;
    }
    party.facts[key] = value;
    party.given.push_back(key);
    party.lines[key] = n;
    party.columns[key] = static_cast<int>(v) + 1;
  }
}

// The third caption: the short dates with as much of the place as the
// caption strip holds.
std::string third_caption(const Party& party) {
  const std::string& short_dates = party.fact("short_dates");
  const std::string& town = party.fact("town");
  const std::string& country = party.fact("country");
  const std::vector<std::vector<std::string>> tries = {{short_dates, town, country}, {short_dates, town}};
  for (const auto& parts : tries) {
    std::string line;
    for (const std::string& p : parts) {
      if (p.empty()) continue;
      if (!line.empty()) line += ", ";
      line += p;
    }
    if (utf8_length(text_fold_ascii(line)) <= static_cast<size_t>(kCaptionMax)) return line;
  }
  return short_dates;
}

void derive(Party& party) {
  auto given = [&](const char* key) { return party.lines.count(key) > 0; };
  const DerivedDates dates = dates_derive(party.fact("dates"));
  if (!given("year")) party.facts["year"] = dates.year;
  if (!given("short_dates")) party.facts["short_dates"] = dates.short_dates;
  std::vector<std::string> parts;
  std::string place = party.fact("place");
  size_t start = 0;
  while (start <= place.size()) {
    size_t comma = place.find(',', start);
    if (comma == std::string::npos) comma = place.size();
    const std::string part = text_strip(place.substr(start, comma - start));
    if (!part.empty()) parts.push_back(part);
    start = comma + 1;
  }
  if (!given("town")) {
    party.facts["town"] = parts.size() >= 2 ? parts[parts.size() - 2] : parts.empty() ? "" : parts[0];
  }
  if (!given("country")) party.facts["country"] = parts.size() >= 2 ? parts.back() : "";
  if (!given("captions")) {
    party.facts["captions"] = party.fact("name") + " | " + party.fact("edition") + " | " + third_caption(party);
  }
}

// The year a party seems to have: the last word of its name when that is a
// four-digit number.
std::string year_hint(const Party& party) {
  const std::vector<std::string> words = text_split(party.fact("name"));
  if (!words.empty() && words.back().size() == 4 && all_digits(words.back())) return words.back();
  return "";
}

void check_derived_dates(const Party& party, Problems& problems) {
  if (!party.lines.count("dates")) return;
  const int line = party.line_of("dates");
  const size_t limit = party_max_length("short_dates");
  if (!party.lines.count("year") && !party.empty.count("year") && party.fact("year").empty()) {
    const std::string hint = year_hint(party);
    problems.add(kPartyFile,
                 "year: dates has no four-digit year; " +
                     (hint.empty() ? std::string("add \"year: \" and the party's year, for example \"year: 2027\"")
                                   : "add \"year: " + hint + "\"") +
                     " (or write the year into dates)",
                 line);
  }
  if (party.lines.count("short_dates")) return;
  const std::string& short_dates = party.fact("short_dates");
  const size_t length = utf8_length(short_dates);
  const std::string example = "add \"short_dates: 6 - 8 August\" (at most " + std::to_string(limit) + " characters)";
  if (short_dates.empty() && dates_year_first(party.fact("dates"))) {
    problems.add(kPartyFile,
                 "short_dates: dates puts the year first, so whether day or month follows is not known; " + example,
                 line);
  } else if (short_dates.empty()) {
    problems.add(kPartyFile, "short_dates: nothing is left of dates without its weekdays and year; " + example, line);
  } else if (length > limit) {
    const std::string shorter = dates_abbreviate(short_dates);
    const bool fits = utf8_length(shorter) <= limit;
    problems.add(kPartyFile,
                 "short_dates: \"" + short_dates + "\", made from dates, is " + std::to_string(length) +
                     " characters, at most " + std::to_string(limit) + " fit; " +
                     (fits ? "add \"short_dates: " + shorter + "\" (at most " + std::to_string(limit) + " characters)"
                           : example),
                 line);
  }
}

void check_lengths(const Party& party, Problems& problems) {
  std::vector<std::string> order = party.given;
  for (const char* key : kOptionalKeys) {
    if (!party.lines.count(key)) order.push_back(key);
  }
  for (const std::string& key : order) {
    const size_t limit = party_max_length(key);
    const size_t length = utf8_length(party.fact(key));
    if (!limit || length <= limit) continue;
    const bool given = party.lines.count(key) > 0;
    if (key == "short_dates" && !given) continue;  // check_derived_dates says what to add
    std::string what =
        key + " is " + std::to_string(length) + " characters, at most " + std::to_string(limit) + " fit; shorten it";
    if (!given) what += " or give \"" + key + ":\" a shorter value of its own";
    problems.add(kPartyFile, what, party.line_of(key));
  }
}

void check_lettering(const Party& party, Problems& problems) {
  for (const char* key : kLettered) {
    const std::u32string value = utf8_decode_lossy(party.fact(key));
    const size_t column = first_bad(value, text_is_lettering_char);
    if (!column) continue;
    const char32_t c = value[column - 1];
    const bool given = party.lines.count(key) > 0;
    const int where = given ? party.columns.at(key) + static_cast<int>(column) - 1 : 0;
    const char* script = text_foreign_letter(c);
    if (script) {
      problems.add(kPartyFile,
                   std::string(key) + ": " + quoted_char(c) + " is a letter the lettering lacks (" + script +
                       "); write the " + key + " in the letters it draws: " + std::string(kLetteringDraws),
                   party.line_of(key), where);
    } else {
      std::string signs(kLetteringSigns);
      std::sort(signs.begin(), signs.end());
      problems.add(kPartyFile,
                   std::string(key) + ": the lettering cannot draw " + quoted_char(c) + "; use letters, digits and " +
                       text_strip(signs),
                   party.line_of(key), where);
    }
  }
}

void check_captions(const Party& party, Problems& problems) {
  const std::string& captions = party.fact("captions");
  const int where = party.lines.count("captions") ? party.lines.at("captions") : party.line_of("name");
  if (std::count(captions.begin(), captions.end(), '|') != kCaptionLines - 1) {
    problems.add(kPartyFile, "captions: give " + std::to_string(kCaptionLines) + " lines separated by |", where);
    return;
  }
  // A derived caption too long for the strip because its fact is too long
  // for its own limit is that fact's problem, said once.
  const char* const sources[] = {"name", "edition", "short_dates"};
  int line = 0;
  for (const auto& [x, text] : party_caption_lines(party)) {
    const char* source = sources[line++];
    const std::u32string t = utf8_decode_lossy(text);
    // derived captions hold folded lettering, checked with its fact
    const size_t bad = party.lines.count("captions") ? first_bad(t, text_is_glyph_char) : 0;
    if (bad) {
      problems.add(kPartyFile,
                   "captions: " + quoted_char(t[bad - 1]) + " cannot be shown by the glyph font; use printable ASCII",
                   where);
    }
    const bool said = !party.lines.count("captions") && utf8_length(party.fact(source)) > party_max_length(source);
    if (x + kGlyphAdvance * static_cast<long long>(t.size()) > kCaptionRight && !said) {
      const std::string too_long = "\"" + text + "\" is too long for the caption strip (" +
                                   std::to_string(t.size()) + " characters from x = " + std::to_string(x) + "); ";
      const std::string at_most = "at most " + std::to_string(kCaptionMax) + " characters";
      if (party.lines.count("captions")) {
        problems.add(kPartyFile, "captions: " + too_long + "give \"captions:\" shorter lines, " + at_most, where);
      } else {
        // made from a fact (its letters folded, "ß" as "ss"): that fact's line
        problems.add(kPartyFile,
                     std::string(source) + ": its caption " + too_long + "shorten " + source +
                         ", or add a \"captions:\" line of three lines separated by |, each " + at_most,
                     party.line_of(source));
      }
    }
  }
}

void check_facts(const Party& party, Problems& problems) {
  for (const char* key : kRequiredKeys) {
    if (!party.lines.count(key) && !party.empty.count(key)) {
      problems.add(kPartyFile, std::string("no \"") + key + ":\" line; add one, for example \"" + key + ": " +
                                   party_example(key) + "\"");
    }
  }
  check_lengths(party, problems);
  check_derived_dates(party, problems);
  const size_t name = utf8_length(party.fact("name"));
  if (name > 0 && name < kNameMin) {
    problems.add(
        kPartyFile,
        "name is " + std::to_string(name) + " characters, at least " + std::to_string(kNameMin) + "; lengthen it",
        party.line_of("name"));
  }
  check_lettering(party, problems);
  check_captions(party, problems);
  const std::string& icon = party.fact("icon");
  if (!icon.empty() && icon != kIdentityDefault) {
    problems.add(kPartyFile,
                 "icon: write \"icon: default\" to keep the invitation's own icon, or leave the line out: the icon "
                 "is then icon.png of the folder, or cut from the logo",
                 party.line_of("icon"));
  }
  const std::vector<std::string> xs = text_split(party.fact("caption_x"));
  if (xs.size() > static_cast<size_t>(kCaptionLines) ||
      std::any_of(xs.begin(), xs.end(), [](const std::string& x) { return !all_digits(x); })) {
    problems.add(kPartyFile, "caption_x: give up to three whole numbers (left edges in pixels)",
                 party.line_of("caption_x"));
  }
  const std::string& site = party.fact("site");
  if (!site.empty() && site.compare(0, kSitePrefix.size(), kSitePrefix) != 0) {
    std::string rest = site;
    for (const char* scheme : {"http://", "HTTP://", "//"}) {
      if (rest.rfind(scheme, 0) == 0) {
        rest = rest.substr(std::string(scheme).size());
        break;
      }
    }
    problems.add(kPartyFile,
                 "site: the address must start with https:// (link previews fetch their picture from it); write "
                 "\"site: https://" +
                     rest + "\"",
                 party.line_of("site"), party.columns.at("site"));
  }
}

// ---------------------------------------------------------------- folder

void check_party_file(const Files& folder, Party& party, Problems& problems) {
  const auto it = folder.find(kPartyFile);
  if (it != folder.end()) {
    read_lines(it->second, party, problems);
    return;
  }
  const std::string there = party_lookalike(folder, kPartyFile);
  problems.add(kPartyFile, there.empty()
                               ? "missing; write the five facts name, edition, dates, place and summary into it"
                               : "missing, but " + there + " is there; rename " + there + " to " + kPartyFile);
}

void check_pictures(const Files& folder, Party& party, Problems& problems) {
  std::vector<std::string> logos, loadings;
  for (const auto& [name, is_folder] : top_names(folder)) {
    if (is_folder) continue;
    if (listed(kLogoNames, name)) {
      logos.push_back(name);
    } else if (listed(kLoadingNames, name)) {
      loadings.push_back(name);
    } else if (listed(kIconNames, name)) {
      continue;  // the party's icon, checked as it is made
    } else if (name.find('.') != std::string::npos && listed(kPictureExtensions, extension(name))) {
      problems.add(name,
                   "a picture the invitation does not use; name it logo.png, logo.jpg or logo.jpeg (the opening's "
                   "picture), loading.png, loading.jpg or loading.jpeg (the loading screen) or icon.png, icon.jpg "
                   "or icon.jpeg (the window's and the program's icon), or remove it");
    }
  }
  for (auto* group : {&logos, &loadings}) {
    for (size_t i = 1; i < group->size(); ++i) {
      problems.add((*group)[i],
                   "a second " + stem((*group)[0]) + " picture beside " + (*group)[0] + "; keep one of them");
    }
  }
  party.logo = logos.empty() ? "" : logos[0];
  party.loading = loadings.empty() ? "" : loadings[0];
  for (const std::string& name : {party.logo, party.loading}) {
    if (name.empty()) continue;
    const std::string why = picture_problem(folder.at(name), name);
    if (!why.empty()) problems.add(name, why);
  }
}

void check_music(const Files& folder, Party& party, Problems& problems) {
  const std::string& named = party.fact("music");
  std::vector<std::string> sounds, found;
  std::map<std::string, bool> names = top_names(folder);
  for (const auto& [name, is_folder] : names) {
    if (!is_sound_name(name)) continue;
    sounds.push_back(name);
    if (text_lower_ascii(stem(name)) == "music") found.push_back(name);
  }
  if (!named.empty()) {
    const bool own = named == kMusicDefault;
    if (!own && !folder.count(named)) {
      if (is_folder_in(folder, named)) {
        problems.add(named, "not a file that can be read; put the music file itself there");
      } else {
        problems.add(kPartyFile, "music: " + named + " does not exist; name a file in the party folder",
                     party.line_of("music"));
      }
    }
    for (const std::string& sound : sounds) {
      if (sound == named) continue;
      problems.add(sound, own ? "not used, as party.txt says \"music: default\"; remove it, or that line to "
                                "play it"
                              : "not used, as party.txt names " + named + " as the music; remove it");
    }
    party.music = own ? "" : named;
    return;
  }
  if (found.size() > 1) {
    std::string list;
    for (const std::string& f : found) list += (list.empty() ? "" : ", ") + f;
    problems.add(found[0], "several music files (" + list + "); keep one");
  }
  if (found.empty() && !sounds.empty()) {
    problems.add(sounds[0], "the music must be named music." + extension(sounds[0]) +
                                " (or named by \"music:\" in party.txt); rename it");
  }
  if (sounds.empty()) {
    std::string others;
    for (size_t i = 1; i < std::size(kMusicExtensions); ++i)
      others += std::string(i > 1 ? ", ." : ".") + kMusicExtensions[i];
    problems.add(kPartyFile, "no music; put the party's music beside it as music.mp3 (or " + others +
                                 "), or add \"music: default\" to keep the invitation's own soundtrack");
  }
  party.music = found.empty() ? "" : found[0];
  if (!party.music.empty() && names[party.music]) {
    problems.add(party.music, "not a file that can be read; put the music file itself there");
    party.music = "";
  }
}

uint32_t big_endian(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | b[at + i];
  return v;
}

}  // namespace

// ---------------------------------------------------------------- public

size_t party_max_length(const std::string& key) {
  for (const KeyLimit& l : kMaxLengths) {
    if (key == l.key) return l.limit;
  }
  return 0;
}

const char* party_example(const std::string& key) {
  for (const KeyText& e : kExamples) {
    if (key == e.key) return e.text;
  }
  return "";
}

const std::string& Party::fact(const std::string& key) const {
  const auto it = facts.find(key);
  return it == facts.end() ? empty_string() : it->second;
}

int Party::line_of(const std::string& key) const {
  auto it = lines.find(key);
  if (it == lines.end()) it = lines.find(derived_from(key));
  return it == lines.end() ? 0 : it->second;
}

std::string party_lookalike(const Files& folder, const std::string& path) {
  const std::string want = text_lower_ascii(path);
  const size_t slash = path.rfind('/');
  const std::string base = text_lower_ascii(slash == std::string::npos ? path : path.substr(slash + 1));
  for (const auto& entry : folder) {
    const std::string name = text_lower_ascii(entry.first);
    if (name == want || name == want + ".txt") return entry.first;
  }
  if (slash != std::string::npos) {
    for (const auto& entry : folder) {
      if (text_lower_ascii(entry.first) == base) return entry.first;
    }
  }
  return "";
}

Party party_read_facts(const Bytes& party_txt, Problems& problems) {
  Party party;
  for (const char* k : kRequiredKeys) party.facts[k] = "";
  for (const char* k : kOptionalKeys) party.facts[k] = "";
  read_lines(party_txt, party, problems);
  if (!party.read) return party;
  derive(party);
  check_facts(party, problems);
  return party;
}

Party party_read(const Files& folder, Problems& problems) {
  Party party;
  for (const char* k : kRequiredKeys) party.facts[k] = "";
  for (const char* k : kOptionalKeys) party.facts[k] = "";
  check_party_file(folder, party, problems);
  if (party.read) {
    derive(party);
    check_facts(party, problems);
  }
  pages_make(folder, problems);
  check_pictures(folder, party, problems);
  check_music(folder, party, problems);
  return party;
}

std::pair<std::string, std::string> party_title_parts(const Party& party) {
  const std::vector<std::string> words = text_split(text_upper(party.fact("name")));
  auto join = [&](size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += (i ? " " : "") + words[i];
    return out;
  };
  if (words.size() > 1 && all_digits(words.back())) return {join(words.size() - 1), words.back()};
  return {join(words.size()), party.fact("year")};
}

std::string party_spaced_edition(const Party& party) {
  std::string out;
  for (const std::string& word : text_split(text_upper(party.fact("edition")))) {
    if (!out.empty()) out += "   ";
    const std::u32string w = utf8_decode_lossy(word);
    for (size_t i = 0; i < w.size(); ++i) {
      if (i) out += ' ';
      utf8_append(out, w[i]);
    }
  }
  return out;
}

std::string party_header_line(const Party& party, int parts) {
  std::string dates = party.fact("short_dates");
  if (!party.fact("year").empty()) dates += (dates.empty() ? "" : " ") + party.fact("year");
  const std::string items[] = {dates, party.fact("town"), party.fact("country")};
  std::string out;
  for (int i = 0; i < parts && i < 3; ++i) {
    if (items[i].empty()) continue;
    if (!out.empty()) out += "  /  ";
    out += items[i];
  }
  return text_upper(out);
}

std::vector<std::string> party_date_block(const Party& party) {
  std::vector<std::string> out;
  for (const char* key : {"short_dates", "town", "country"}) {
    if (!party.fact(key).empty()) out.push_back(text_upper(party.fact(key)));
  }
  return out;
}

std::vector<std::pair<int, std::string>> party_caption_lines(const Party& party) {
  std::vector<std::pair<int, std::string>> out;
  const std::vector<std::string> xs = text_split(party.fact("caption_x"));
  const std::string& captions = party.fact("captions");
  size_t start = 0;
  for (size_t i = 0; start <= captions.size(); ++i) {
    size_t bar = captions.find('|', start);
    if (bar == std::string::npos) bar = captions.size();
    const std::string text = text_fold_ascii(text_strip(captions.substr(start, bar - start)));
    start = bar + 1;
    long long x = kCaptionAlignRight - kGlyphAdvance * static_cast<long long>(utf8_length(text));
    if (i < xs.size() && all_digits(xs[i])) {
      x = 0;
      for (char c : xs[i]) x = std::min(x * 10 + (c - '0'), 1000000LL);
    }
    out.emplace_back(static_cast<int>(std::max<long long>(x, kCaptionLeft)), text);
  }
  return out;
}

std::string party_music_file(const Party& party, const Files& folder) {
  const std::string& named = party.fact("music");
  if (named == kMusicDefault) return "";
  if (!named.empty()) return named;
  for (const auto& [name, is_folder] : top_names(folder)) {
    if (!is_folder && is_sound_name(name) && text_lower_ascii(stem(name)) == "music") return name;
  }
  return "";
}

void party_music_size_check(const std::string& music_file, uint64_t mp3_bytes, Problems& problems) {
  const double seconds = static_cast<double>(mp3_bytes) * 8.0 / static_cast<double>(kVisitorBitsPerSecond);
  if (seconds <= kMusicWaitSeconds) return;
  const uint64_t most = static_cast<uint64_t>(kMusicWaitSeconds * kVisitorBitsPerSecond / kMusicBitsPerSecond);
  char text[320];
  std::snprintf(text, sizeof text,
                "the converted music is %.1f MB: a visitor on a %.0f Mbit/s link waits %.1f s for it; a piece of at "
                "most %d min %02d s keeps the wait within %.0f s",
                static_cast<double>(mp3_bytes) / 1e6, kVisitorBitsPerSecond / 1e6, seconds, static_cast<int>(most / 60),
                static_cast<int>(most % 60), kMusicWaitSeconds);
  problems.warn(music_file, text);
}

PictureHeader picture_header(const Bytes& b) {
  PictureHeader h;
  const size_t n = b.size();
  auto starts = [&](const char* magic, size_t at = 0) {
    const std::string m(magic);
    return n >= at + m.size() && std::equal(m.begin(), m.end(), b.begin() + at,
                                            [](char c, uint8_t u) { return static_cast<uint8_t>(c) == u; });
  };
  if (starts("\x89PNG\r\n\x1a\n")) {
    if (n < 33 || big_endian(b, 8, 4) != 13 || !starts("IHDR", 12)) {
      h.reason = "its PNG header is damaged";
      return h;
    }
    h.width = static_cast<int>(std::min<uint32_t>(big_endian(b, 16, 4), 1u << 30));
    h.height = static_cast<int>(std::min<uint32_t>(big_endian(b, 20, 4), 1u << 30));
    // the chunks, to the end chunk
    for (uint64_t at = 8; at + 8 <= n;) {
      const uint64_t length = big_endian(b, static_cast<size_t>(at), 4);
      if (starts("IEND", static_cast<size_t>(at) + 4)) {
        h.kind = h.width > 0 && h.height > 0 ? "PNG" : "";
        if (h.kind.empty()) h.reason = "its PNG header gives no size";
        return h;
      }
      at += 12 + length;
    }
    h.reason = "it is cut off before its end";
    return h;
  }
  if (n >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
    size_t at = 2;
    while (at + 4 <= n) {
      if (b[at] != 0xFF) break;
      const uint8_t marker = b[at + 1];
      if (marker == 0xFF) {
        ++at;
        continue;
      }
      if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
        at += 2;
        continue;
      }
      if (marker == 0xD9 || marker == 0xDA) break;  // the end, or the picture data, before any size
      const size_t length = big_endian(b, at + 2, 2);
      const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
      if (frame && at + 9 <= n) {
        h.height = static_cast<int>(big_endian(b, at + 5, 2));
        h.width = static_cast<int>(big_endian(b, at + 7, 2));
        // the end marker after the frame
        for (size_t k = at + 2 + length; k + 1 < n; ++k) {
          if (b[k] == 0xFF && b[k + 1] == 0xD9) {
            h.kind = h.width > 0 && h.height > 0 ? "JPEG" : "";
            if (h.kind.empty()) h.reason = "its JPEG header gives no size";
            return h;
          }
        }
        h.reason = "it is cut off before its end";
        return h;
      }
      at += 2 + length;
    }
    h.reason = "its JPEG header is damaged";
    return h;
  }
  if (starts("GIF87a") || starts("GIF89a")) {
    h.kind = "GIF";
  } else if (starts("BM")) {
    h.kind = "BMP";
  } else if (starts("RIFF") && starts("WEBP", 8)) {
    h.kind = "WEBP";
  } else if (n >= 4 && ((b[0] == 'I' && b[1] == 'I' && b[2] == '*' && b[3] == 0) ||
                        (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == '*'))) {
    h.kind = "TIFF";
  }
  if (h.kind.empty()) h.reason = "neither PNG nor JPEG";
  return h;
}

std::string picture_problem(const Bytes& bytes, const std::string& name) {
  const PictureHeader h = picture_header(bytes);
  if (h.kind.empty()) return "not a picture that can be read (" + h.reason + "); save it as PNG";
  if (h.kind != "PNG" && h.kind != "JPEG") return "a " + h.kind + " picture; save it as PNG";
  return picture_size_problem(name.rfind("logo.", 0) == 0, h.width, h.height);
}

}  // namespace kit
