// pictures: the lettered pictures of a party (see pictures.h).
#include "kit/pictures.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "resources/pngwrite.h"
#include "velmora_layout.h"

namespace kit {

const std::array<const char*, 4> kLetteredPictures = {"logo.png", "loading.png", "panel.png",
                                                      "textpanel.png"};

namespace {

constexpr char kSansFile[] = "fonts/DejaVuSans.ttf";
constexpr char kBoldFile[] = "fonts/DejaVuSans-Bold.ttf";
constexpr char kLayersFolder[] = "layers/";
constexpr char kLogo[] = "logo.png";
constexpr char kLoading[] = "loading.png";
constexpr char kPanel[] = "panel.png";
constexpr char kTextPanel[] = "textpanel.png";
constexpr double kCentreX = kPictureWidth / 2.0;

constexpr Box box_of(const layout::Rect& r) { return Box{r.x0, r.y0, r.x1, r.y1}; }

// Where each lettering may reach, glow included (x1 and y1 exclusive). The
// header band's boxes hold on both panels.
constexpr Box kHeaderTitleBox = box_of(layout::kHeaderTitleBox);
constexpr Box kHeaderEditionBox = box_of(layout::kHeaderEditionBox);
constexpr Box kHeaderDatesBox = box_of(layout::kHeaderDatesBox);
constexpr Box kLogoTitleBox = box_of(layout::kLogoTitleBox);
constexpr Box kLogoYearBox = box_of(layout::kLogoYearBox);
constexpr Box kLogoEditionBox = box_of(layout::kLogoEditionBox);
constexpr Box kLoadingTitleBox = box_of(layout::kLoadingTitleBox);
constexpr Box kLoadingYearBox = box_of(layout::kLoadingYearBox);
constexpr Box kPanelTitleBox = box_of(layout::kPanelTitleBox);
constexpr Box kPanelDatesBox = box_of(layout::kPanelDatesBox);
constexpr Box kPanelTownBox = box_of(layout::kPanelTownBox);
constexpr Box kPanelCountryBox = box_of(layout::kPanelCountryBox);
constexpr Box kPageDatesBox = box_of(layout::kTextpanelDatesBox);
constexpr Box kPageTownBox = box_of(layout::kTextpanelTownBox);
constexpr Box kPageCountryBox = box_of(layout::kTextpanelCountryBox);

const Ramp kChrome = {{0.00, {150, 190, 250}}, {0.30, {226, 238, 255}}, {0.47, {255, 255, 255}},
                      {0.50, {92, 104, 150}},  {0.53, {38, 34, 66}},    {0.68, {112, 78, 62}},
                      {0.86, {228, 176, 104}}, {1.00, {255, 236, 184}}};
const Ramp kGold = {{0.0, {255, 246, 200}},
                    {0.35, {255, 210, 110}},
                    {0.55, {236, 150, 46}},
                    {0.75, {170, 86, 30}},
                    {1.0, {250, 190, 90}}};

// The logo's glints sit on its lettering: (x, y, size) from the top left
// of the ink box, in pixels for ink boxes of the reference sizes (the
// logo's own "VELMORA" and "2000"), scaled with the box of the party's
// lettering.
struct Glint {
  double x, y, size;
};
constexpr Glint kTitleGlints[] = {{107, -12, 26}, {385, 44, 20}};
constexpr double kTitleGlintRefW = 518, kTitleGlintRefH = 63;
constexpr Glint kYearGlints[] = {{137, 0, 16}};
constexpr double kYearGlintRefW = 210, kYearGlintRefH = 43;
constexpr double kGlintStrength = 0.9;

using Anchor = TextPlace::Anchor;

// One lettering job: the faces, the facts and the problems found.
struct Job {
  KitBase& base;
  const LetteredFacts& facts;
  std::vector<PictureProblem>& problems;
  // When set, every fitted lettering is recorded with its box.
  std::vector<LetteringBox>* record = nullptr;
  std::string picture;
};

std::string too_long(const std::string& what, const std::string& where, const std::string& todo) {
  return what + " too long for " + where + " even in the smallest type; " + todo;
}

void add_problem(Job& job, const std::string& key, const std::string& message) {
  for (const PictureProblem& p : job.problems)
    if (p.key == key && p.message == message) return;
  job.problems.push_back({key, message});
}

void record(Job& job, const std::string& key, const Box& box, const Items& items) {
  if (job.record) job.record->push_back({job.picture, key, box, items});
}

// The problem of the fact key that does not fit where, even in the smallest
// type. may_break: the lettering has a two-line layout for a name with a
// space.
void report_unfit(Job& job, const std::string& key, const std::string& where, bool may_break) {
  const bool one_word = job.facts.title.find(' ') == std::string::npos;
  if (key == "name" && may_break && one_word)
    add_problem(job, key,
                too_long("the name is", where,
                         "shorten it, or put a space where it may break into two lines"));
  else if (key == "name")
    add_problem(job, key, too_long("the name is", where, "shorten it"));
  else if (key == "year")
    add_problem(job, key, too_long("the year is", where, "give it as four digits with year:"));
  else if (key == "dates")
    add_problem(job, key,
                too_long("the dates are", where, "give a shorter form with short_dates:"));
  else
    add_problem(job, key,
                too_long("the " + key + " is", where, "give a shorter one with " + key + ":"));
}

// The fitted items, or a problem for the fact key.
std::optional<Items> fit(Job& job, const Box& box, const std::vector<Layout>& layouts,
                         const std::string& key, const std::string& where, bool may_break = false) {
  std::optional<Items> items = lettering_fit(box, layouts);
  if (items)
    record(job, key, box, *items);
  else
    report_unfit(job, key, where, may_break);
  return items;
}

// ---------------------------------------------------------------- styles

enum class Face { kSans, kBold };

// A line of lettering: its face, its largest and its usual smallest type
// size (em in pixels), the tracking between its letters (grown with the
// size from the largest one when scaled), the widening of its letters,
// where it goes, and the blur radii of its glow and outline, which make its
// halo.
struct LineStyle {
  Face face;
  double size;
  double smallest;
  double tracking;
  bool tracking_scales;
  double stretch;
  Anchor anchor;
  double x;
  double baseline;
  double glow;
  double outline;
};

// A name's layouts after one line from its size down to its usual
// smallest: two lines (two_lines down to two_lines_smallest) when it has a
// space, then one line again down to legible. At legible, 24 of the widest
// capitals (Œ) still fit the box, so every name of up to 24 letters fits.
struct TitleSizes {
  double two_lines;
  double two_lines_smallest;
  double legible;
};

constexpr double kMinSmall = 7;
// A second line's baseline sits this many sizes below the first's.
constexpr double kLineSpacing = 1.1;

constexpr LineStyle kHeaderEdition{Face::kSans,    10.5, kMinSmall, 2.5, false, 1.0,
                                   Anchor::kRight, 622,  22,        0,   0};
// The date line: dates and year, town, country; the line of the dates and
// year alone shrinks further.
constexpr LineStyle kHeaderDates{Face::kSans,    9,   7.5, 1.2, false, 1.0,
                                 Anchor::kRight, 622, 36,  0,   0};
constexpr double kHeaderDatesAloneSmallest = kMinSmall;
// The header's title: its legible size is its smallest; there the gold
// number is left out when the name needs the room (the edition and date
// boxes start at x 300, so 24 of the widest capitals fit).
constexpr LineStyle kHeaderTitle{Face::kBold, 24, 7, 3, true, 1.2, Anchor::kLeft, 18, 34, 6, 1.2};
constexpr LineStyle kHeaderGold{Face::kBold, 24, 7, 2, true, 1.1, Anchor::kLeft, 0, 34, 6, 1.2};
constexpr double kHeaderGoldGap = 8;  // after the title, at the largest size
constexpr int kHeaderTitleGap = 12;   // before the edition or date line
constexpr LineStyle kLogoTitle{Face::kBold,     80,       56,  4,  true, 1.12,
                               Anchor::kCentre, kCentreX, 200, 18, 3.0};
constexpr TitleSizes kLogoTitleSizes{56, 30, 16};
// The gold part (the year, or a number ending the name) shrinks on to the
// title's legible size; its tracking scales so a long number fits too.
constexpr LineStyle kLogoYear{Face::kBold,     54,       30,  14, true, 1.15,
                              Anchor::kCentre, kCentreX, 282, 14, 2.5};
constexpr double kLogoYearLegible = 16;
// The edition with its letters set apart, or else as written.
constexpr LineStyle kLogoEdition{Face::kSans,     13,       8,   1.5, false, 1.0,
                                 Anchor::kCentre, kCentreX, 318, 4,   0};
constexpr double kLogoEditionPlainSmallest = kMinSmall;
constexpr LineStyle kLoadingTitle{Face::kBold,     34,       22,  3,  true, 1.15,
                                  Anchor::kCentre, kCentreX, 184, 10, 1.6};
constexpr TitleSizes kLoadingTitleSizes{24, 14, 15};
constexpr LineStyle kLoadingYear{Face::kBold,     16,       kMinSmall, 6, false, 1.1,
                                 Anchor::kCentre, kCentreX, 207,       0, 1.0};
constexpr LineStyle kPanelTitle{Face::kBold,     44,       9,   3,  true, 1.15,
                                Anchor::kCentre, kCentreX, 112, 12, 2.0};
constexpr LineStyle kPanelDates{Face::kBold,   20, 11,  1.5, false, 1.0,
                                Anchor::kLeft, 40, 318, 6,   1.0};
constexpr LineStyle kPanelTown{Face::kBold, 15, 9, 3, false, 1.0, Anchor::kLeft, 41, 342, 0, 0};
constexpr LineStyle kPanelCountry{Face::kSans,   12, kMinSmall, 4, false, 1.0,
                                  Anchor::kLeft, 41, 362,       0, 0};
// The page panel's column: dates, town and country a row apart.
constexpr LineStyle kPageLine{Face::kSans,     11,  kMinSmall, 3, false, 1.0,
                              Anchor::kCentre, 555, 186,       0, 0};
constexpr double kPageRowStep = 20;

// How a line is drawn: its fill and the rows the fill spans (from the top
// and bottom of the ink box), its glow's colour and strength, its bevel
// and how much light the bevel catches. The glow and outline radii are the
// line's own (LineStyle).
struct Look {
  const Ramp* fill;
  double fill_top;
  double fill_bottom;
  Rgb glow_colour;
  double glow_amount;
  double bevel_radius;
  double shine;
};

const Look kHeaderChromeLook{&kChrome, 0, 0, {40, 40, 120}, 0.6, 1.2, 0.55};
const Look kHeaderGoldLook{&kGold, 0, 0, {120, 50, 10}, 0.5, 1.2, 0.55};
const Look kLogoTitleLook{&kChrome, 8, -6, {70, 60, 190}, 0.85, 3.0, 0.6};
const Look kLogoYearLook{&kGold, 4, -4, {170, 70, 10}, 0.7, 2.2, 0.55};
const Look kLoadingTitleLook{&kChrome, 4, -3, {60, 50, 170}, 0.7, 1.6, 0.55};
const Look kLoadingYearLook{&kGold, 2, -2, {0, 0, 0}, 0, 1.0, 0.55};
const Look kPanelTitleLook{&kChrome, 5, -4, {70, 60, 190}, 0.75, 2.0, 0.55};
const Look kPanelDatesLook{&kGold, 0, -3, {120, 50, 10}, 0.5, 1.0, 0.55};

// Plain lettering: its colour added in the given amount.
struct Ink {
  Rgb colour;
  double amount;
};

constexpr Ink kHeaderEditionInk{{150, 196, 255}, 0.95};
constexpr Ink kHeaderDatesInk{{210, 170, 110}, 0.9};
constexpr Ink kLogoEditionInk{{170, 220, 255}, 1.0};
// The logo's edition has a soft glow of its own.
constexpr Ink kLogoEditionGlowInk{{140, 100, 255}, 0.5};
constexpr double kLogoEditionGlowGain = 2.0;
constexpr Ink kPanelTownInk{{170, 215, 255}, 1.0};
constexpr Ink kPanelCountryInk{{140, 150, 200}, 0.9};
constexpr Ink kPageDatesInk{{255, 210, 130}, 0.9};
constexpr Ink kPageTownInk{{170, 215, 255}, 0.9};
constexpr Ink kPageCountryInk{{140, 150, 200}, 0.9};

// ---------------------------------------------------------------- lines

Typeface& face_of(Job& job, Face face) {
  return face == Face::kBold ? job.base.bold : job.base.sans;
}

TextPlace place_of(const LineStyle& line_style) {
  return TextPlace{line_style.anchor, line_style.x, line_style.baseline};
}

Item line_item(Job& job, const LineStyle& line_style, const std::string& text, double size,
               const TextPlace& place) {
  const double tracking = line_style.tracking_scales ? line_style.tracking * size / line_style.size
                                                     : line_style.tracking;
  const int halo = std::max(lettering_halo(line_style.glow), lettering_halo(line_style.outline));
  return text_item(face_of(job, line_style.face), text,
                   TextStyle{size, tracking, line_style.stretch}, place, halo);
}

// The line at its own place, tried from largest down to smallest.
Layout one_line(Job& job, const LineStyle& line_style, const std::string& text, double largest,
                double smallest, TextPlace place) {
  return Layout{[&job, &line_style, text, place](double size) {
                  return Items{line_item(job, line_style, text, size, place)};
                },
                largest, smallest};
}

Layout one_line(Job& job, const LineStyle& line_style, const std::string& text) {
  return one_line(job, line_style, text, line_style.size, line_style.smallest,
                  place_of(line_style));
}

// A centred name: one line, then two lines when it has a space, then one
// line again down to its legible size (TitleSizes). Row 0 is the line on
// the baseline, row -1 the one above.
std::vector<Layout> title_layouts(Job& job, const LineStyle& line_style, const TitleSizes& sizes,
                                  const std::string& title) {
  auto line = [&job, &line_style](const std::string& text, double size, int row) {
    const double y = line_style.baseline + row * round_half_even(size * kLineSpacing);
    return line_item(job, line_style, text, size, TextPlace{line_style.anchor, line_style.x, y});
  };
  auto one = [line, title](double size) { return Items{line(title, size, 0)}; };
  std::vector<Layout> layouts{{one, line_style.size, line_style.smallest}};
  if (const auto split = split_words(title)) {
    layouts.push_back({[line, top = split->first, bottom = split->second](double size) {
                         return Items{line(top, size, -1), line(bottom, size, 0)};
                       },
                       sizes.two_lines, sizes.two_lines_smallest});
  }
  layouts.push_back({one, line_style.smallest, sizes.legible});
  return layouts;
}

// ---------------------------------------------------------------- layouts

struct HeaderLettering {
  Items title;  // chrome, then gold
  Items edition;
  Items dates;
};

// The header's title in the room left of x = left, chrome then gold; the
// gold number is left out when only that makes the name fit.
std::optional<Items> header_title(Job& job, int left, Box& box) {
  const LetteredFacts& f = job.facts;
  box = Box{kHeaderTitleBox.x0, kHeaderTitleBox.y0, left - kHeaderTitleGap, kHeaderTitleBox.y1};
  auto place = [&job, &f](double size, bool with_gold) {
    Items items{line_item(job, kHeaderTitle, f.title, size, place_of(kHeaderTitle))};
    if (with_gold && !f.gold.empty()) {
      const Layer& c = items[0].mask;
      const double x = c.x + c.width + kHeaderGoldGap * size / kHeaderTitle.size;
      items.push_back(
          line_item(job, kHeaderGold, f.gold, size, {Anchor::kLeft, x, kHeaderGold.baseline}));
    }
    return items;
  };
  return lettering_fit(box, {{[place](double size) { return place(size, true); }, kHeaderTitle.size,
                              kHeaderTitle.smallest},
                             {[place](double size) { return place(size, false); },
                              kHeaderTitle.smallest, kHeaderTitle.smallest}});
}

// The header band's lettering: the edition and the date line (which leaves
// out the country, then the town, rather than shrink below a readable
// size), then the title in the room they leave.
std::optional<HeaderLettering> header_layout(Job& job) {
  const std::string where = "the menu's header";
  const LetteredFacts& f = job.facts;
  auto edition =
      fit(job, kHeaderEditionBox, {one_line(job, kHeaderEdition, f.edition)}, "edition", where);
  std::vector<Layout> date_layouts;
  for (size_t n = 0; n < f.header_lines.size(); ++n) {
    const bool alone = n + 1 == f.header_lines.size();
    date_layouts.push_back(one_line(job, kHeaderDates, f.header_lines[n], kHeaderDates.size,
                                    alone ? kHeaderDatesAloneSmallest : kHeaderDates.smallest,
                                    place_of(kHeaderDates)));
  }
  auto dates = fit(job, kHeaderDatesBox, date_layouts, "dates", where);
  if (!edition || !dates) return std::nullopt;

  int left = kHeaderTitleBox.x1;
  for (const Items* items : {&*edition, &*dates})
    for (const Item& it : *items) left = std::min(left, it.mask.x);
  Box box;
  auto title = header_title(job, left, box);
  if (title)
    record(job, "name", box, *title);
  else
    report_unfit(job, "name", where, false);
  if (!title) return std::nullopt;
  return HeaderLettering{std::move(*title), std::move(*edition), std::move(*dates)};
}

// The gold part's fact: the name when it is the name's last word.
const char* gold_key(const LetteredFacts& f) { return f.gold_from_name ? "name" : "year"; }

struct LogoLettering {
  Items title;
  Items year;
  Items edition;
};

std::optional<LogoLettering> logo_layout(Job& job) {
  const std::string where = "the logo";
  const LetteredFacts& f = job.facts;
  auto title = fit(job, kLogoTitleBox, title_layouts(job, kLogoTitle, kLogoTitleSizes, f.title),
                   "name", where, true);
  std::optional<Items> year = Items{};
  if (!f.gold.empty()) {
    year =
        fit(job, kLogoYearBox,
            {one_line(job, kLogoYear, f.gold), one_line(job, kLogoYear, f.gold, kLogoYear.smallest,
                                                        kLogoYearLegible, place_of(kLogoYear))},
            gold_key(f), where);
  }
  auto edition = fit(job, kLogoEditionBox,
                     {one_line(job, kLogoEdition, f.edition_spaced),
                      one_line(job, kLogoEdition, f.edition, kLogoEdition.size,
                               kLogoEditionPlainSmallest, place_of(kLogoEdition))},
                     "edition", where);
  if (!title || !year || !edition) return std::nullopt;
  return LogoLettering{std::move(*title), std::move(*year), std::move(*edition)};
}

struct LoadingLettering {
  Items title;
  Items year;
};

std::optional<LoadingLettering> loading_layout(Job& job) {
  const std::string where = "the loading screen";
  const LetteredFacts& f = job.facts;
  auto title =
      fit(job, kLoadingTitleBox, title_layouts(job, kLoadingTitle, kLoadingTitleSizes, f.title),
          "name", where, true);
  std::optional<Items> year = Items{};
  if (!f.gold.empty())
    year = fit(job, kLoadingYearBox, {one_line(job, kLoadingYear, f.gold)}, gold_key(f), where);
  if (!title || !year) return std::nullopt;
  return LoadingLettering{std::move(*title), std::move(*year)};
}

// The menu's chrome title and its block of dates, town and country; an
// empty fact is left out.
struct PanelLettering {
  Items title;
  std::optional<Items> dates, town, country;
};

std::optional<PanelLettering> panel_layout(Job& job) {
  const std::string where = "the menu";
  const LetteredFacts& f = job.facts;
  PanelLettering out;
  auto title = fit(job, kPanelTitleBox, {one_line(job, kPanelTitle, f.title)}, "name", where);
  bool ok = title.has_value();
  if (title) out.title = std::move(*title);
  struct Line {
    const std::string& text;
    std::optional<Items>& items;
    const Box& box;
    const LineStyle& line_style;
    const char* key;
  };
  const Line lines[] = {{f.short_dates, out.dates, kPanelDatesBox, kPanelDates, "dates"},
                        {f.town, out.town, kPanelTownBox, kPanelTown, "town"},
                        {f.country, out.country, kPanelCountryBox, kPanelCountry, "country"}};
  for (const Line& l : lines) {
    if (l.text.empty()) continue;
    l.items = fit(job, l.box, {one_line(job, l.line_style, l.text)}, l.key, where);
    ok = ok && l.items.has_value();
  }
  if (!ok) return std::nullopt;
  return out;
}

// The page panel's right column: dates, town and country with their inks;
// an empty fact leaves its row empty.
struct PageLine {
  Items items;
  Ink ink;
};

std::optional<std::vector<PageLine>> textpanel_layout(Job& job) {
  const LetteredFacts& f = job.facts;
  struct Row {
    const std::string& text;
    const Box& box;
    const char* key;
    Ink ink;
  };
  const Row rows[] = {{f.short_dates, kPageDatesBox, "dates", kPageDatesInk},
                      {f.town, kPageTownBox, "town", kPageTownInk},
                      {f.country, kPageCountryBox, "country", kPageCountryInk}};
  std::vector<PageLine> out;
  bool ok = true;
  for (size_t i = 0; i < std::size(rows); ++i) {
    if (rows[i].text.empty()) continue;
    TextPlace at = place_of(kPageLine);
    at.baseline += kPageRowStep * static_cast<double>(i);
    auto items =
        fit(job, rows[i].box,
            {one_line(job, kPageLine, rows[i].text, kPageLine.size, kPageLine.smallest, at)},
            rows[i].key, "the page panel");
    if (items) out.push_back({std::move(*items), rows[i].ink});
    ok = ok && items.has_value();
  }
  if (!ok) return std::nullopt;
  return out;
}

// ---------------------------------------------------------------- drawing

// Lettering with the line's glow and outline and the look's fill, the fill
// spanning the rows top to bottom.
void letter(Canvas& canvas, const Layer& mask, const LineStyle& line_style, const Look& look,
            double top, double bottom) {
  LetteringStyle style;
  style.fill = *look.fill;
  style.fill_top = top;
  style.fill_bottom = bottom;
  style.outline_px = line_style.outline;
  style.glow = line_style.glow > 0;
  style.glow_colour = look.glow_colour;
  style.glow_radius = line_style.glow;
  style.glow_amount = look.glow_amount;
  style.bevel_radius = look.bevel_radius;
  style.shine = look.shine;
  canvas_lettering(canvas, mask, style);
}

// The same, the fill spanning the ink box as the look says.
void letter(Canvas& canvas, const Layer& mask, const LineStyle& line_style, const Look& look) {
  letter(canvas, mask, line_style, look, mask.y + look.fill_top,
         mask.y + mask.height + look.fill_bottom);
}

void ink(Canvas& canvas, const Layer& mask, const Ink& ink) {
  canvas_add(canvas, ink.colour, mask, ink.amount);
}

void draw_header(Canvas& canvas, const HeaderLettering& h) {
  // Chrome and gold share the rows of the chrome's ink box.
  const Layer& first = h.title[0].mask;
  const double top = first.y, bottom = first.y + first.height;
  letter(canvas, first, kHeaderTitle, kHeaderChromeLook, top, bottom);
  for (size_t i = 1; i < h.title.size(); ++i)
    letter(canvas, h.title[i].mask, kHeaderGold, kHeaderGoldLook, top, bottom);
  ink(canvas, h.edition[0].mask, kHeaderEditionInk);
  ink(canvas, h.dates[0].mask, kHeaderDatesInk);
}

void glints(Canvas& canvas, const Layer& box, const Glint* begin, const Glint* end, double ref_w,
            double ref_h) {
  const double sx = box.width / ref_w, sy = box.height / ref_h;
  for (const Glint* g = begin; g != end; ++g)
    canvas_glint(canvas, box.x + g->x * sx, box.y + g->y * sy, g->size * sy, kGlintStrength);
}

void draw_logo(Canvas& canvas, const LogoLettering& l) {
  for (const Item& it : l.title) letter(canvas, it.mask, kLogoTitle, kLogoTitleLook);
  for (const Item& it : l.year) letter(canvas, it.mask, kLogoYear, kLogoYearLook);
  const Layer& edition = l.edition[0].mask;
  canvas_glow(canvas, kLogoEditionGlowInk.colour, edition, kLogoEdition.glow, kLogoEditionGlowGain,
              kLogoEditionGlowInk.amount);
  ink(canvas, edition, kLogoEditionInk);
  glints(canvas, l.title[0].mask, std::begin(kTitleGlints), std::end(kTitleGlints), kTitleGlintRefW,
         kTitleGlintRefH);
  if (!l.year.empty())
    glints(canvas, l.year[0].mask, std::begin(kYearGlints), std::end(kYearGlints), kYearGlintRefW,
           kYearGlintRefH);
}

void draw_loading(Canvas& canvas, const LoadingLettering& l) {
  for (const Item& it : l.title) letter(canvas, it.mask, kLoadingTitle, kLoadingTitleLook);
  for (const Item& it : l.year) letter(canvas, it.mask, kLoadingYear, kLoadingYearLook);
}

void draw_panel(Canvas& canvas, const PanelLettering& p) {
  letter(canvas, p.title[0].mask, kPanelTitle, kPanelTitleLook);
  if (p.dates) letter(canvas, (*p.dates)[0].mask, kPanelDates, kPanelDatesLook);
  if (p.town) ink(canvas, (*p.town)[0].mask, kPanelTownInk);
  if (p.country) ink(canvas, (*p.country)[0].mask, kPanelCountryInk);
}

void draw_textpanel(Canvas& canvas, const std::vector<PageLine>& lines) {
  for (const PageLine& l : lines) ink(canvas, l.items[0].mask, l.ink);
}

// ---------------------------------------------------------------- pictures

// The organiser's picture as 640 x 480 RGB bytes, or a problem.
std::optional<std::vector<uint8_t>> own_picture(const std::string& name, const Bytes& bytes,
                                                std::vector<PictureProblem>& problems) {
  MemPicture pic;
  std::string error;
  if (!memdecode_rgb(bytes.data(), bytes.size(), pic, error)) {
    problems.push_back({name, "cannot be read: " + error + "; save it as PNG"});
    return std::nullopt;
  }
  const std::string why = picture_size_problem(name == kLogo, pic.width, pic.height);
  if (!why.empty()) {
    problems.push_back({name, why});
    return std::nullopt;
  }
  if (pic.width == kPictureWidth && pic.height == kPictureHeight) return std::move(pic.rgb);
  return resample_rgb(pic.rgb, pic.width, pic.height, kPictureWidth, kPictureHeight);
}

bool wanted(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Lays out (and, when draw, letters) one picture onto a copy of its base
// layer; nothing when its lettering does not fit.
std::optional<std::vector<uint8_t>> lettered(
    Job& job, const std::string& name, bool draw,
    std::optional<std::optional<HeaderLettering>>& header) {
  const bool panel = name == kPanel || name == kTextPanel;
  if (panel && !header) {
    job.picture = "header";
    header = header_layout(job);
  }
  job.picture = name;
  const MemPicture& layer = job.base.layers.at(name);
  Canvas canvas;
  if (draw) canvas = canvas_from_bytes(layer.rgb.data(), layer.width, layer.height);
  bool ok = true;
  if (name == kLogo) {
    const auto l = logo_layout(job);
    if (l && draw) draw_logo(canvas, *l);
    ok = l.has_value();
  } else if (name == kLoading) {
    const auto l = loading_layout(job);
    if (l && draw) draw_loading(canvas, *l);
    ok = l.has_value();
  } else if (name == kPanel) {
    const auto l = panel_layout(job);
    if (l && draw) draw_panel(canvas, *l);
    ok = l.has_value();
  } else {
    const auto l = textpanel_layout(job);
    if (l && draw) draw_textpanel(canvas, *l);
    ok = l.has_value();
  }
  if (panel && *header && draw) draw_header(canvas, **header);
  if (!ok || (panel && !*header)) return std::nullopt;
  return draw ? canvas_bytes(canvas) : std::vector<uint8_t>{};
}

PicturesMade run(KitBase& base, const LetteredFacts& facts, const std::vector<std::string>& names,
                 const OwnPictures& own, bool draw, std::vector<LetteringBox>* record = nullptr) {
  PicturesMade made;
  Job job{base, facts, made.problems, record, ""};
  std::optional<std::optional<HeaderLettering>> header;
  for (const char* name : kLetteredPictures) {
    if (!wanted(names, name)) continue;
    const auto mine = own.find(name);
    const std::optional<std::vector<uint8_t>> rgb =
        mine != own.end() ? own_picture(name, mine->second, made.problems)
                          : lettered(job, name, draw, header);
    if (!rgb || !draw) continue;
    std::string error;
    if (!png_encode_rgb(rgb->data(), kPictureWidth, kPictureHeight, made.pictures[name], error)) {
      made.pictures.erase(name);
      made.problems.push_back({name, error});
    }
  }
  return made;
}

bool read_face(const Files& files, const char* path, Typeface& face, std::string& error) {
  const auto it = files.find(path);
  if (it == files.end()) {
    error = std::string(path) + ": missing";
    return false;
  }
  if (face.load(it->second, error)) return true;
  error = std::string(path) + ": " + error;
  return false;
}

}  // namespace

std::string picture_size_problem(bool logo, int64_t width, int64_t height) {
  if (width == kPictureWidth && height == kPictureHeight) return "";
  if (logo && width * kPictureHeight == height * kPictureWidth) return "";
  const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels; ";
  if (logo) return size + "make it 640 x 480 pixels, or any size of the same 4:3 shape (it is scaled)";
  return size + "make it exactly 640 x 480 pixels (the program draws the loading bar at fixed pixels)";
}

bool kit_base_load(const Files& files, KitBase& base, std::string& error) {
  if (!read_face(files, kSansFile, base.sans, error) ||
      !read_face(files, kBoldFile, base.bold, error))
    return false;
  for (const char* name : kLetteredPictures) {
    const std::string path = std::string(kLayersFolder) + name;
    const auto it = files.find(path);
    if (it == files.end()) {
      error = path + ": missing";
      return false;
    }
    MemPicture& pic = base.layers[name];
    if (!memdecode_rgb(it->second.data(), it->second.size(), pic, error)) {
      error = path + ": " + error;
      return false;
    }
    if (pic.width != kPictureWidth || pic.height != kPictureHeight) {
      error = path + ": not 640 x 480 pixels";
      return false;
    }
  }
  return true;
}

PicturesMade pictures_make(KitBase& base, const LetteredFacts& facts,
                           const std::vector<std::string>& names, const OwnPictures& own) {
  return run(base, facts, names, own, true);
}

std::vector<PictureProblem> pictures_check(KitBase& base, const LetteredFacts& facts,
                                           const OwnPictures& own) {
  const std::vector<std::string> all(kLetteredPictures.begin(), kLetteredPictures.end());
  return run(base, facts, all, own, false).problems;
}

std::vector<LetteringBox> pictures_lettering(KitBase& base, const LetteredFacts& facts,
                                             std::vector<PictureProblem>& problems) {
  const std::vector<std::string> all(kLetteredPictures.begin(), kLetteredPictures.end());
  std::vector<LetteringBox> boxes;
  problems = run(base, facts, all, {}, false, &boxes).problems;
  return boxes;
}

}  // namespace kit
