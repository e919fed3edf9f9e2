// pictures: the four pictures that show a party's facts (logo.png,
// loading.png, panel.png, textpanel.png), lettered onto their base layers.
//
// The base layers (the party-independent art, made once by the data
// generator) and the two DejaVu faces come from a kit::Files; each picture's
// lettering is fitted into its boxes (smaller type, two lines for a name with
// a space), never clipped, and drawn with its glow, outline, bevel and
// chrome or gold fill. The menu and page panels share a header band (name,
// edition, dates and place).
//
// An organiser may bring a logo.png (640 x 480, or any 4:3 size, which is
// scaled) and a loading.png (exactly 640 x 480), PNG or JPEG; they replace
// the lettered pictures, and their lettering is then neither drawn nor
// checked.
//
// Lettering that does not fit even at its smallest type, and an organiser's
// picture that cannot be used, is a PictureProblem naming the fact or file
// and what to do; the picture it concerns is then not made.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/lettering.h"
#include "resources/memdecode.h"

namespace kit {

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

// The facts as the pictures letter them: upper-cased UTF-8, each may be
// empty.
struct LetteredFacts {
  std::string title;  // the chrome part of the name
  // The gold part: the name's last word when it is a number, else the
  // year; gold_from_name says which (problems then name the name).
  std::string gold;
  bool gold_from_name = false;
  std::string edition;
  std::string edition_spaced;  // letters set apart: "A B   C D"
  // The header's date line with 3, 2 and 1 parts: "DATES YEAR  /  TOWN  /
  // COUNTRY", then without the country, then without the town.
  std::array<std::string, 3> header_lines;
  std::string short_dates;
  std::string town;
  std::string country;
};

// What the pictures are made from: "fonts/DejaVuSans.ttf",
// "fonts/DejaVuSans-Bold.ttf" and "layers/NAME" for each picture name (640
// x 480). Its faces keep FreeType's state: a KitBase serves one call at a
// time.
struct KitBase {
  Typeface sans;
  Typeface bold;
  std::map<std::string, MemPicture> layers;  // by picture name
};
// False and a message naming the file when one is missing or unreadable.
bool kit_base_load(const Files& files, KitBase& base, std::string& error);

// Why an own picture of width x height cannot be used, "" when it can: it is
// 640 x 480, or, for the logo (scaled), any size of that 4:3 shape.
std::string picture_size_problem(bool logo, int64_t width, int64_t height);

// key: the fact ("name", "edition", "year", "dates", "town", "country") or
// the organiser's file ("logo.png", "loading.png").
struct PictureProblem {
  std::string key;
  std::string message;
};

// The organiser's own pictures, by name ("logo.png", "loading.png").
using OwnPictures = std::map<std::string, Bytes>;

struct PicturesMade {
  Files pictures;  // picture name -> PNG bytes
  std::vector<PictureProblem> problems;
};

extern const std::array<const char*, 4> kLetteredPictures;

// Makes the pictures named (any of kLetteredPictures; others are ignored).
PicturesMade pictures_make(KitBase& base, const LetteredFacts& facts,
                           const std::vector<std::string>& names, const OwnPictures& own = {});

// Only fits the lettering of every picture and checks the organiser's own
// pictures: the problems pictures_make would report, without drawing.
std::vector<PictureProblem> pictures_check(KitBase& base, const LetteredFacts& facts,
                                           const OwnPictures& own = {});

// Every lettering of the four pictures as fitted, with the box it keeps
// within ("header" for the panels' shared header band), for a preview or a
// check of the layout; problems as pictures_check reports them.
struct LetteringBox {
  std::string picture;
  std::string key;  // the fact lettered
  Box box;
  Items items;
};
std::vector<LetteringBox> pictures_lettering(KitBase& base, const LetteredFacts& facts,
                                             std::vector<PictureProblem>& problems);

}  // namespace kit
