// font: see font.h.
#include "gfx2d/font.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gfx2d/pixel.h"
#include "platform/display.h"
#include "resources/pak.h"

std::array<uint8_t, kFont8Bytes> font8{};
ptc::Surface* fontimg = nullptr;

namespace {

constexpr uint32_t kRedMask = 0x00FF0000;
constexpr uint32_t kGreenMask = 0x0000FF00;

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

// Byte-wise saturating add of a short run of pixels (at most one glyph row).
// Inline rather than through the pixel kernels: a page draws tens of
// thousands of 24-pixel rows a frame, and a call per row would cost more
// than the adds.
void add_row(const uint32_t* src, uint32_t* dst, int64_t n) {
  int64_t k = 0;
#if defined(__SSE2__)
  for (; k + 4 <= n; k += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + k), _mm_adds_epu8(d, s));
  }
#endif
  for (; k < n; ++k) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t sum = ((dst[k] >> shift) & 0xFF) + ((src[k] >> shift) & 0xFF);
      out |= (sum > 0xFF ? 0xFF : sum) << shift;
    }
    dst[k] = out;
  }
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
// than the real one has transparent cells where it ends. Each row is one
// saturating add over the part of the cell that lands inside the
// destination; adding a transparent (zero) pixel leaves the destination as
// it is, so zero pixels need no test of their own.
void glyph_cell_add(const dest_view& view, int64_t x, int64_t y, ptc::Surface& sheet,
                    const uint32_t* sheet_px, int cell) {
  const int64_t first = static_cast<int64_t>(kGlyphCellStep) * cell;
  const int64_t cols = std::min<int64_t>(kGlyphCellWidth, sheet.width() - first);
  const int rows = std::min(kGlyphCellHeight, sheet.height());
  const int64_t k0 = std::max<int64_t>(0, -x);
  const int64_t k_end = std::min<int64_t>(cols, view.width - x);
  for (int r = 0; r < rows; ++r) {
    const int64_t row = y + r;
    if (row < 0 || row >= view.height) continue;
    const int64_t start = row * kScreenWidth + x;
    const int64_t k1 = std::min<int64_t>(k_end, view.count - start);
    if (k1 <= k0) continue;
    const uint32_t* src = sheet_px + static_cast<int64_t>(r) * sheet.width() + first;
    add_row(src + k0, view.pixels + start + k0, k1 - k0);
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
