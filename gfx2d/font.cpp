// font: see font.h.
#include "gfx2d/font.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "gfx2d/pixel.h"
#include "platform/display.h"
#include "resources/pak.h"

std::array<uint8_t, kFont8Bytes> font8{};
ptc::Surface* fontimg = nullptr;

namespace {

constexpr uint32_t kRedMask = 0x00FF0000;
constexpr uint32_t kGreenMask = 0x0000FF00;
constexpr uint32_t kLowBits = 0x7F7F7F7F;
constexpr uint32_t kHighBits = 0x80808080;

// The characters 33 to 96 take cells 0 to 63, 97 to 127 cells 62 to 92: the
// sheet has no cells of their own for "a" and the grave accent.
constexpr int kFirstGlyphChar = 33;
constexpr int kSecondRangeChar = 97;
constexpr int kSecondRangeShift = 35;

// A locked destination. Rows are kScreenWidth pixels apart whatever the
// surface; a pixel is drawn only inside the surface's width and height and
// inside its buffer (a surface narrower than 640 pixels ends sooner).
struct dest_view {
  uint32_t* pixels;
  int64_t width;
  int64_t height;
  int64_t count;

  uint32_t* at(int64_t x, int64_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
    const int64_t index = y * kScreenWidth + x;
    return index < count ? pixels + index : nullptr;
  }
};

dest_view dest_lock(ptc::Surface& dst) {
  const int64_t w = dst.width();
  const int64_t h = dst.height();
  return dest_view{static_cast<uint32_t*>(dst.lock()), w, h, w * h};
}

// Byte-wise saturating add of two pixels in one 32-bit word: the low seven
// bits of each byte add without crossing into the next byte, the top bits
// are put back by exclusive or, and every byte whose sum carried out of bit 7
// is forced to 0xFF.
uint32_t add_saturate(uint32_t d, uint32_t s) {
  const uint32_t low = (d & kLowBits) + (s & kLowBits);
  const uint32_t sum = low ^ ((d ^ s) & kHighBits);
  const uint32_t carry = ((d & s) | (low & (d ^ s))) & kHighBits;
  return sum | ((carry >> 7) * 0xFF);
}

void text_format(char (&text)[kTextBytes], const char* format, va_list args) {
  if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
}

void text8_glyph(const dest_view& view, int64_t x, int64_t y, unsigned char c) {
  if (c >= kFont8Glyphs) return;  // outside the table: no glyph
  for (uint32_t r = 0; r < kFont8Rows; ++r) {
    const uint8_t bits = font8[c * kFont8Rows + r];
    for (int k = 0; k < 8; ++k) {
      if (!(bits & (0x80u >> k))) continue;
      if (uint32_t* d = view.at(x + k, y + r)) *d = kFont8Colour;
    }
  }
}

// The cell's columns that exist in the sheet: a sheet narrower or lower
// than the real one has transparent cells where it ends.
void glyph_cell_add(const dest_view& view, int64_t x, int64_t y, ptc::Surface& sheet,
                    const uint32_t* sheet_px, int cell) {
  const int64_t first = static_cast<int64_t>(kGlyphCellStep) * cell;
  const int64_t cols = std::min<int64_t>(kGlyphCellWidth, sheet.width() - first);
  const int rows = std::min(kGlyphCellHeight, sheet.height());
  for (int r = 0; r < rows; ++r) {
    const uint32_t* src = sheet_px + static_cast<int64_t>(r) * sheet.width() + first;
    for (int64_t k = 0; k < cols; ++k) {
      if (src[k] == 0) continue;
      if (uint32_t* d = view.at(x + k, y + r)) *d = add_saturate(*d, src[k]);
    }
  }
}

}  // namespace

void font8_load(const char* name) {
  FILE* stream = pak_fopen(name, "rb");
  if (!stream) return;  // only while error reports return
  std::fread(font8.data(), 1, kFont8Bytes, stream);
  pak_fclose(stream);
}

void font_colour_key(ptc::Surface& sheet) {
  auto* px = static_cast<uint32_t*>(sheet.lock());
  const uint64_t own = static_cast<uint64_t>(sheet.width()) * static_cast<uint64_t>(sheet.height());
  const uint64_t n = std::min<uint64_t>(kFontSheetPixels, own);
  for (uint64_t i = 0; i < n; ++i) {
    if ((px[i] & kRedMask) != 0 && (px[i] & kGreenMask) == 0) px[i] = 0;
  }
  sheet.unlock();
}

int glyph_cell(char c) {
  const int code = static_cast<signed char>(c);
  if (code < kFirstGlyphChar) return -1;
  if (code < kSecondRangeChar) return code - kFirstGlyphChar;
  return code - kSecondRangeShift;
}

void text8_draw(ptc::Surface& dst, int x, int y, const char* format, ...) {
  char text[kTextBytes];
  va_list args;
  va_start(args, format);
  text_format(text, format, args);
  va_end(args);

  const dest_view view = dest_lock(dst);
  int64_t pen = x;
  for (const char* p = text; *p && pen < view.width; ++p, pen += 8) {
    text8_glyph(view, pen, y, static_cast<unsigned char>(*p));
  }
  dst.unlock();
}

void glyph_text_draw(ptc::Surface& dst, int x, int y, const char* format, ...) {
  char text[kTextBytes];
  va_list args;
  va_start(args, format);
  text_format(text, format, args);
  va_end(args);
  if (!fontimg) return;

  const dest_view view = dest_lock(dst);
  const auto* sheet_px = static_cast<const uint32_t*>(fontimg->lock());
  int64_t pen = x;
  for (const char* p = text; *p && pen < view.width; ++p, pen += kGlyphAdvance) {
    const int cell = glyph_cell(*p);
    if (cell >= 0) glyph_cell_add(view, pen, y, *fontimg, sheet_px, cell);
  }
  dst.unlock();
  fontimg->unlock();
}
