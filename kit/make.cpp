// make: a party folder made into its invitation's data (see make.h).
#include "kit/make.h"

#include <array>
#include <utility>

#include "kit/facts.h"
#include "kit/pages.h"
#include "kit/pictures.h"
#include "kit/release.h"
#include "kit/text.h"
#include "resources/memdecode.h"
#include "resources/pakwrite.h"
#include "resources/pngwrite.h"

namespace kit {

namespace {

// The invitation's data files that no fact changes: the glyph sheet, the
// short font, the camera path, the loading bar, the lit buttons (cut where
// no lettering reaches), the pointer, the chrome map, and its own soundtrack.
constexpr std::array<const char*, 12> kSharedData = {
    "chrome.png",     "fonts.png",   "mouse.png",  "on_compo.png", "on_contact.png", "on_credits.png",
    "on_exit.png",    "on_info.png", "on_load.png", "qtn.mp3",      "short.fnt",      "uv.cam"};
constexpr std::array<const char*, 2> kBaseFonts = {"fonts/DejaVuSans.ttf", "fonts/DejaVuSans-Bold.ttf"};
constexpr char kBaseLayers[] = "layers/";
constexpr char kCaptionsFile[] = "captions.txt";
constexpr char kTitleFile[] = "title.txt";
constexpr char kIconFile[] = "icon.png";
// A party's icon is cut from the middle of its logo's title.
constexpr IconSquare kPartyIconSquare = {228, 56, 184};

std::vector<uint32_t> rgb_pixels(const MemPicture& picture) {
  std::vector<uint32_t> pixels(static_cast<size_t>(picture.width) * picture.height);
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint8_t* p = &picture.rgb[i * 3];
    pixels[i] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  return pixels;
}

// The facts as the pictures letter them.
LetteredFacts lettered_facts(const Party& party) {
  LetteredFacts facts;
  const auto [title, gold] = party_title_parts(party);
  facts.title = title;
  facts.gold = gold;
  const std::vector<std::string> words = text_split(party.fact("name"));
  facts.gold_from_name = words.size() > 1 && !gold.empty() && text_upper(words.back()) == gold;
  facts.edition = text_upper(party.fact("edition"));
  facts.edition_spaced = party_spaced_edition(party);
  for (int parts = 3; parts >= 1; --parts) facts.header_lines[3 - parts] = party_header_line(party, parts);
  facts.short_dates = text_upper(party.fact("short_dates"));
  facts.town = text_upper(party.fact("town"));
  facts.country = text_upper(party.fact("country"));
  return facts;
}

// The organiser's own pictures, under the names the pictures know them by.
OwnPictures own_pictures(const Party& party, const Files& folder) {
  OwnPictures own;
  const std::pair<const std::string*, const char*> pictures[] = {{&party.logo, "logo.png"},
                                                                 {&party.loading, "loading.png"}};
  for (const auto& [file, name] : pictures) {
    const auto it = file->empty() ? folder.end() : folder.find(*file);
    if (it != folder.end()) own[name] = it->second;
  }
  return own;
}

// A picture's problem at its place: a fact's at its line of party.txt (or
// the line it is derived from), an organiser's picture's at its file.
void add_picture_problems(const std::vector<PictureProblem>& found, const Party& party, Problems& problems) {
  for (const PictureProblem& p : found) {
    if (p.key == "logo.png" && !party.logo.empty()) {
      problems.add(party.logo, p.message);
    } else if (p.key == "loading.png" && !party.loading.empty()) {
      problems.add(party.loading, p.message);
    } else {
      const std::string key = p.key == "dates" ? "short_dates" : p.key;
      problems.add(kPartyFile, p.message, party.line_of(key));
    }
  }
}

// The lettering is fitted only when the facts it letters are all there and
// none of them has a problem of its own: a wrong letter or a missing fact is
// said once, by the facts' own check. Problems elsewhere (a page, the music)
// do not keep the fit from being checked.
constexpr std::array<const char*, 8> kLetteredKeys = {"name",        "edition", "dates", "place",
                                                      "short_dates", "year",    "town",  "country"};

bool ready_to_letter(const Party& party, const Problems& problems) {
  for (const char* key : kRequiredKeys) {
    if (party.fact(key).empty()) return false;
  }
  for (const Problem& p : problems.items()) {
    if (p.warning || p.file != kPartyFile) continue;
    for (const char* key : kLetteredKeys) {
      if (party.line_of(key) == p.line) return false;
    }
  }
  return true;
}

bool load_base(const Files& base, KitBase& kit_base, Problems& problems) {
  std::string error;
  if (kit_base_load(base, kit_base, error)) return true;
  problems.add("", "the kit's own files are damaged (" + error + "); reinstall the kit");
  return false;
}

}  // namespace

Party make_check(const Files& folder, const Files& base, Problems& problems) {
  Party party = party_read(folder, problems);
  if (!ready_to_letter(party, problems)) return party;
  KitBase kit_base;
  if (!load_base(base, kit_base, problems)) return party;
  add_picture_problems(pictures_check(kit_base, lettered_facts(party), own_pictures(party, folder)), party,
                       problems);
  return party;
}

std::map<std::string, std::string> make_facts(const Party& party, const Files& folder) {
  std::map<std::string, std::string> facts = party.facts;
  if (facts["title"].empty() && !party.fact("name").empty()) facts["title"] = release_title(party);
  facts["music_file"] = party_music_file(party, folder);
  facts["slug"] = release_slug(party);
  return facts;
}

bool make_data(const Files& folder, const Files& base, const Bytes* music, Problems& problems, Files& data) {
  const Party party = party_read(folder, problems);
  if (!ready_to_letter(party, problems)) return false;
  KitBase kit_base;
  if (!load_base(base, kit_base, problems)) return false;
  const std::vector<std::string> names(kLetteredPictures.begin(), kLetteredPictures.end());
  PicturesMade pictures = pictures_make(kit_base, lettered_facts(party), names, own_pictures(party, folder));
  add_picture_problems(pictures.problems, party, problems);
  if (problems.errors() > 0) return false;

  data.clear();
  for (const char* name : kSharedData) data[name] = base.at(std::string(kBaseData) + name);
  for (auto& [name, bytes] : pictures.pictures) data[name] = std::move(bytes);
  Problems again;  // the pages' problems were reported by party_read
  for (auto& [name, bytes] : pages_make(folder, again)) data[name] = std::move(bytes);
  data[kCaptionsFile] = facts_captions(party);
  data[kWebFactsFile] = facts_web(party);
  if (party.fact("title") != kIdentityDefault) data[kTitleFile] = files_bytes(release_title(party) + "\n");
  IconSet icons;
  std::string error;
  if (make_icons(party, folder, data, icons, error)) {
    data[kIconFile] = make_icon_png(icons.window);
  } else if (!error.empty()) {
    problems.add(kIconFile, error);
    return false;
  }
  if (music) {
    data[kMusicFile] = *music;
    party_music_size_check(party.music, music->size(), problems);
  }
  return true;
}

bool make_pak(const Files& data, Bytes& pak, std::string& error) {
  std::vector<pak_item> items;
  for (const auto& [name, bytes] : data) {
    if (name == kMusicFile || name.find('/') != std::string::npos) continue;
    items.push_back(pak_item{name, bytes});
  }
  if (!pak_check_items(items, error)) return false;
  pak = pak_build(items);
  return true;
}

bool make_icons(const Party& party, const Files& folder, const Files& data, IconSet& icons,
                std::string& error) {
  if (party.fact("icon") == kIdentityDefault) return false;
  const Bytes* bytes = nullptr;
  for (const char* name : kIconNames) {
    const auto own = folder.find(name);
    if (!bytes && own != folder.end()) bytes = &own->second;
  }
  const bool from_folder = bytes != nullptr;
  if (!bytes) {
    const auto logo = data.find("logo.png");
    if (logo == data.end()) return false;
    bytes = &logo->second;
  }
  MemPicture picture;
  if (!memdecode_rgb(bytes->data(), bytes->size(), picture, error)) return false;
  IconPicture source;
  const bool ok = from_folder ? icon_from_picture(rgb_pixels(picture), picture.width, picture.height, source, error)
                              : icon_from_logo(rgb_pixels(picture), picture.width, picture.height,
                                               kPartyIconSquare, source, error);
  if (!ok) return false;
  icons = icons_make(source);
  return true;
}

Bytes make_icon_png(const IconPicture& icon) {
  std::vector<uint8_t> rgb;
  for (uint32_t p : icon.pixels) {
    rgb.push_back(static_cast<uint8_t>(p >> 16));
    rgb.push_back(static_cast<uint8_t>(p >> 8));
    rgb.push_back(static_cast<uint8_t>(p));
  }
  Bytes png;
  std::string error;
  png_encode_rgb(rgb.data(), icon.side, icon.side, png, error);
  return png;
}

bool make_base_complete(const Files& base, std::string& missing) {
  std::vector<std::string> needed(kBaseFonts.begin(), kBaseFonts.end());
  for (const char* name : kLetteredPictures) needed.push_back(std::string(kBaseLayers) + name);
  for (const char* name : kSharedData) needed.push_back(std::string(kBaseData) + name);
  for (const std::string& name : needed) {
    if (base.count(name) == 0) {
      missing = name;
      return false;
    }
  }
  return true;
}

}  // namespace kit
