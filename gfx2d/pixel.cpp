// pixel: see pixel.h. Fills and copies are block moves; the blend, fade and
// saturating add run through the kernels of pixel_kernels.h.
#include "gfx2d/pixel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "gfx2d/pixel_kernels.h"
#include "platform/display.h"

namespace {

constexpr size_t kFramePixels = static_cast<size_t>(kScreenWidth) * kScreenHeight;
constexpr size_t kPairBytes = 8;
// pixel_fill repeats a block of this many bytes of its pattern.
constexpr size_t kFillBlockBytes = 4096;

size_t pixel_count(const ptc::Surface& s) {
  return static_cast<size_t>(s.width()) * static_cast<size_t>(s.height());
}

// The part of a w x h source placed at (x, y) that lies inside the area
// [0, right) x [0, bottom) of the destination; cols or rows 0 when none.
struct Clip {
  int src_x = 0;
  int src_y = 0;
  int dst_x = 0;
  int dst_y = 0;
  int cols = 0;
  int rows = 0;
};

Clip clip_to(int w, int h, int x, int y, int right, int bottom) {
  const int64_t x0 = std::max<int64_t>(x, 0);
  const int64_t y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(static_cast<int64_t>(x) + w, right);
  const int64_t y1 = std::min<int64_t>(static_cast<int64_t>(y) + h, bottom);
  if (x1 <= x0 || y1 <= y0) return {};
  return {static_cast<int>(x0 - x), static_cast<int>(y0 - y), static_cast<int>(x0),
          static_cast<int>(y0),     static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

// Rows of a block starting at pixel offset start, cols wide, kScreenWidth
// pixels from row to row, that lie wholly within total pixels.
size_t rows_within(size_t start, size_t cols, size_t total) {
  if (start + cols > total) return 0;
  return (total - start - cols) / kScreenWidth + 1;
}

// blend_span row by row: the source advances src_step pixels a row, the
// destination kScreenWidth.
void blend_block(const uint8_t* src, size_t src_step, uint8_t* dst, uint32_t f, size_t cols, size_t rows) {
  const PixelKernels& k = pixel_kernels_active();
  for (size_t r = 0; r < rows; ++r) {
    k.blend(src + r * src_step * 4, dst + r * kScreenWidth * 4, f, cols * 4 / kPairBytes);
  }
}

}  // namespace

void pixel_fill(uint32_t value, uint32_t count, void* dst) {
  if (count == 0) return;
  const size_t bytes = static_cast<size_t>(count) * 4;
  const uint8_t low = static_cast<uint8_t>(value);
  if (value == low * 0x01010101u) {
    std::memset(dst, low, bytes);
    return;
  }
  // The first block is written word by word; the rest is block copies of it,
  // which run at memcpy's speed (its source stays in the first-level cache).
  auto* d = static_cast<uint8_t*>(dst);
  const size_t first = std::min(bytes, kFillBlockBytes);
  size_t i = 0;
  for (; i < first; i += 4) std::memcpy(d + i, &value, 4);
  for (; i + kFillBlockBytes <= bytes; i += kFillBlockBytes) std::memcpy(d + i, d, kFillBlockBytes);
  std::memcpy(d + i, d, bytes - i);
}

// A run of 0 may come with a null address, which the C library calls must not see.
void byte_fill(uint8_t value, uint32_t count, void* dst) {
  if (count == 0) return;
  std::memset(dst, value, count);
}

void pixel_copy(const void* src, void* dst, uint32_t count) {
  if (count == 0) return;
  std::memmove(dst, src, static_cast<size_t>(count) * 4);
}

void byte_copy(const void* src, void* dst, uint32_t count) {
  if (count == 0) return;
  std::memmove(dst, src, count);
}

void surface_clear(ptc::Surface& surface, uint32_t value) {
  void* px = surface.lock();
  pixel_fill(value, static_cast<uint32_t>(pixel_count(surface)), px);
  surface.unlock();
}

void blit_opaque(ptc::Surface& dst, ptc::Surface& src, int x, int y) {
  const Clip c = clip_to(src.width(), src.height(), x, y, std::min(kScreenWidth, dst.width()), dst.height());
  auto* d = static_cast<uint32_t*>(dst.lock());
  auto* s = static_cast<uint32_t*>(src.lock());
  for (int r = 0; r < c.rows; ++r) {
    std::memcpy(d + static_cast<size_t>(c.dst_y + r) * dst.width() + c.dst_x,
                s + static_cast<size_t>(c.src_y + r) * src.width() + c.src_x, static_cast<size_t>(c.cols) * 4);
  }
  src.unlock();
  dst.unlock();
}

void blit_keyed(ptc::Surface& dst, ptc::Surface& src, int x, int y, uint32_t key) {
  const Clip c = clip_to(src.width(), src.height(), x, y, dst.width(), dst.height());
  auto* d = static_cast<uint32_t*>(dst.lock());
  auto* s = static_cast<uint32_t*>(src.lock());
  for (int r = 0; r < c.rows; ++r) {
    const uint32_t* sp = s + static_cast<size_t>(c.src_y + r) * src.width() + c.src_x;
    uint32_t* dp = d + static_cast<size_t>(c.dst_y + r) * dst.width() + c.dst_x;
    for (int col = 0; col < c.cols; ++col) {
      if (sp[col] != key) dp[col] = sp[col];
    }
  }
  src.unlock();
  dst.unlock();
}

void blit_add(ptc::Surface& dst, ptc::Surface& src, int x, int y) {
  // The destination is addressed as 640-pixel rows; the rows its pixels hold
  // bound the bottom as well as row 479 does.
  const int dst_rows = static_cast<int>(std::min(pixel_count(dst) / kScreenWidth, static_cast<size_t>(kScreenHeight)));
  const Clip c = clip_to(src.width() & ~1, src.height(), x, y, kScreenWidth, dst_rows);
  auto* d = static_cast<uint32_t*>(dst.lock());
  auto* s = static_cast<uint32_t*>(src.lock());
  const PixelKernels& k = pixel_kernels_active();
  for (int r = 0; r < c.rows; ++r) {
    k.add(reinterpret_cast<const uint8_t*>(s + static_cast<size_t>(c.src_y + r) * src.width() + c.src_x),
          reinterpret_cast<uint8_t*>(d + static_cast<size_t>(c.dst_y + r) * kScreenWidth + c.dst_x),
          static_cast<size_t>(c.cols));
  }
  src.unlock();
  dst.unlock();
}

void blend_span(const void* src, void* dst, uint32_t f, uint32_t bytes) {
  pixel_kernels_active().blend(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), f, bytes / kPairBytes);
}

void blend_rect(const void* src, void* dst, uint32_t f, uint32_t width, uint32_t rows) {
  blend_block(static_cast<const uint8_t*>(src), width, static_cast<uint8_t*>(dst), f, width, rows);
}

void overlay_blend(ptc::Surface& dst, const void* src, int x, int y, uint32_t width, uint32_t rows) {
  constexpr uint32_t kOverlayWeight = 100;
  const int w = static_cast<int>(std::min<uint32_t>(width, kScreenWidth));
  const int h = static_cast<int>(std::min<uint32_t>(rows, kScreenHeight));
  const Clip c = clip_to(w, h, x, y, std::min(kScreenWidth, dst.width()), dst.height());
  if (c.cols == 0) return;
  auto* d = static_cast<uint32_t*>(dst.lock());
  const size_t start = static_cast<size_t>(c.dst_y) * dst.width() + c.dst_x;
  const size_t fit = std::min<size_t>(c.rows, rows_within(start, c.cols, pixel_count(dst)));
  const auto* s = static_cast<const uint8_t*>(src) + (static_cast<size_t>(c.src_y) * width + c.src_x) * 4;
  blend_block(s, width, reinterpret_cast<uint8_t*>(d + start), kOverlayWeight, c.cols, fit);
  dst.unlock();
}

void crossfade_present(ptc::Surface& src, ptc::Surface& dst, uint32_t f, ptc::Console& console) {
  const size_t n = std::min({kFramePixels, pixel_count(src), pixel_count(dst)});
  void* s = src.lock();
  void* d = dst.lock();
  blend_span(s, d, f, static_cast<uint32_t>(n * 4));
  src.unlock();
  dst.unlock();
  dst.copy(console);
  console.update();
}

void fade_span(void* buffer, uint64_t factor, uint32_t count) {
  pixel_kernels_active().fade(static_cast<uint8_t*>(buffer), factor, count / 2);
}

void transition_blend(ptc::Surface& target, ptc::Surface& screen, uint32_t f) {
  constexpr size_t kFirst = static_cast<size_t>(kTransitionFirstRow) * kScreenWidth;
  const size_t end = std::min({kFramePixels, pixel_count(target), pixel_count(screen)});
  if (end <= kFirst) return;
  auto* t = static_cast<uint32_t*>(target.lock());
  auto* s = static_cast<uint32_t*>(screen.lock());
  blend_span(t + kFirst, s + kFirst, f, static_cast<uint32_t>((end - kFirst) * 4));
  target.unlock();
  screen.unlock();
}
