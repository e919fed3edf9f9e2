// lettering: lines of text as coverage layers, fitted into boxes (see
// lettering.h).
#include "kit/lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_DRIVER_H
#include FT_MODULE_H

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace kit {

namespace {

// Room left round the line on the large drawing, in large pixels.
constexpr int kPad = 4 * kSupersample;
// Coverage (in 255ths) from which a cell counts as ink when cropping.
constexpr int kInkLevel = 2;
constexpr uint32_t kReplacement = 0xFFFD;
// Advances are kept as 26.6 fixed point, rounded from FreeType's 16.16.
constexpr int kTo26 = 10;
constexpr FT_Fixed kHalf26 = 1 << (kTo26 - 1);
constexpr double kFixed6 = 64.0;
// Widening: a Lanczos filter of three lobes, weights with 22 fraction bits.
constexpr double kLanczosLobes = 3.0;
constexpr int kFixedBits = 22;
constexpr double kPi = 3.14159265358979323846;
constexpr int kSinTerms = 10;

std::vector<uint32_t> codepoints(const std::string& text) {
  std::vector<uint32_t> out;
  size_t i = 0;
  while (i < text.size() && out.size() < kLineMaxCodepoints) {
    const auto b = static_cast<uint8_t>(text[i]);
    const int extra = b < 0x80         ? 0
                      : (b >> 5) == 6  ? 1
                      : (b >> 4) == 14 ? 2
                      : (b >> 3) == 30 ? 3
                                       : -1;
    uint32_t cp = extra == 0   ? b
                  : extra == 1 ? (b & 0x1Fu)
                  : extra == 2 ? (b & 0x0Fu)
                               : (b & 0x07u);
    bool ok = extra >= 0 && i + extra < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const auto c = static_cast<uint8_t>(text[i + k]);
      ok = (c >> 6) == 2;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    out.push_back(ok ? cp : kReplacement);
    i += ok ? extra + 1 : 1;
  }
  return out;
}

// FreeType's 26.6 metrics rounded up to whole pixels.
int ceil_pixels(FT_Pos v) { return static_cast<int>((v + 63) >> 6); }

}  // namespace

struct Typeface::State {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  Bytes bytes;
};

Typeface::Typeface() : state_(std::make_unique<State>()) {}

Typeface::~Typeface() {
  if (state_->face) FT_Done_Face(state_->face);
  if (state_->library) FT_Done_FreeType(state_->library);
}

bool Typeface::load(const Bytes& bytes, std::string& error) {
  if (state_->face || state_->library) {
    error = "typeface loaded twice";
    return false;
  }
  state_->bytes = bytes;
  if (FT_Init_FreeType(&state_->library) != 0) {
    error = "FreeType cannot start";
    return false;
  }
  // The hinting of every build is the same bytecode interpreter's, whatever
  // the library's default, so that all builds draw the same letters.
  FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
  if (FT_Property_Set(state_->library, "truetype", "interpreter-version", &interpreter) != 0) {
    error = "FreeType lacks its TrueType hinting interpreter (version 40)";
    return false;
  }
  if (FT_New_Memory_Face(state_->library, state_->bytes.data(),
                         static_cast<FT_Long>(state_->bytes.size()), 0, &state_->face) != 0) {
    state_->face = nullptr;
    error = "not a font FreeType can read";
    return false;
  }
  return true;
}

bool Typeface::loaded() const { return state_->face != nullptr; }

// Draws a line large, letter by letter, then averages it down.
struct TextRender {
  static TextMask run(Typeface& face, const std::string& text, const TextStyle& style);
};

namespace {

struct Big {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> cells;
};

// Pastes a rendered glyph with its top left at (x, y), ink over ink
// blending as coverage does.
void paste(Big& big, const FT_Bitmap& bm, int x, int y) {
  for (unsigned r = 0; r < bm.rows; ++r) {
    const int by = y + static_cast<int>(r);
    if (by < 0 || by >= big.height) continue;
    const uint8_t* row = bm.buffer + static_cast<long>(r) * bm.pitch;
    for (unsigned c = 0; c < bm.width; ++c) {
      const int bx = x + static_cast<int>(c);
      if (bx < 0 || bx >= big.width || row[c] == 0) continue;
      uint8_t& v = big.cells[static_cast<size_t>(by) * big.width + bx];
      v = v == 0 ? row[c] : static_cast<uint8_t>(v + ((255 - v) * row[c] + 127) / 255);
    }
  }
}

// Averages s x s cells into one, rounded; the large drawing's size is a
// whole multiple of s.
std::vector<uint8_t> shrink(const Big& big, int s, int w, int h) {
  std::vector<uint8_t> out(static_cast<size_t>(w) * h);
  const int n = s * s;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int sum = 0;
      for (int dy = 0; dy < s; ++dy) {
        const uint8_t* row = &big.cells[static_cast<size_t>(y * s + dy) * big.width + x * s];
        for (int dx = 0; dx < s; ++dx) sum += row[dx];
      }
      out[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((sum + n / 2) / n);
    }
  return out;
}

// sin(pi x), from a polynomial on the reduced argument.
double sin_pi(double x) {
  double r = x - 2.0 * std::floor(x / 2.0 + 0.5);  // -1 .. 1
  if (r > 0.5) r = 1.0 - r;
  if (r < -0.5) r = -1.0 - r;
  const double a = kPi * r, a2 = a * a;
  double sum = 1;
  for (int k = kSinTerms; k >= 1; --k) sum = 1 - sum * a2 / ((2.0 * k) * (2.0 * k + 1));
  return a * sum;
}

double lanczos(double x) {
  if (x <= -kLanczosLobes || x >= kLanczosLobes) return 0;
  if (x == 0) return 1;
  return sin_pi(x) * sin_pi(x / kLanczosLobes) * kLanczosLobes / (kPi * kPi * x * x);
}

// The first w columns of each row widened to wide columns with a Lanczos
// filter in fixed point, as the letters were stretched when the lettering
// was first designed; the result is out_w columns wide (zeros past wide).
Big widened(const Big& big, int w, int wide, int out_w) {
  const double scale = static_cast<double>(w) / wide;
  const double filter_scale = std::max(scale, 1.0);
  const double support = kLanczosLobes * filter_scale;
  // Each output column's first source column and fixed-point weights, n a
  // column (zeros past its own taps).
  const int n = static_cast<int>(std::ceil(support)) * 2 + 1;
  std::vector<int> first(static_cast<size_t>(wide));
  std::vector<int64_t> fixed(static_cast<size_t>(wide) * n, 0);
  for (int xx = 0; xx < wide; ++xx) {
    const double centre = (xx + 0.5) * scale;
    const int lo = std::max(static_cast<int>(centre - support + 0.5), 0);
    const int hi = std::min(static_cast<int>(centre + support + 0.5), std::min(w, lo + n));
    double weights[64] = {};
    double total = 0;
    for (int k = lo; k < hi; ++k)
      total += weights[k - lo] = lanczos((k - centre + 0.5) / filter_scale);
    first[xx] = lo;
    for (int k = 0; k < hi - lo; ++k) {
      const double f = (total != 0 ? weights[k] / total : 0) * (1 << kFixedBits);
      fixed[static_cast<size_t>(xx) * n + k] = static_cast<int64_t>(f < 0 ? f - 0.5 : f + 0.5);
    }
  }
  Big out{out_w, big.height, {}};
  out.cells.assign(static_cast<size_t>(out_w) * big.height, 0);
  std::vector<uint8_t> row(static_cast<size_t>(w + n), 0);  // padded for the last taps
  for (int y = 0; y < big.height; ++y) {
    std::copy_n(&big.cells[static_cast<size_t>(y) * big.width], w, row.begin());
    uint8_t* dst = &out.cells[static_cast<size_t>(y) * out_w];
    for (int xx = 0; xx < wide; ++xx) {
      const uint8_t* src = &row[first[xx]];
      const int64_t* k = &fixed[static_cast<size_t>(xx) * n];
      int64_t sum = int64_t{1} << (kFixedBits - 1);
      for (int t = 0; t < n; ++t) sum += src[t] * k[t];
      dst[xx] = static_cast<uint8_t>(sum <= 0 ? 0 : std::min<int64_t>(sum >> kFixedBits, 255));
    }
  }
  return out;
}

TextMask empty_mask() {
  TextMask m;
  m.mask = layer_make(0, 0, 1, 1);
  return m;
}

}  // namespace

TextMask TextRender::run(Typeface& typeface, const std::string& text, const TextStyle& style) {
  FT_Face face = typeface.state_->face;
  const std::vector<uint32_t> cps = codepoints(text);
  if (!face || cps.empty()) return empty_mask();
  const int s = kSupersample;
  const double size = std::min(std::max(style.size, kTypeMinSize), kTypeMaxSize);
  const double stretch = std::min(std::max(style.stretch, kStretchMin), kStretchMax);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(round_half_even(size * s)));

  std::vector<FT_UInt> glyphs;
  std::vector<double> advances;
  double total = 0;
  const double gap = style.tracking * s / stretch;
  for (uint32_t cp : cps) {
    glyphs.push_back(FT_Get_Char_Index(face, cp));
    FT_Fixed adv = 0;
    FT_Get_Advance(face, glyphs.back(), FT_LOAD_NO_HINTING, &adv);
    advances.push_back(static_cast<double>((adv + kHalf26) >> kTo26) / kFixed6);
    total += advances.back();
  }
  total += gap * static_cast<double>(cps.size() - 1);
  const int ascent = ceil_pixels(face->size->metrics.ascender);
  const int descent = -ceil_pixels(face->size->metrics.descender);
  const int w = std::max(static_cast<int>(total + 2 * kPad), 1);
  const int h = ascent + descent + 2 * kPad;
  const int wide = stretch != 1.0 ? std::max(static_cast<int>(round_half_even(w * stretch)), 1) : w;
  const int lo_w = (wide + s - 1) / s, lo_h = (h + s - 1) / s;
  // Drawn w wide, then widened to wide; rows are whole multiples of s.
  Big big{std::max(w, lo_w * s), lo_h * s, {}};
  big.cells.assign(static_cast<size_t>(big.width) * big.height, 0);

  const int base = kPad + ascent;
  double x = kPad;
  // Each letter sits at the whole large pixel nearest its pen position.
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const double whole = std::floor(x + 0.5);
    if (FT_Load_Glyph(face, glyphs[i], FT_LOAD_DEFAULT) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0 &&
        face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      paste(big, face->glyph->bitmap, static_cast<int>(whole) + face->glyph->bitmap_left,
            base - face->glyph->bitmap_top);
    }
    x += advances[i] + gap;
  }
  if (wide != w) big = widened(big, w, wide, lo_w * s);

  const std::vector<uint8_t> lo = shrink(big, s, lo_w, lo_h);
  int r0 = lo_h, r1 = -1, c0 = lo_w, c1 = -1;
  for (int y = 0; y < lo_h; ++y)
    for (int xx = 0; xx < lo_w; ++xx)
      if (lo[static_cast<size_t>(y) * lo_w + xx] >= kInkLevel) {
        r0 = std::min(r0, y), r1 = std::max(r1, y);
        c0 = std::min(c0, xx), c1 = std::max(c1, xx);
      }
  if (r1 < 0) return empty_mask();
  r0 = std::max(r0 - 1, 0), r1 = std::min(r1 + 2, lo_h);
  c0 = std::max(c0 - 1, 0), c1 = std::min(c1 + 2, lo_w);
  TextMask out;
  out.mask = layer_make(0, 0, c1 - c0, r1 - r0);
  for (int y = r0; y < r1; ++y)
    for (int xx = c0; xx < c1; ++xx)
      out.mask.value[static_cast<size_t>(y - r0) * out.mask.width + (xx - c0)] =
          lo[static_cast<size_t>(y) * lo_w + xx] / 255.0;
  out.baseline = static_cast<double>(base) / s - r0;
  out.left = c0;
  return out;
}

TextMask text_mask(Typeface& face, const std::string& text, const TextStyle& style) {
  return TextRender::run(face, text, style);
}

Item text_item(Typeface& face, const std::string& text, const TextStyle& style,
               const TextPlace& place, int halo) {
  TextMask m = text_mask(face, text, style);
  Item item{std::move(m.mask), halo};
  const int w = item.mask.width;
  switch (place.anchor) {
    case TextPlace::Anchor::kCentre:
      item.mask.x = static_cast<int>(round_half_even(place.x - w / 2.0));
      break;
    case TextPlace::Anchor::kRight:
      item.mask.x = static_cast<int>(round_half_even(place.x - w));
      break;
    case TextPlace::Anchor::kLeft:
      item.mask.x = static_cast<int>(std::floor(place.x));
      break;
  }
  item.mask.y = static_cast<int>(round_half_even(place.baseline - m.baseline));
  return item;
}

int lettering_halo(double radius) { return blur_reach(radius); }

namespace {

Box extent(const Items& items) {
  Box e{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const Item& it : items) {
    e.x0 = std::min(e.x0, it.mask.x - it.halo);
    e.y0 = std::min(e.y0, it.mask.y - it.halo);
    e.x1 = std::max(e.x1, it.mask.x + it.mask.width + it.halo);
    e.y1 = std::max(e.y1, it.mask.y + it.mask.height + it.halo);
  }
  return e;
}

bool inside(const Box& e, const Box& box) {
  return e.x0 >= box.x0 && e.y0 >= box.y0 && e.x1 <= box.x1 && e.y1 <= box.y1;
}

// The items moved the least whole pixels that bring their extent inside
// the box; false when the extent is larger than the box.
bool move_inside(Items& items, const Box& e, const Box& box) {
  if (e.x1 - e.x0 > box.x1 - box.x0 || e.y1 - e.y0 > box.y1 - box.y0) return false;
  const int dx = std::max(box.x0 - e.x0, 0) + std::min(box.x1 - e.x1, 0);
  const int dy = std::max(box.y0 - e.y0, 0) + std::min(box.y1 - e.y1, 0);
  for (Item& it : items) {
    it.mask.x += dx;
    it.mask.y += dy;
  }
  return true;
}

}  // namespace

std::optional<Items> lettering_fit(const Box& box, const std::vector<Layout>& layouts) {
  const double box_w = std::max(box.x1 - box.x0, 1), box_h = std::max(box.y1 - box.y0, 1);
  for (const Layout& layout : layouts) {
    double size = layout.largest;
    while (true) {
      Items items = layout.place(size);
      if (items.empty()) return items;
      const Box e = extent(items);
      if (inside(e, box) || move_inside(items, e, box)) return items;
      if (size <= layout.smallest) break;
      const double over = std::max((e.x1 - e.x0) / box_w, (e.y1 - e.y0) / box_h);
      size = std::max(layout.smallest, size * std::min(kShrinkStep, 1.0 / over));
    }
  }
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> split_words(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text + " ") {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (words.size() < 2) return std::nullopt;
  std::optional<std::pair<std::string, std::string>> best;
  long best_cost = 0;
  for (size_t i = 1; i < words.size(); ++i) {
    std::string a, b;
    for (size_t k = 0; k < words.size(); ++k) {
      std::string& side = k < i ? a : b;
      side += (side.empty() ? "" : " ") + words[k];
    }
    const long cost = std::labs(static_cast<long>(codepoints(a).size()) -
                                static_cast<long>(codepoints(b).size()));
    if (!best || cost < best_cost) {
      best = std::make_pair(a, b);
      best_cost = cost;
    }
  }
  return best;
}

}  // namespace kit
