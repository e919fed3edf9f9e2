// kit/party, pages, dates, facts, text: a party folder read and checked as
// organisers leave it. A table of bad folders gives each fault's exact
// messages, all at once; every limit README.md states holds at its edge;
// the derived facts, page files and fact files come out as the Python tools
// made them (our own party/ makes data/'s text files byte for byte).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kit/dates.h"
#include "kit/facts.h"
#include "kit/pages.h"
#include "kit/party.h"
#include "kit/text.h"

namespace {

using kit::Bytes;
using kit::Files;

const std::string kFive =
    "name: Velmora 2000\n"
    "edition: Quorvantia Edition\n"
    "dates: Saturday 8 - Sunday 9 July 2000\n"
    "place: Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor\n"
    "summary: A party.\n";

Bytes bytes(const std::string& text) { return kit::files_bytes(text); }
std::string text(const Bytes& b) { return kit::files_text(b); }

// A PNG's signature, header and end chunk (no picture data: the kit reads
// the header only).
Bytes png(uint32_t width, uint32_t height, bool whole = true) {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {width, height}) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
  }
  for (int v : {8, 2, 0, 0, 0, 0, 0, 0, 0}) b.push_back(static_cast<uint8_t>(v));  // depth, colour, ..., CRC
  if (whole) {
    const Bytes end = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    b.insert(b.end(), end.begin(), end.end());
  }
  return b;
}

// A JPEG's start, frame header, scan and end markers.
Bytes jpeg(uint16_t width, uint16_t height) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0, 11, 8};
  for (uint16_t v : {height, width}) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
  }
  for (int v : {1, 1, 0x11, 0, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0, 0x12, 0x34, 0xFF, 0xD9})
    b.push_back(static_cast<uint8_t>(v));
  return b;
}

// A folder with nothing wrong: the five facts, four pages, music.
Files good_folder(const std::string& facts = kFive) {
  Files f;
  f["party.txt"] = bytes(facts);
  for (const char* page : kit::kPageNames) f[kit::page_source_path(page)] = bytes("text\n");
  f["music.ogg"] = bytes("OggS");
  return f;
}

std::vector<std::string> problems_of(const Files& folder, kit::Party* party = nullptr, uint64_t mp3_bytes = 0) {
  kit::Problems problems;
  kit::Party p = kit::party_read(folder, problems);
  if (mp3_bytes) kit::party_music_size_check(p.music, mp3_bytes, problems);
  if (party) *party = p;
  std::vector<std::string> out;
  for (const kit::Problem& problem : problems.items()) out.push_back(kit::problem_text(problem, ""));
  return out;
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  const size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

std::string repeat(const std::string& s, size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

const std::string kLetteringDraws(kit::kLetteringDraws);
const std::string kUnderscore =
    "the page font has no \"_\"; for dot leaders write \"left ... right\", to centre a line start it with \"^\"; "
    "elsewhere reword without it (an e-mail address with \"_\" cannot be shown: give another one, or another way to "
    "reach you)";
const std::string kNotUsed =
    "a picture the invitation does not use; name it logo.png, logo.jpg or logo.jpeg (the opening's picture), "
    "loading.png, loading.jpg or loading.jpeg (the loading screen) or icon.png, icon.jpg or icon.jpeg (the "
    "window's and the program's icon), or remove it";
const std::string kNoMusic =
    "party.txt: no music; put the party's music beside it as music.mp3 (or .ogg, .oga, .flac, .wav, .m4a, .opus), "
    "or add \"music: default\" to keep the invitation's own soundtrack";

struct BadFolder {
  const char* what;
  std::function<void(Files&)> change;
  std::vector<std::string> problems;
  // The size of the party's music once converted to the program's MP3,
  // checked after the folder when not 0.
  uint64_t mp3_bytes = 0;
};

void facts(Files& f, const std::string& text) { f["party.txt"] = bytes(text); }
void facts_changed(Files& f, const std::string& from, const std::string& to) {
  f["party.txt"] = bytes(replaced(text(f["party.txt"]), from, to));
}

const std::vector<BadFolder>& bad_folders() {
  static const std::vector<BadFolder> table = {
      // 1. '_' is no layout mark any more: the glyph font has none.
      {"an underscore in a page",
       [](Files& f) { f["pages/contact.txt"] = bytes("mail us:\norgas_team@example.org\n"); },
       {"pages/contact.txt:2:6: " + kUnderscore}},
      {"the old centring mark",
       [](Files& f) { f["pages/info.txt"] = bytes("_WELCOME\n"); },
       {"pages/info.txt:1:1: " + kUnderscore}},
      {"dot leaders without room",
       [](Files& f) { f["pages/info.txt"] = bytes("a very long left side of it ... and more text\n"); },
       {"pages/info.txt:1: no room for the dot leaders (42 characters on both sides, at most 34); shorten a side"}},
      // 2. Dates as organisers write them; what to add when nothing fits.
      {"dates without a year",
       [](Files& f) { facts_changed(f, "Sunday 9 July 2000", "Sunday 9 July"); },
       {"party.txt:3: year: dates has no four-digit year; add \"year: 2000\" (or write the year into dates)"}},
      {"dates without a year, a name without one",
       [](Files& f) {
         facts_changed(f, "Sunday 9 July 2000", "Sunday 9 July");
         facts_changed(f, "Velmora 2000", "Velmora");
       },
       {"party.txt:3: year: dates has no four-digit year; add \"year: \" and the party's year, for example "
        "\"year: 2027\" (or write the year into dates)"}},
      {"short dates that do not fit",
       [](Files& f) { facts_changed(f, "Saturday 8 - Sunday 9 July 2000", "Friday 30 July - Sunday 1 August 2027"); },
       {"party.txt:3: short_dates: \"30 July - 1 August\", made from dates, is 18 characters, at most 16 fit; add "
        "\"short_dates: 30 July - 1 Aug\" (at most 16 characters)"}},
      {"short dates that do not fit even abbreviated",
       [](Files& f) { facts_changed(f, "Saturday 8 - Sunday 9 July 2000", "from the 8th until the 9th of July 2000"); },
       {"party.txt:3: short_dates: \"from the 8th until the 9th of July\", made from dates, is 34 characters, at "
        "most 16 fit; add \"short_dates: 6 - 8 August\" (at most 16 characters)"}},
      {"dates of nothing but a year",
       [](Files& f) { facts_changed(f, "Saturday 8 - Sunday 9 July 2000", "2000"); },
       {"party.txt:3: short_dates: nothing is left of dates without its weekdays and year; add "
        "\"short_dates: 6 - 8 August\" (at most 16 characters)"}},
      // 3. An empty page.
      {"an empty page",
       [](Files& f) { f["pages/credits.txt"] = bytes("\n  \r\n^\n\n"); },
       {"pages/credits.txt: no text in it; write the credits page as plain text"}},
      {"a page of nothing",
       [](Files& f) { f["pages/compo.txt"] = bytes(""); },
       {"pages/compo.txt: no text in it; write the compo page as plain text"}},
      // 4. No music: say how to keep the invitation's own.
      {"no music", [](Files& f) { f.erase("music.ogg"); }, {kNoMusic}},
      {"the invitation's own music asked for, and a music file too",
       [](Files& f) { facts(f, kFive + "music: default\n"); },
       {"music.ogg: not used, as party.txt says \"music: default\"; remove it, or that line to play it"}},
      {"an icon key other than default",
       [](Files& f) { facts(f, kFive + "icon: star.png\n"); },
       {"party.txt:6: icon: write \"icon: default\" to keep the invitation's own icon, or leave the line out: the "
        "icon is then icon.png of the folder, or cut from the logo"}},
      // 5. The site's address.
      {"a site without https://",
       [](Files& f) { facts(f, kFive + "site: harbourlights.example.org\n"); },
       {"party.txt:6:7: site: the address must start with https:// (link previews fetch their picture from "
        "it); write \"site: https://harbourlights.example.org\""}},
      {"a site with http://",
       [](Files& f) { facts(f, kFive + "site: http://harbourlights.example.org/2027/\n"); },
       {"party.txt:6:7: site: the address must start with https:// (link previews fetch their picture from "
        "it); write \"site: https://harbourlights.example.org/2027/\""}},
      // 6. Pictures: one of each, under their names; others named as not used.
      {"a picture under another name",
       [](Files& f) {
         f["title.png"] = png(640, 480);
         f["Logo.PNG"] = png(640, 480);
       },
       {"Logo.PNG: " + kNotUsed, "title.png: " + kNotUsed}},
      {"two logos",
       [](Files& f) {
         f["logo.jpg"] = jpeg(640, 480);
         f["logo.png"] = png(640, 480);
       },
       {"logo.png: a second logo picture beside logo.jpg; keep one of them"}},
      {"a loading screen in JPEG of the wrong size",
       [](Files& f) { f["loading.jpg"] = jpeg(320, 200); },
       {"loading.jpg: 320 x 200 pixels; make it exactly 640 x 480 pixels (the program draws the loading bar "
        "at fixed pixels)"}},
      {"a loading screen of the wrong size",
       [](Files& f) { f["loading.jpeg"] = jpeg(320, 200); },
       {"loading.jpeg: 320 x 200 pixels; make it exactly 640 x 480 pixels (the program draws the loading bar "
        "at fixed pixels)"}},
      {"two loading screens",
       [](Files& f) {
         f["loading.jpg"] = jpeg(640, 480);
         f["loading.png"] = png(640, 480);
       },
       {"loading.png: a second loading picture beside loading.jpg; keep one of them"}},
      {"a logo of another shape",
       [](Files& f) { f["logo.png"] = png(800, 500); },
       {"logo.png: 800 x 500 pixels; make it 640 x 480 pixels, or any size of the same 4:3 shape (it is "
        "scaled)"}},
      {"a GIF as the logo",
       [](Files& f) { f["logo.png"] = bytes("GIF89a\x80\x02\xe0\x01"); },
       {"logo.png: a GIF picture; save it as PNG"}},
      {"a picture cut off",
       [](Files& f) { f["loading.png"] = png(640, 480, false); },
       {"loading.png: not a picture that can be read (it is cut off before its end); save it as PNG"}},
      {"no picture at all",
       [](Files& f) { f["logo.jpg"] = bytes("<html>"); },
       {"logo.jpg: not a picture that can be read (neither PNG nor JPEG); save it as PNG"}},
      // 7. A letter of another script is named as a letter.
      {"a Cyrillic letter",
       [](Files& f) { facts_changed(f, "Velmora 2000", "Vel Дмора 2000"); },
       {"party.txt:1:11: name: \"Д\" is a letter the lettering lacks (Cyrillic); write the name in the letters it "
        "draws: " +
        kLetteringDraws}},
      {"a Greek letter in the town",
       [](Files& f) { facts_changed(f, "Brenmar", "Θήβα"); },
       {"party.txt:4: town: \"Θ\" is a letter the lettering lacks (Greek); write the town in the letters it "
        "draws: " +
        kLetteringDraws}},
      {"a sign the lettering lacks",
       [](Files& f) { facts_changed(f, "Quorvantia", "Quorvantia \xe2\x9c\x93"); },
       {"party.txt:2:21: edition: the lettering cannot draw \"\xe2\x9c\x93\"; use letters, digits and "
        "!#&'()+,-./:?"}},
      // 8. A page under another case, or beside pages/.
      {"Info.txt",
       [](Files& f) {
         f["pages/Info.txt"] = f["pages/info.txt"];
         f.erase("pages/info.txt");
       },
       {"pages/info.txt: missing, but pages/Info.txt is there; rename pages/Info.txt to pages/info.txt"}},
      {"INFO.TXT",
       [](Files& f) {
         f["pages/INFO.TXT"] = f["pages/info.txt"];
         f.erase("pages/info.txt");
       },
       {"pages/info.txt: missing, but pages/INFO.TXT is there; rename pages/INFO.TXT to pages/info.txt"}},
      {"info.TXT",
       [](Files& f) {
         f["pages/info.TXT"] = f["pages/info.txt"];
         f.erase("pages/info.txt");
       },
       {"pages/info.txt: missing, but pages/info.TXT is there; rename pages/info.TXT to pages/info.txt"}},
      {"Pages/",
       [](Files& f) {
         f["Pages/info.txt"] = f["pages/info.txt"];
         f.erase("pages/info.txt");
       },
       {"pages/info.txt: missing, but Pages/info.txt is there; rename Pages/info.txt to pages/info.txt"}},
      {"a page beside pages/",
       [](Files& f) {
         f["info.txt"] = f["pages/info.txt"];
         f.erase("pages/info.txt");
       },
       {"pages/info.txt: missing, but info.txt is there; rename info.txt to pages/info.txt"}},
      {"a page missing",
       [](Files& f) { f.erase("pages/credits.txt"); },
       {"pages/credits.txt: missing; write the credits page as plain text"}},
      {"Party.txt",
       [](Files& f) {
         f["Party.txt"] = f["party.txt"];
         f.erase("party.txt");
       },
       {"party.txt: missing, but Party.txt is there; rename Party.txt to party.txt"}},
      {"no party.txt",
       [](Files& f) { f.erase("party.txt"); },
       {"party.txt: missing; write the five facts name, edition, dates, place and summary into it"}},
      // 9. Music a visitor would wait for: a warning, from the MP3's size.
      {"music too large for a 10 Mbit/s link",
       [](Files&) {},
       {"music.ogg: warning: the converted music is 12.6 MB: a visitor on a 10 Mbit/s link waits 10.1 s for it; a "
        "piece of at most 8 min 40 s keeps the wait within 10 s"},
       12'600'000},
      {"music just small enough", [](Files&) {}, {}, 12'500'000},
      // Kept: files as editors save them, keys, values, captions, music.
      {"not UTF-8",
       [](Files& f) {
         f["party.txt"] = bytes("name: Velmora 2000\nedition: Caf\xe9\n");
         f["pages/compo.txt"] = bytes("fine\n\nna\xefve\n");
       },
       {"party.txt:2: not UTF-8 text; save it as UTF-8", "pages/compo.txt:3: not UTF-8 text; save it as UTF-8"}},
      {"UTF-16",
       [](Files& f) { f["party.txt"] = Bytes{0xFF, 0xFE, 'n', 0, 'a', 0}; },
       {"party.txt:1: not UTF-8 text; save it as UTF-8"}},
      {"keys unknown, twice, empty, missing, lines without a key",
       [](Files& f) {
         facts(f,
               "name: Ve\n"
               "edition: Quorvantia Edition\n"
               "# no dates line\n"
               "place: Hall, Brenmar, Valdor\n"
               "summary: A party.\n"
               "colour: blue\n"
               "name: Velmora\n"
               "this line has no key\n"
               "edition: x\n"
               "town:   \n");
       },
       {"party.txt:6:1: unknown key \"colour\"; the keys are name, edition, dates, place, summary, year, "
        "short_dates, town, country, captions, caption_x, site, music, title, icon",
        "party.txt:7:1: \"name\" given twice (first on line 1); keep one",
        "party.txt:8:1: not a \"key: value\" line; write it as \"name: Your Party\" (the key in lower case, the "
        "colon right after it) or start it with #",
        "party.txt:9:1: \"edition\" given twice (first on line 2); keep one",
        "party.txt:10:6: \"town:\" has no value; write it after the colon",
        "party.txt: no \"dates:\" line; add one, for example \"dates: Friday 6 - Sunday 8 August 2027\"",
        "party.txt:1: name is 2 characters, at least 3; lengthen it"}},
      {"a derived fact too long points at its source",
       [](Files& f) { facts_changed(f, "Brenmar", "Brenmarskestrelgardenhus"); },
       {"party.txt:4: town is 24 characters, at most 16 fit; shorten it or give \"town:\" a shorter value of its "
        "own"}},
      {"caption_x not numbers",
       [](Files& f) { facts(f, kFive + "caption_x: 458 left 293\n"); },
       {"party.txt:6: caption_x: give up to three whole numbers (left edges in pixels)"}},
      {"caption_x of four numbers",
       [](Files& f) { facts(f, kFive + "caption_x: 458 394 293 300\n"); },
       {"party.txt:6: caption_x: give up to three whole numbers (left edges in pixels)"}},
      {"captions of two lines",
       [](Files& f) { facts(f, kFive + "captions: one | two\n"); },
       {"party.txt:6: captions: give 3 lines separated by |"}},
      {"captions the glyph font cannot show",
       [](Files& f) { facts(f, kFive + "captions: a | b_c | d\n"); },
       {"party.txt:6: captions: \"_\" cannot be shown by the glyph font; use printable ASCII"}},
      {"captions too far right",
       [](Files& f) { facts(f, kFive + "captions: a | b | ccc\ncaption_x: 0 0 580\n"); },
       {"party.txt:6: captions: \"ccc\" is too long for the caption strip (3 characters from x = 580); give "
        "\"captions:\" shorter lines, at most 28 characters"}},
      {"music under another name",
       [](Files& f) {
         f.erase("music.ogg");
         f["song.flac"] = bytes("fLaC");
       },
       {"song.flac: the music must be named music.flac (or named by \"music:\" in party.txt); rename it"}},
      {"several music files",
       [](Files& f) { f["music.mp3"] = bytes("ID3"); },
       {"music.mp3: several music files (music.mp3, music.ogg); keep one"}},
      {"music as a folder",
       [](Files& f) {
         f.erase("music.ogg");
         f["music.mp3/track.mp3"] = bytes("ID3");
       },
       {"music.mp3: not a file that can be read; put the music file itself there"}},
      {"music named and missing",
       [](Files& f) { facts(f, kFive + "music: songs/final.ogg\n"); },
       {"party.txt:6: music: songs/final.ogg does not exist; name a file in the party folder",
        "music.ogg: not used, as party.txt names songs/final.ogg as the music; remove it"}},
  };
  return table;
}

TEST(KitParty, AGoodFolderHasNoProblems) {
  kit::Party party;
  EXPECT_EQ(problems_of(good_folder(), &party), std::vector<std::string>{});
  EXPECT_EQ(party.music, "music.ogg");
  EXPECT_EQ(kit::party_music_file(party, good_folder()), "music.ogg");
  EXPECT_EQ(party.logo, "");
  EXPECT_EQ(party.loading, "");
}

TEST(KitParty, EveryFaultOfABadFolderWithItsPlaceAndRemedy) {
  for (const BadFolder& bad : bad_folders()) {
    Files folder = good_folder();
    bad.change(folder);
    EXPECT_EQ(problems_of(folder, nullptr, bad.mp3_bytes), bad.problems) << bad.what;
  }
}

TEST(KitParty, AllProblemsAtOnce) {
  // a fault of every file at once: each is reported
  Files folder = good_folder();
  for (const BadFolder& bad : bad_folders()) {
    const std::string what = bad.what;
    if (what == "an underscore in a page" || what == "an empty page" || what == "a site without https://" ||
        what == "a loading screen of the wrong size" || what == "a Cyrillic letter") {
      bad.change(folder);
    }
  }
  EXPECT_EQ(problems_of(folder).size(), 5u);
}

TEST(KitParty, FilesAsEditorsSaveThem) {
  std::string crlf = kFive;
  for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) crlf.insert(at, "\r");
  Files folder = good_folder("\xEF\xBB\xBF" + crlf);
  folder["pages/info.txt"] = bytes("\xEF\xBB\xBFtext\r\n");
  kit::Party party;
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(party.fact("name"), "Velmora 2000");
  EXPECT_EQ(party.fact("summary"), "A party.");
  kit::Problems problems;
  const Files pages = kit::pages_make(folder, problems);
  EXPECT_EQ(text(pages.at("info.txt")), "text\r\nEND\r\n");
}

TEST(KitParty, MusicDefaultKeepsTheInvitationsOwn) {
  Files folder = good_folder(kFive + "music: default\n");
  folder.erase("music.ogg");
  kit::Party party;
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(party.music, "");
  EXPECT_EQ(kit::party_music_file(party, folder), "");
  folder = good_folder(kFive + "music: songs/final.ogg\n");
  folder.erase("music.ogg");
  folder["songs/final.ogg"] = bytes("OggS");
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(kit::party_music_file(party, folder), "songs/final.ogg");
}

TEST(KitParty, PicturesUnderEveryNameTheyMayHave) {
  Files folder = good_folder();
  folder["loading.jpg"] = jpeg(640, 480);
  folder["logo.jpeg"] = jpeg(1280, 960);  // 4:3, scaled
  kit::Party party;
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(party.loading, "loading.jpg");
  EXPECT_EQ(party.logo, "logo.jpeg");
  folder.erase("loading.jpg");
  folder.erase("logo.jpeg");
  folder["loading.png"] = png(640, 480);
  folder["logo.png"] = png(800, 600);
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(party.loading, "loading.png");
  EXPECT_EQ(party.logo, "logo.png");
  const kit::PictureHeader h = kit::picture_header(jpeg(321, 123));
  EXPECT_EQ(h.kind, "JPEG");
  EXPECT_EQ(h.width, 321);
  EXPECT_EQ(h.height, 123);
}

// Each limit README.md states, at its edge: accepted, and one more refused.
TEST(KitParty, EveryLimitHoldsAtItsEdge) {
  struct Edge {
    const char* what;
    std::function<std::string(size_t)> facts;
    size_t limit;
    std::vector<std::string> refused;
  };
  const std::string tail =
      "edition: E\ndates: Saturday 8 - Sunday 9 July 2000\nplace: Hall, Brenmar, Valdor\n"
      "summary: A party.\n";
  const std::vector<Edge> edges = {
      {"a one-word name",
       [&](size_t n) { return "name: " + std::string(n, 'W') + "\n" + tail; },
       24,
       {"party.txt:1: name is 25 characters, at most 24 fit; shorten it"}},
      {"an edition",
       [](size_t n) { return replaced(kFive, "Quorvantia Edition", std::string(n, 'E')); },
       28,
       {"party.txt:2: edition is 29 characters, at most 28 fit; shorten it"}},
      {"dates",
       [](size_t n) {
         const std::string dates = "Friday 6 - Sunday 8 August 2027 ";
         return replaced(kFive, "Saturday 8 - Sunday 9 July 2000", dates + std::string(n - dates.size(), 'x')) +
                "short_dates: 6 - 8 August\n";
       },
       60,
       {"party.txt:3: dates is 61 characters, at most 60 fit; shorten it"}},
      {"a place",
       [](size_t n) {
         const std::string end = ", Brenmar, Valdor";
         return replaced(kFive, "Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor",
                         std::string(n - end.size(), 'p') + end);
       },
       90,
       {"party.txt:4: place is 91 characters, at most 90 fit; shorten it"}},
      {"a summary",
       [](size_t n) { return replaced(kFive, "A party.", std::string(n, 's')); },
       300,
       {"party.txt:5: summary is 301 characters, at most 300 fit; shorten it"}},
      {"short dates",
       [](size_t n) { return kFive + "short_dates: " + std::string(n, 'd') + "\n"; },
       16,
       {"party.txt:6: short_dates is 17 characters, at most 16 fit; shorten it"}},
      {"a town",
       [](size_t n) { return kFive + "town: " + std::string(n, 't') + "\n"; },
       16,
       {"party.txt:6: town is 17 characters, at most 16 fit; shorten it"}},
      {"a country",
       [](size_t n) { return kFive + "country: " + std::string(n, 'c') + "\n"; },
       16,
       {"party.txt:6: country is 17 characters, at most 16 fit; shorten it"}},
      {"a caption",
       [](size_t n) { return kFive + "captions: a | b | " + std::string(n, 'c') + "\n"; },
       28,
       {"party.txt:6: captions: \"" + std::string(29, 'c') +
        "\" is too long for the caption strip (29 characters from x = 293); give \"captions:\" shorter lines, at "
        "most 28 characters"}},
  };
  for (const Edge& e : edges) {
    EXPECT_EQ(problems_of(good_folder(e.facts(e.limit))), std::vector<std::string>{}) << e.what;
    EXPECT_EQ(problems_of(good_folder(e.facts(e.limit + 1))), e.refused) << e.what;
  }
  // a caption made from the name, longer once "ß" is folded to "ss": the
  // name's line, and what to do without a "captions:" line
  EXPECT_EQ(problems_of(good_folder(replaced(kFive + "caption_x: 458 394 293\n", "Velmora 2000",
                                             "Gro\xc3\x9fstra\xc3\x9f"
                                             "enfu\xc3\x9f"
                                             "ball 2000"))),
            std::vector<std::string>{"party.txt:1: name: its caption \"Grossstrassenfussball 2000\" is too long for "
                                     "the caption strip (26 characters from x = 458); shorten name, or add a "
                                     "\"captions:\" line of three lines separated by |, each at most 28 characters"});
  // the shortest name
  EXPECT_EQ(problems_of(good_folder(replaced(kFive, "Velmora 2000", "Abc"))), std::vector<std::string>{});
  EXPECT_EQ(problems_of(good_folder(replaced(kFive, "Velmora 2000", "Ab"))),
            std::vector<std::string>{"party.txt:1: name is 2 characters, at least 3; lengthen it"});
  // letters outside ASCII count as one character each
  EXPECT_EQ(problems_of(good_folder(replaced(kFive, "Velmora 2000", repeat("\xc5\xbb", 24)))),
            std::vector<std::string>{});

  // page lines: 38 shown characters ("%" is one), 1000 lines
  Files folder = good_folder();
  folder["pages/info.txt"] = bytes(std::string(38, 'x') + "\n" + std::string(37, 'x') + "%\n");
  EXPECT_EQ(problems_of(folder), std::vector<std::string>{});
  folder["pages/info.txt"] = bytes(std::string(39, 'x') + "\n");
  EXPECT_EQ(problems_of(folder),
            std::vector<std::string>{"pages/info.txt:1:39: 39 characters, at most 38 fit a page line; break the line"});
  folder["pages/info.txt"] = bytes(repeat("line\n", 1000) + "\n\n");
  EXPECT_EQ(problems_of(folder), std::vector<std::string>{});
  folder["pages/info.txt"] = bytes(repeat("line\n", 1001));
  EXPECT_EQ(
      problems_of(folder),
      std::vector<std::string>{"pages/info.txt:1001: 1001 lines, the program shows at most 1000; shorten the page"});
}

TEST(KitParty, DatesAsOrganisersWriteThem) {
  struct Case {
    const char* dates;
    const char* year;
    const char* short_dates;
  };
  const Case cases[] = {
      {"2027-03-12 to 2027-03-14", "2027", "12 - 14 March"},
      {"2027-03-12 - 2027-03-14", "2027", "12 - 14 March"},
      {"2027-03-12 \xe2\x80\x93 2027-03-14", "2027", "12 - 14 March"},
      {"2027-03-12/14", "2027", "12 - 14 March"},
      {"2027-04-30/05-02", "2027", "30 April - 2 May"},
      {"2027-12-30 to 2028-01-02", "2028", "30 December - 2 January"},
      {"2027-03-12", "2027", "12 March"},
      {"Friday 6 - Sunday 8 August 2027", "2027", "6 - 8 August"},
      {"Friday 6 \xe2\x80\x93 Sunday 8 August 2027", "2027", "6 - 8 August"},
      {"Friday 6 \xe2\x80\x94 Sunday 8 August 2027", "2027", "6 - 8 August"},
      {"Fri 6\xe2\x80\x93Sun 8 Aug 2027", "2027", "6 - 8 Aug"},
      {"Fri, Aug 6 - Sun, Aug 8, 2027", "2027", "Aug 6 - Aug 8"},
      {"friday, 29 May - 1 June 2031", "2031", "29 May - 1 June"},
      {"Freitag 6. - Sonntag 8. August 2027", "2027", "6. - 8. August"},
      {"Fr. 6. \xe2\x80\x93 So. 8. August 2027", "2027", "6. - 8. August"},
      {"vendredi 6 \xe2\x80\x93 dimanche 8 ao\xc3\xbbt 2027", "2027", "6 - 8 ao\xc3\xbbt"},
      {"sam. 7 - dim. 8 ao\xc3\xbbt 2027", "2027", "7 - 8 ao\xc3\xbbt"},
      {"Vendredi 6 - Dimanche 8 aout 2027", "2027", "6 - 8 aout"},
      {"viernes 6 - domingo 8 de agosto de 2027", "2027", "6 - 8 de agosto"},
      {"mi\xc3\xa9rcoles 4 - s\xc3\xa1"
       "bado 7 de agosto de 2027",
       "2027", "4 - 7 de agosto"},
      {"mar. 3 - jue. 5 marzo 2027", "2027", "3 - 5 marzo"},
      {"venerd\xc3\xac 6 - domenica 8 agosto 2027", "2027", "6 - 8 agosto"},
      {"vrijdag 6 - zondag 8 augustus 2027", "2027", "6 - 8 augustus"},
      {"vr 6 - zo 8 augustus 2027", "2027", "6 - 8 augustus"},
      {"fredag 6 \xe2\x80\x93 s\xc3\xb6ndag 8 augusti 2027", "2027", "6 - 8 augusti"},
      {"fredag 6. \xe2\x80\x93 s\xc3\xb8ndag 8. august 2027", "2027", "6. - 8. august"},
      {"l\xc3\xb8r. 7. - s\xc3\xb8n. 8. august 2027", "2027", "7. - 8. august"},
      {"perjantai 6. \xe2\x80\x93 sunnuntai 8. elokuuta 2027", "2027", "6. - 8. elokuuta"},
      {"pe 6.\xe2\x80\x93su 8.8.2027", "2027", "6. - 8.8."},
      {"pi\xc4\x85tek 6 \xe2\x80\x93 niedziela 8 sierpnia 2027", "2027", "6 - 8 sierpnia"},
      {"p\xc3\xa1tek 6. \xe2\x80\x93 ned\xc4\x9ble 8. srpna 2027", "2027", "6. - 8. srpna"},
      {"sexta-feira 6 a domingo 8 de agosto de 2027", "2027", "6 a 8 de agosto"},
      {"6 to 8 August 2027", "2027", "6 to 8 August"},
      {"Saturday 8 - Sunday 9 July", "", "8 - 9 July"},
      // numeric dates keep no separator of the year's; "mar" before its day
      // number is March when the other month is written before its day too
      {"12/03/2027 - 14/03/2027", "2027", "12/03 - 14/03"},
      {"12-03-2027 - 14-03-2027", "2027", "12-03 - 14-03"},
      {"12.-14.3.2027", "2027", "12.-14.3."},
      {"Mar 30 - Apr 1, 2027", "2027", "Mar 30 - Apr 1"},
      {"Tue, Mar 30 - Thu, Apr 1 2027", "2027", "Mar 30 - Apr 1"},
      {"mar 12 - jeu 14 avril 2027", "2027", "12 - 14 avril"},
      // year first: day or month next is not known
      {"2027/03/12 - 2027/03/14", "2027", ""},
      {"2027.03.12", "2027", ""},
  };
  for (const Case& c : cases) {
    const kit::DerivedDates d = kit::dates_derive(c.dates);
    EXPECT_EQ(d.year, c.year) << c.dates;
    EXPECT_EQ(d.short_dates, c.short_dates) << c.dates;
  }
  EXPECT_EQ(kit::dates_abbreviate("30 September - 4 October"), "30 Sep - 4 Oct");
  EXPECT_TRUE(kit::dates_is_weekday("Søn"));
  EXPECT_TRUE(kit::dates_is_month("März"));
  // German weekdays and an en dash ask for nothing
  Files folder =
      good_folder(replaced(kFive, "Saturday 8 - Sunday 9 July 2000", "Samstag 8. \xe2\x80\x93 Sonntag 9. Juli 2000"));
  kit::Party party;
  EXPECT_EQ(problems_of(folder, &party), std::vector<std::string>{});
  EXPECT_EQ(party.fact("short_dates"), "8. - 9. Juli");
  EXPECT_EQ(party.fact("captions"), "Velmora 2000 | Quorvantia Edition | 8. - 9. Juli, Brenmar");
  // a date written year first asks for short_dates and says why
  folder = good_folder(replaced(kFive, "Saturday 8 - Sunday 9 July 2000", "2000/07/08 - 2000/07/09"));
  const std::vector<std::string> problems = problems_of(folder);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("party.txt:"), std::string::npos) << problems[0];
  EXPECT_NE(problems[0].find("short_dates: dates puts the year first"), std::string::npos) << problems[0];
}

TEST(KitParty, FactsDerivedAsPartyPyDerivesThem) {
  struct Case {
    std::string facts;
    const char* year;
    const char* short_dates;
    const char* town;
    const char* country;
    const char* captions;
  };
  const Case cases[] = {
      {kFive, "2000", "8 - 9 July", "Brenmar", "Valdor",
       "Velmora 2000 | Quorvantia Edition | 8 - 9 July, Brenmar, Valdor"},
      {replaced(replaced(kFive, "Saturday 8 - Sunday 9 July 2000", "friday, 29 May - 1 June 2031"),
                "Kestrelgarden hall, Ostmark road 14, Brenmar, Valdor", "\xc5\x81\xc3\xb3\x64\xc5\xba"),
       "2031", "29 May - 1 June", "\xc5\x81\xc3\xb3\x64\xc5\xba", "",
       "Velmora 2000 | Quorvantia Edition | 29 May - 1 June, \xc5\x81\xc3\xb3\x64\xc5\xba"},
      // the third caption keeps as much of the place as fits
      {replaced(kFive, "Brenmar, Valdor",
                "Sj\xc3\xb6"
                "by-N\xc3\xa4s-\xc3\x96stra, Nordmarksland"),
       "2000", "8 - 9 July",
       "Sj\xc3\xb6"
       "by-N\xc3\xa4s-\xc3\x96stra",
       "Nordmarksland",
       "Velmora 2000 | Quorvantia Edition | 8 - 9 July, Sj\xc3\xb6"
       "by-N\xc3\xa4s-\xc3\x96stra"},
  };
  for (const Case& c : cases) {
    kit::Party party;
    EXPECT_EQ(problems_of(good_folder(c.facts), &party), std::vector<std::string>{}) << c.facts;
    EXPECT_EQ(party.fact("year"), c.year);
    EXPECT_EQ(party.fact("short_dates"), c.short_dates);
    EXPECT_EQ(party.fact("town"), c.town);
    EXPECT_EQ(party.fact("country"), c.country);
    EXPECT_EQ(party.fact("captions"), c.captions);
  }
  for (const char* key : kit::kRequiredKeys) EXPECT_TRUE(kit::Party().fact(key).empty());
  kit::Party party;
  problems_of(good_folder(kFive + "site: https://velmora.example.org/\n"), &party);
  EXPECT_EQ(party.lines.at("site"), 6);
  EXPECT_EQ(party.columns.at("site"), 7);
  EXPECT_EQ(party.fact("site"), "https://velmora.example.org/");
  EXPECT_EQ(party.fact("no such key"), "");
}

TEST(KitParty, TheLetteringsParts) {
  kit::Party party;
  problems_of(good_folder(), &party);
  EXPECT_EQ(kit::party_title_parts(party), std::make_pair(std::string("VELMORA"), std::string("2000")));
  EXPECT_EQ(kit::party_spaced_edition(party), "Q U O R V A N T I A   E D I T I O N");
  EXPECT_EQ(kit::party_header_line(party), "8 - 9 JULY 2000  /  BRENMAR  /  VALDOR");
  EXPECT_EQ(kit::party_header_line(party, 2), "8 - 9 JULY 2000  /  BRENMAR");
  EXPECT_EQ(kit::party_date_block(party), (std::vector<std::string>{"8 - 9 JULY", "BRENMAR", "VALDOR"}));
  problems_of(
      good_folder(replaced(replaced(kFive, "Velmora 2000", "Noc \xc5\xbb\xc3\xb3\xc5\x82wia"), "Quorvantia Edition",
                           "Stra\xc3\x9f"
                           "e")),
      &party);
  EXPECT_EQ(kit::party_title_parts(party),
            std::make_pair(std::string("NOC \xc5\xbb\xc3\x93\xc5\x81WIA"), std::string("2000")));
  EXPECT_EQ(kit::party_spaced_edition(party), "S T R A S S E");
}

TEST(KitParty, CaptionsSpeakTheGlyphFontsLetters) {
  kit::Party party;
  problems_of(good_folder(replaced(kFive, "Velmora 2000",
                                   "Stra\xc3\x9f"
                                   "e \xc5\x81\xc3\xb3\x64\xc5\xba \xc3\x98re 2031")),
              &party);
  EXPECT_EQ(kit::party_caption_lines(party)[0], std::make_pair(590 - 11 * 21, std::string("Strasse Lodz Ore 2031")));
  problems_of(good_folder(kFive + "caption_x: 458 394 293\n"), &party);
  EXPECT_EQ(text(kit::facts_captions(party)),
            "458 Velmora 2000\r\n394 Quorvantia Edition\r\n293 8 - 9 July, Brenmar, Valdor\r\nEND\r\n");
  EXPECT_EQ(text(kit::facts_web(party)),
            "# The party's facts for the web page's text and its link preview (read by\n"
            "# velmora2k-kit index at build time; this folder is not packed into pak.pak).\n"
            "# One \"key: value\" a line; lines starting with # are comments.\n" +
                kFive);
}

TEST(KitParty, PageLayout) {
  auto page = [](const std::string& source) {
    kit::Problems problems;
    Bytes out;
    EXPECT_TRUE(kit::page_make(bytes(source), "pages/info.txt", out, problems)) << source;
    return text(out);
  };
  EXPECT_EQ(page("^ABCD\n"), std::string(17, ' ') + "ABCD\r\nEND\r\n");
  EXPECT_EQ(page("^  ABCD  \n"), std::string(17, ' ') + "ABCD\r\nEND\r\n");
  EXPECT_EQ(page("Entry ... 120 crowns\n"), "Entry " + std::string(36 - 6 - 11, '.') + " 120 crowns\r\nEND\r\n");
  EXPECT_EQ(page("Organisers ...... orga@skargard.example\n"),
            "Organisers " + std::string(36 - 11 - 22, '.') + " orga@skargard.example\r\nEND\r\n");
  // " ... " needs text on both sides; "..." alone is text
  EXPECT_EQ(page("Wait for it ...\n... and more\n"), "Wait for it ...\r\n... and more\r\nEND\r\n");
  EXPECT_EQ(page("one\n\n100% sure\n\n\n"), "one\r\n\r\n100%% sure\r\nEND\r\n");
  EXPECT_EQ(page("text  \r\n"), "text\r\nEND\r\n");

  const std::pair<const char*, const char*> refused[] = {
      {"a `quote`\n", "pages/info.txt:1:3: the page font has no '`' (U+0060); use printable ASCII without ` and _"},
      {"tab\there\n", "pages/info.txt:1:4: the page font has no '\\t' (U+0009); use printable ASCII without ` and _"},
      {"na\xc3\xafve\n",
       "pages/info.txt:1:3: the page font has no '\xc3\xaf' (U+00EF); use printable ASCII without ` "
       "and _"},
      {"no\xc2\xa0"
       "break\n",
       "pages/info.txt:1:3: the page font has no '\\xa0' (U+00A0); use printable ASCII "
       "without ` and _"},
      {"END of it\n", "pages/info.txt:1:1: a text line may not start with END; reword it"},
      {"END ... here\n", "pages/info.txt:1:1: a text line may not start with END; reword it"},
  };
  for (const auto& [source, message] : refused) {
    kit::Problems problems;
    Bytes out;
    EXPECT_FALSE(kit::page_make(bytes(source), "pages/info.txt", out, problems));
    ASSERT_EQ(problems.items().size(), 1u) << source;
    EXPECT_EQ(kit::problem_text(problems.items()[0], ""), message);
    EXPECT_TRUE(out.empty());
  }
}

TEST(KitParty, MusicTooLargeForAVisitorIsAWarning) {
  kit::Problems problems;
  kit::party_music_size_check("music.flac", 12'500'000, problems);  // 10 s at 10 Mbit/s
  EXPECT_TRUE(problems.items().empty());
  kit::party_music_size_check("music.flac", 15'000'000, problems);
  ASSERT_EQ(problems.items().size(), 1u);
  EXPECT_EQ(problems.errors(), 0u);
  EXPECT_EQ(kit::problem_text(problems.items()[0], "party/"),
            "party/music.flac: warning: the converted music is 15.0 MB: a visitor on a 10 Mbit/s link waits 12.0 s "
            "for it; a piece of at most 8 min 40 s keeps the wait within 10 s");
}

TEST(KitText, UpperFoldAndDecode) {
  EXPECT_EQ(kit::text_upper("stra\xc3\x9f"
                            "e \xc3\xbf \xc5\x82\xc3\xb3\x64\xc5\xba \xc4\xb1 \xc5\xbf"),
            "STRASSE \xc5\xb8 \xc5\x81\xc3\x93\x44\xc5\xb9 I S");
  EXPECT_EQ(kit::text_upper("\xc5\x89"), "\xca\xbcN");
  EXPECT_EQ(kit::text_fold_ascii("\xc3\x86gir \xc3\x9e\xc3\xb3r \xc4\xa6 \xc5\x8b \xc3\x97"),
            "AEgir Thor H n \xc3\x97");
  EXPECT_EQ(kit::text_fold_ascii("e\xcc\x81"), "e");  // a combining accent
  std::u32string out;
  size_t bad = 99;
  EXPECT_FALSE(kit::utf8_decode("ab\xc0\xaf", out, &bad));  // overlong
  EXPECT_EQ(bad, 2u);
  EXPECT_FALSE(kit::utf8_decode("\xed\xa0\x80", out, &bad));  // a surrogate
  EXPECT_EQ(bad, 0u);
  EXPECT_FALSE(kit::utf8_decode("ok\xe2\x82", out, &bad));  // cut off
  EXPECT_EQ(bad, 2u);
  EXPECT_TRUE(kit::utf8_decode("\xf0\x9f\x8e\x89", out, &bad));
  EXPECT_EQ(out, U"\U0001F389");
  EXPECT_TRUE(kit::text_is_lettering_char(U'\u017F'));
  EXPECT_FALSE(kit::text_is_lettering_char(U'\u00D7'));
  EXPECT_FALSE(kit::text_is_glyph_char(U'_'));
  EXPECT_STREQ(kit::text_foreign_letter(U'\u0414'), "Cyrillic");
}

// Damaged files of every kind are problems, never a crash: random bytes,
// and good files cut off or changed at random.
TEST(KitParty, DamagedFilesAreProblemsNotCrashes) {
  std::mt19937 random(2027);
  const Bytes good_facts = bytes(kFive + "caption_x: 1 2 3\nsite: https://x.example/\n");
  const Bytes good_page = bytes("^TITLE\n\nEntry ... 10 crowns\n100% sure\n");
  const std::vector<Bytes> pictures = {png(640, 480), jpeg(640, 480)};
  auto damaged = [&](Bytes b) {
    const int how = static_cast<int>(random() % 3);
    if (how == 0 && !b.empty()) b.resize(random() % b.size());
    if (how == 1) {
      for (int i = 0; i < 4 && !b.empty(); ++i) b[random() % b.size()] = static_cast<uint8_t>(random());
    }
    if (how == 2) {
      b.resize(random() % 64);
      for (uint8_t& v : b) v = static_cast<uint8_t>(random());
    }
    return b;
  };
  for (int run = 0; run < 2000; ++run) {
    Files folder = good_folder();
    folder["party.txt"] = damaged(good_facts);
    folder["pages/info.txt"] = damaged(good_page);
    folder["logo.png"] = damaged(pictures[run % 2]);
    folder["loading.jpg"] = damaged(pictures[(run + 1) % 2]);
    kit::Problems problems;
    const kit::Party party = kit::party_read(folder, problems);
    kit::facts_captions(party);
    kit::party_title_parts(party);
    kit::party_header_line(party);
    for (const kit::Problem& p : problems.items()) EXPECT_FALSE(p.message.empty());
  }
}

std::string source_dir() { return VELMORA_SOURCE_DIR; }

// Our own party folder makes data/'s pages, captions and web facts byte for
// byte; the example party has no problem. Both in far under 10 ms.
TEST(KitParty, TheShippedFolders) {
  Files own, example;
  std::string error;
  ASSERT_TRUE(kit::files_read_folder(source_dir() + "/party", own, error)) << error;
  ASSERT_TRUE(kit::files_read_folder(source_dir() + "/examples/skargard", example, error)) << error;
  kit::Problems problems;
  const kit::Party party = kit::party_read(own, problems);
  EXPECT_TRUE(problems.items().empty()) << kit::problem_text(problems.items()[0], "party/");
  Files made = kit::pages_make(own, problems);
  made["captions.txt"] = kit::facts_captions(party);
  made["web/party.txt"] = kit::facts_web(party);
  ASSERT_EQ(made.size(), 6u);
  Files shipped;
  ASSERT_TRUE(kit::files_read_folder(source_dir() + "/data", shipped, error)) << error;
  for (const auto& [name, data] : made) EXPECT_EQ(data, shipped.at(name)) << name;
  EXPECT_EQ(kit::party_music_file(party, own), "");

  kit::Problems example_problems;
  const kit::Party skargard = kit::party_read(example, example_problems);
  EXPECT_TRUE(example_problems.items().empty());
  EXPECT_EQ(kit::pages_make(example, example_problems).size(), 4u);
  EXPECT_EQ(skargard.music, "music.ogg");
  EXPECT_EQ(skargard.fact("short_dates"), "19 - 21 June");

  const int runs = 50;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < runs; ++i) {
    kit::Problems p;
    kit::party_read(own, p);
    kit::pages_make(own, p);
  }
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / runs;
  RecordProperty("party_read_and_pages_make_ms", std::to_string(ms));
  std::printf("party_read + pages_make of party/: %.3f ms\n", ms);
  EXPECT_LT(ms, 10.0);
}

}  // namespace
