// The party kit's lettering and lettered pictures: names of every length
// and alphabet fit every box without ink outside it, what cannot fit is
// named in the organiser's words, the pictures come out as PNG bytes that
// differ from their base layers only where lettering goes, an organiser's
// own pictures are taken, scaled or refused, and the arithmetic under it
// (our exp, rounding, blur reach) is what the layout relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kit/lettering.h"
#include "kit/paint.h"
#include "kit/pictures.h"
#include "resources/memdecode.h"
#include "resources/pngwrite.h"

namespace {

using namespace kit;

const std::string kFonts = "/usr/share/fonts/truetype/dejavu/";
const std::string kLayers = std::string(VELMORA_SOURCE_DIR) + "/data/layers/";

Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Files base_files() {
  Files files;
  files["fonts/DejaVuSans.ttf"] = read_bytes(kFonts + "DejaVuSans.ttf");
  files["fonts/DejaVuSans-Bold.ttf"] = read_bytes(kFonts + "DejaVuSans-Bold.ttf");
  for (const char* name : kLetteredPictures)
    files[std::string("layers/") + name] = read_bytes(kLayers + name);
  return files;
}

// Loaded once: the faces and layers are the same for every test.
KitBase& base() {
  static KitBase* loaded = [] {
    auto* b = new KitBase;
    std::string error;
    EXPECT_TRUE(kit_base_load(base_files(), *b, error)) << error;
    return b;
  }();
  return *loaded;
}

// Our own party's facts, with the name (and gold part) replaced.
LetteredFacts facts(const std::string& title, const std::string& gold = "2000",
                    bool gold_from_name = true) {
  LetteredFacts f;
  f.title = title;
  f.gold = gold;
  f.gold_from_name = gold_from_name;
  f.edition = "QUORVANTIA EDITION";
  f.edition_spaced = "Q U O R V A N T I A   E D I T I O N";
  f.header_lines = {"8 - 9 JULY 2000  /  BRENMAR  /  VALDOR", "8 - 9 JULY 2000  /  BRENMAR",
                    "8 - 9 JULY 2000"};
  f.short_dates = "8 - 9 JULY";
  f.town = "BRENMAR";
  f.country = "VALDOR";
  return f;
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

bool has_ink(const Layer& layer) {
  for (double v : layer.value)
    if (v > 0) return true;
  return false;
}

// Every lettering keeps its ink and its halo inside its box, and draws some
// ink; the name's lettering on the logo has lines items.
void expect_inside(const std::vector<LetteringBox>& boxes, const std::string& what) {
  for (const LetteringBox& b : boxes) {
    for (const Item& it : b.items) {
      const Layer& m = it.mask;
      EXPECT_GE(m.x - it.halo, b.box.x0) << what << " " << b.picture << " " << b.key;
      EXPECT_GE(m.y - it.halo, b.box.y0) << what << " " << b.picture << " " << b.key;
      EXPECT_LE(m.x + m.width + it.halo, b.box.x1) << what << " " << b.picture << " " << b.key;
      EXPECT_LE(m.y + m.height + it.halo, b.box.y1) << what << " " << b.picture << " " << b.key;
      EXPECT_TRUE(has_ink(m)) << what << " " << b.picture << " " << b.key;
    }
  }
}

size_t name_lines(const std::vector<LetteringBox>& boxes, const std::string& picture) {
  for (const LetteringBox& b : boxes)
    if (b.picture == picture && b.key == "name") return b.items.size();
  return 0;
}

TEST(KitLettering, EveryNameFitsEveryBoxWithoutInkOutside) {
  struct Case {
    const char* what;
    std::string title;
    std::string gold;
    size_t logo_lines;
  };
  const Case cases[] = {
      {"3 letters", "ABC", "2000", 1},
      {"12 letters", "PIXEL SUMMIT", "2000", 1},
      {"24 letters", "NORTHERN LIGHTS GATHERIN", "2000", 2},
      {"one word of 16", "UEBERSCHALLWELLE", "2000", 1},
      {"one word of 24 wide", repeat("W", 24), "", 1},
      {"one word of 24 M", repeat("M", 24), "2000", 1},
      {"the widest capital", repeat("\xC5\x92", 24), "2000", 1},  // Œ
      {"Polish and Nordic", "\xC5\x81\xC3\x93\x44\xC5\xB9 \xC5\xBB\xC3\x85\x47\x45\x4C", "2000",
       1},                                                         // ŁÓDŹ ŻÅGEL
      {"sharp s upper-cased", "GROSSE \xC3\x89TOILE", "2000", 2},  // GROSSE ÉTOILE
      {"number from the name", "A", "12345678901234567890123", 1},
  };
  for (const Case& c : cases) {
    std::vector<PictureProblem> problems;
    const auto boxes = pictures_lettering(base(), facts(c.title, c.gold), problems);
    for (const PictureProblem& p : problems) ADD_FAILURE() << c.what << ": " << p.message;
    expect_inside(boxes, c.what);
    EXPECT_EQ(name_lines(boxes, "logo.png"), c.logo_lines) << c.what;
    EXPECT_EQ(name_lines(boxes, "header"), c.gold.empty() ? 1u : 2u) << c.what;
  }
  // The widest name beside the widest edition and a long date line: the
  // header leaves out the gold number, and the name still fits.
  const std::string oe9 = repeat("\xC5\x92", 9);
  LetteredFacts widest = facts(repeat("\xC5\x92", 24));
  widest.edition = repeat("\xC5\x92", 28);
  widest.edition_spaced = repeat("\xC5\x92 ", 27) + "\xC5\x92";
  widest.short_dates = "31 DEC - 1 JAN";
  widest.town = widest.country = oe9;
  widest.header_lines = {"31 DEC - 1 JAN 2000  /  " + oe9 + "  /  " + oe9,
                         "31 DEC - 1 JAN 2000  /  " + oe9, "31 DEC - 1 JAN 2000"};
  std::vector<PictureProblem> problems;
  const auto boxes = pictures_lettering(base(), widest, problems);
  for (const PictureProblem& p : problems)
    if (p.key == "name") ADD_FAILURE() << p.message;
  expect_inside(boxes, "widest");
  EXPECT_EQ(name_lines(boxes, "header"), 1u);
}

TEST(KitLettering, LettersOutsideAsciiDrawTheirMarks) {
  // Each accented capital reaches above (or, Ł, across) its plain twin.
  const std::pair<const char*, const char*> twins[] = {
      {"\xC3\x85", "A"}, {"\xC3\x89", "E"}, {"\xC5\xBB", "Z"}, {"\xC5\x81", "L"}};
  for (const auto& [accented, plain] : twins) {
    const TextMask a = text_mask(base().bold, accented, {40, 0, 1});
    const TextMask p = text_mask(base().bold, plain, {40, 0, 1});
    EXPECT_TRUE(a.mask.height > p.mask.height || a.mask.value != p.mask.value) << accented;
    EXPECT_TRUE(has_ink(a.mask)) << accented;
  }
  // Bytes that are not UTF-8 draw as a replacement, never read past the end.
  EXPECT_TRUE(has_ink(text_mask(base().sans, "AB\xC3", {20, 0, 1}).mask));
  EXPECT_TRUE(has_ink(text_mask(base().sans, "\xF0\x9F", {20, 0, 1}).mask));
}

TEST(KitLettering, WhatCannotFitIsNamedInTheOrganisersWords) {
  struct Case {
    LetteredFacts facts;
    std::string key;
    std::string says;
    std::vector<std::string> not_made;
  };
  // 30 of the widest capitals fit the header only; 12 words of 3 fit the
  // loading screen's two lines only.
  LetteredFacts long_word = facts(repeat("\xC5\x92", 30));
  LetteredFacts long_words = facts(repeat("\xC5\x92\xC5\x92\xC5\x92 ", 12));
  LetteredFacts long_town = facts("VELMORA");
  long_town.town = repeat("W", 30);
  const Case cases[] = {
      {long_word,
       "name",
       "the name is too long for the logo even in the smallest type; shorten it, or put a space "
       "where it may break into two lines",
       {"logo.png", "loading.png", "panel.png"}},
      {long_words,
       "name",
       "the name is too long for the logo even in the smallest type; shorten it",
       {"logo.png", "panel.png", "textpanel.png"}},
      {long_town,
       "town",
       "the town is too long for the menu even in the smallest type; give a shorter one with town:",
       {"panel.png", "textpanel.png"}},
  };
  for (const Case& c : cases) {
    const std::vector<PictureProblem> checked = pictures_check(base(), c.facts);
    const PicturesMade made =
        pictures_make(base(), c.facts, {"logo.png", "loading.png", "panel.png", "textpanel.png"});
    bool found = false;
    for (const PictureProblem& p : checked) {
      found = found || (p.key == c.key && p.message == c.says);
      EXPECT_EQ(p.message.find("pixel"), std::string::npos) << p.message;
    }
    EXPECT_TRUE(found) << c.says;
    ASSERT_EQ(made.problems.size(), checked.size());
    for (const char* name : kLetteredPictures) {
      const bool refused =
          std::find(c.not_made.begin(), c.not_made.end(), name) != c.not_made.end();
      EXPECT_EQ(made.pictures.count(name), refused ? 0u : 1u) << c.says << " " << name;
    }
  }
}

MemPicture decoded(const Bytes& png) {
  MemPicture pic;
  std::string error;
  EXPECT_TRUE(memdecode_rgb(png.data(), png.size(), pic, error)) << error;
  return pic;
}

// Pixels of the picture that differ from its base layer lie in the boxes
// of its lettering (the panels' header band included), and some do.
TEST(KitPictures, LetteringChangesOnlyItsBoxes) {
  const LetteredFacts f = facts("VELMORA");
  std::vector<PictureProblem> problems;
  const auto boxes = pictures_lettering(base(), f, problems);
  ASSERT_TRUE(problems.empty());
  const PicturesMade made =
      pictures_make(base(), f, {"loading.png", "panel.png", "textpanel.png", "logo.png"});
  ASSERT_TRUE(made.problems.empty());
  ASSERT_EQ(made.pictures.size(), 4u);
  EXPECT_EQ(made.pictures.at("logo.png"),
            pictures_make(base(), f, {"logo.png"}).pictures.at("logo.png"));
  // The logo's glints shine past its boxes by design; the others are checked.
  for (const std::string name : {"loading.png", "panel.png", "textpanel.png"}) {
    const MemPicture pic = decoded(made.pictures.at(name));
    const MemPicture& layer = base().layers.at(name);
    ASSERT_EQ(pic.width, kPictureWidth);
    ASSERT_EQ(pic.height, kPictureHeight);
    int changed = 0, outside = 0;
    for (int y = 0; y < pic.height; ++y)
      for (int x = 0; x < pic.width; ++x) {
        const size_t i = (static_cast<size_t>(y) * pic.width + x) * 3;
        if (std::equal(&pic.rgb[i], &pic.rgb[i + 3], &layer.rgb[i])) continue;
        ++changed;
        bool in_box = false;
        for (const LetteringBox& b : boxes) {
          const bool mine = b.picture == name || (b.picture == "header" && name != "loading.png");
          in_box =
              in_box || (mine && x >= b.box.x0 && x < b.box.x1 && y >= b.box.y0 && y < b.box.y1);
        }
        outside += in_box ? 0 : 1;
      }
    EXPECT_GT(changed, 500) << name;
    EXPECT_EQ(outside, 0) << name;
  }
}

// Our own party's pictures as the kit letters them keep the layout of the
// committed pictures: the same ink in the same places, within the
// anti-aliasing of two renderers.
TEST(KitPictures, OurPartyKeepsTheCommittedLayout) {
  const PicturesMade made = pictures_make(
      base(), facts("VELMORA"), {"logo.png", "loading.png", "panel.png", "textpanel.png"});
  for (const char* name : kLetteredPictures) {
    const MemPicture want = decoded(read_bytes(std::string(VELMORA_SOURCE_DIR) + "/data/" + name));
    const MemPicture got = decoded(made.pictures.at(name));
    ASSERT_EQ(got.rgb.size(), want.rgb.size()) << name;
    double total = 0;
    int far = 0;
    for (size_t i = 0; i < got.rgb.size(); ++i) {
      const int d = std::abs(got.rgb[i] - want.rgb[i]);
      total += d;
      far += d > 32 ? 1 : 0;
    }
    EXPECT_LT(total / static_cast<double>(got.rgb.size()), 0.5) << name;
    EXPECT_LT(far, 20) << name;
  }
}

Bytes png_of(int width, int height, uint8_t shade) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, shade);
  Bytes png;
  std::string error;
  EXPECT_TRUE(png_encode_rgb(rgb.data(), width, height, png, error)) << error;
  return png;
}

TEST(KitPictures, OrganisersPicturesAreTakenScaledOrRefused) {
  const LetteredFacts f = facts("VELMORA");
  struct Case {
    const char* name;
    Bytes bytes;
    const char* problem;  // "" when the picture is taken
  };
  const Case cases[] = {
      {"logo.png", png_of(640, 480, 77), ""},
      {"logo.png", png_of(800, 600, 77), ""},
      {"logo.png", png_of(800, 500, 77),
       "800 x 500 pixels; make it 640 x 480 pixels, or any size of the same 4:3 shape (it is "
       "scaled)"},
      {"loading.png", png_of(800, 600, 77),
       "800 x 600 pixels; make it exactly 640 x 480 pixels (the program draws the loading bar at "
       "fixed pixels)"},
      {"loading.png", files_bytes("not a picture"),
       "cannot be read: neither a PNG nor a JPEG picture; save it as PNG"},
  };
  for (const Case& c : cases) {
    const OwnPictures own{{c.name, c.bytes}};
    const PicturesMade made = pictures_make(base(), f, {c.name}, own);
    if (*c.problem == '\0') {
      ASSERT_TRUE(made.problems.empty()) << made.problems[0].message;
      const MemPicture pic = decoded(made.pictures.at(c.name));
      ASSERT_EQ(pic.width, kPictureWidth);
      // A flat picture stays flat through the scaler: no lettering, no ringing.
      for (uint8_t v : pic.rgb) ASSERT_EQ(v, 77);
    } else {
      ASSERT_EQ(made.problems.size(), 1u);
      EXPECT_EQ(made.problems[0].key, c.name);
      EXPECT_EQ(made.problems[0].message, c.problem);
      EXPECT_TRUE(made.pictures.empty());
      EXPECT_EQ(pictures_check(base(), f, own).size(), 1u);
    }
  }
  // A 4:3 ramp scaled down stays a ramp: rising along every row, from its
  // dark end to its light end, every row alike.
  std::vector<uint8_t> ramp(800 * 600 * 3);
  for (size_t i = 0; i < ramp.size(); ++i)
    ramp[i] = static_cast<uint8_t>((i / 3 % 800) * 255 / 799);
  Bytes ramp_png;
  std::string error;
  ASSERT_TRUE(png_encode_rgb(ramp.data(), 800, 600, ramp_png, error)) << error;
  const PicturesMade scaled = pictures_make(base(), f, {"logo.png"}, {{"logo.png", ramp_png}});
  const MemPicture pic = decoded(scaled.pictures.at("logo.png"));
  for (int y = 0; y < pic.height; ++y) {
    const uint8_t* row = &pic.rgb[static_cast<size_t>(y) * pic.width * 3];
    EXPECT_LE(row[0], 1);
    EXPECT_GE(row[(pic.width - 1) * 3], 254);
    for (int x = 1; x < pic.width; ++x) ASSERT_LE(row[(x - 1) * 3], row[x * 3]) << x;
    ASSERT_TRUE(std::equal(row, row + pic.width * 3, pic.rgb.begin())) << y;
  }
  // An own logo spares the name from fitting the logo: a name too long for
  // every picture is then refused by the others only.
  const OwnPictures own{{"logo.png", png_of(640, 480, 0)}};
  const auto problems = pictures_check(base(), facts(repeat("W", 60)), own);
  EXPECT_FALSE(problems.empty());
  for (const PictureProblem& p : problems)
    EXPECT_EQ(p.message.find("the logo"), std::string::npos) << p.message;
}

TEST(KitPictures, BaseWithoutItsFilesIsRefused) {
  for (const std::string missing :
       {"fonts/DejaVuSans.ttf", "fonts/DejaVuSans-Bold.ttf", "layers/panel.png"}) {
    Files files = base_files();
    files.erase(missing);
    KitBase b;
    std::string error;
    EXPECT_FALSE(kit_base_load(files, b, error));
    EXPECT_EQ(error, missing + ": missing");
  }
  Files files = base_files();
  files["layers/logo.png"] = png_of(320, 240, 0);
  KitBase b;
  std::string error;
  EXPECT_FALSE(kit_base_load(files, b, error));
  EXPECT_EQ(error, "layers/logo.png: not 640 x 480 pixels");
}

// The kit reads organisers' pictures from memory: every PNG colour type and
// depth comes out as the same 8-bit RGB as its interlaced twin, JPEG in grey
// and colour is read, and what cannot be read is a message.
TEST(MemDecode, PicturesFromMemory) {
  const std::string suite = std::string(VELMORA_SOURCE_DIR) + "/tests/data/pngsuite/";
  for (const char* name : {"basn0g01", "basn0g02", "basn0g04", "basn0g08", "basn0g16", "basn2c08",
                           "basn2c16", "basn3p01", "basn3p02", "basn3p04", "basn3p08", "basn4a08",
                           "basn4a16", "basn6a08", "basn6a16"}) {
    const Bytes plain = read_bytes(suite + name + ".png");
    const Bytes laced = read_bytes(suite + "i" + name + ".png");
    if (laced.empty()) continue;
    const MemPicture a = decoded(plain), b = decoded(laced);
    EXPECT_EQ(a.width, 32) << name;
    EXPECT_EQ(a.height, 32) << name;
    EXPECT_EQ(a.rgb.size(), 32u * 32 * 3) << name;
    EXPECT_EQ(a.rgb, b.rgb) << name;
  }
  const std::string pictures = std::string(VELMORA_SOURCE_DIR) + "/tests/data/pictures/";
  const MemPicture grey = decoded(read_bytes(pictures + "grey_9x5.jpg"));
  ASSERT_EQ(grey.width * grey.height, 45);
  for (size_t i = 0; i < grey.rgb.size(); i += 3) {
    EXPECT_EQ(grey.rgb[i], grey.rgb[i + 1]);
    EXPECT_EQ(grey.rgb[i], grey.rgb[i + 2]);
  }
  EXPECT_EQ(decoded(read_bytes(pictures + "colour_16x8.jpg")).rgb.size(), 16u * 8 * 3);
  EXPECT_EQ(decoded(read_bytes(pictures + "progressive_16x16.jpg")).rgb.size(), 16u * 16 * 3);

  Bytes cut = read_bytes(suite + "basn2c08.png");
  cut.resize(cut.size() / 2);
  Bytes cmyk = read_bytes(pictures + "cmyk_8x8.jpg");
  for (const Bytes& bad : {cut, cmyk, files_bytes("GIF89a"), Bytes{}}) {
    MemPicture pic;
    std::string error;
    EXPECT_FALSE(memdecode_rgb(bad.data(), bad.size(), pic, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(pic.rgb.empty());
  }
}

TEST(KitPaint, ArithmeticTheLayoutReliesOn) {
  // Our exp against the C library's, within a few units in the last place.
  for (double x = -700; x <= 700; x += 0.37) {
    const double want = std::exp(x);
    EXPECT_NEAR(paint_exp(x), want, want * 1e-15) << x;
  }
  EXPECT_EQ(paint_exp(0), 1.0);
  EXPECT_EQ(paint_exp(-800), 0.0);
  // Halves to even, as the lettering was placed when it was designed.
  const std::pair<double, double> rounds[] = {{0.5, 0},   {1.5, 2}, {2.5, 2}, {-0.5, 0},
                                              {-1.5, -2}, {2.4, 2}, {2.6, 3}};
  for (const auto& [x, want] : rounds) EXPECT_EQ(round_half_even(x), want) << x;
  // A blur reaches exactly its halo past a single lit cell.
  for (double radius : {1.0, 1.2, 4.0, 6.0, 18.0}) {
    Layer dot = layer_make(100, 100, 1, 1);
    dot.value[0] = 1;
    const Layer b = blur(dot, radius);
    const int reach = lettering_halo(radius);
    EXPECT_GT(b.at(100 + reach, 100), 0) << radius;
    EXPECT_EQ(b.at(100 + reach + 1, 100), 0) << radius;
    double sum = 0;
    for (double v : b.value) sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-12) << radius;
  }
}

TEST(KitLettering, FitShrinksThenBreaksThenMovesInside) {
  Typeface& bold = base().bold;
  const Box box{0, 0, 200, 60};
  int tries = 0;
  auto one = [&](double size) {
    ++tries;
    return Items{text_item(bold, "ABCDEFGHIJ", {size, 0, 1}, {TextPlace::Anchor::kLeft, 0, 40}, 0)};
  };
  const auto fitted = lettering_fit(box, {{one, 60, 10}});
  ASSERT_TRUE(fitted);
  EXPECT_LE((*fitted)[0].mask.x + (*fitted)[0].mask.width, 200);
  EXPECT_LT(tries, 10);  // shrinks by how much it is too large, not 3% a try
  // Placed past the box's (and the picture's) left edge but small enough:
  // moved whole, not shrunk and not cut.
  auto left = [&](double size) {
    return Items{text_item(bold, "J", {size, 0, 1}, {TextPlace::Anchor::kLeft, -5, 40}, 3)};
  };
  const auto moved = lettering_fit(box, {{left, 20, 20}});
  ASSERT_TRUE(moved);
  EXPECT_EQ((*moved)[0].mask.x, 3);
  EXPECT_EQ((*moved)[0].mask.value, text_mask(bold, "J", {20, 0, 1}).mask.value);
  EXPECT_FALSE(lettering_fit(Box{0, 0, 10, 10}, {{one, 20, 15}}));
  const auto split = split_words("AB CDEFG HI");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->first, "AB");  // of two equal splits, the first
  EXPECT_EQ(split->second, "CDEFG HI");
  EXPECT_FALSE(split_words("ONEWORD"));
}

}  // namespace
