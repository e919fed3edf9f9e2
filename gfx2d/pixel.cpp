// pixel: see pixel.h. Plain per-byte reference loops.
#include "gfx2d/pixel.h"

#include <algorithm>
#include <cstring>

#include "platform/display.h"

void pixel_fill(uint32_t value, uint32_t count, void* dst) {
  auto* d = static_cast<uint32_t*>(dst);
  for (uint32_t i = 0; i < count; ++i) d[i] = value;
}

void byte_fill(uint8_t value, uint32_t count, void* dst) {
  std::memset(dst, value, count);
}

void pixel_copy(const void* src, void* dst, uint32_t count) {
  std::memmove(dst, src, static_cast<size_t>(count) * 4);
}

void byte_copy(const void* src, void* dst, uint32_t count) {
  std::memmove(dst, src, count);
}

void surface_clear(ptc::Surface& surface, uint32_t value) {
  void* px = surface.lock();
  pixel_fill(value, static_cast<uint32_t>(surface.width() * surface.height()), px);
  surface.unlock();
}

void blit_opaque(ptc::Surface& dst, ptc::Surface& src, int x, int y) {
  const uint32_t room = static_cast<uint32_t>(kScreenWidth - x);
  const uint32_t n = std::min(static_cast<uint32_t>(src.width()), room);
  auto* d = static_cast<uint32_t*>(dst.lock());
  auto* s = static_cast<uint32_t*>(src.lock());
  for (int r = 0; r < src.height(); ++r) {
    pixel_copy(s + static_cast<size_t>(r) * src.width(),
               d + static_cast<size_t>(y + r) * dst.width() + x, n);
  }
  src.unlock();
  dst.unlock();
}

void blit_keyed(ptc::Surface& dst, ptc::Surface& src, int x, int y, uint32_t key) {
  auto* d = static_cast<uint32_t*>(dst.lock());
  auto* s = static_cast<uint32_t*>(src.lock());
  for (int r = 0; r < src.height() && y + r < dst.height(); ++r) {
    for (int c = 0; c < src.width() && x + c < dst.width(); ++c) {
      const uint32_t p = s[static_cast<size_t>(r) * src.width() + c];
      if (p != key) d[static_cast<size_t>(y + r) * dst.width() + x + c] = p;
    }
  }
  src.unlock();
  dst.unlock();
}

void blit_add(ptc::Surface& dst, ptc::Surface& src, int x, int y) {
  auto* d = static_cast<uint8_t*>(dst.lock());
  auto* s = static_cast<uint8_t*>(src.lock());
  const int w = src.width() & ~1;
  for (int r = 0; r < src.height() && y + r < kScreenHeight; ++r) {
    for (int c = 0; c < w && x + c < kScreenWidth; ++c) {
      uint8_t* dp = d + (static_cast<size_t>(y + r) * kScreenWidth + x + c) * 4;
      const uint8_t* sp = s + (static_cast<size_t>(r) * src.width() + c) * 4;
      for (int k = 0; k < 4; ++k) {
        const unsigned sum = dp[k] + sp[k];
        dp[k] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
      }
    }
  }
  src.unlock();
  dst.unlock();
}

void blend_span(const void* src, void* dst, uint32_t f, uint32_t bytes) {
  const auto* s = static_cast<const uint8_t*>(src);
  auto* d = static_cast<uint8_t*>(dst);
  const uint32_t fw = f & 0xFFFF;
  const uint32_t gw = (256 - fw) & 0xFFFF;
  const uint32_t n = bytes / 8 * 8;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t v = ((s[i] * fw + d[i] * gw) & 0xFFFF) >> 8;
    d[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

void blend_rect(const void* src, void* dst, uint32_t f, uint32_t width, uint32_t rows) {
  const auto* s = static_cast<const uint32_t*>(src);
  auto* d = static_cast<uint32_t*>(dst);
  for (uint32_t r = 0; r < rows; ++r) {
    blend_span(s + static_cast<size_t>(r) * width, d + static_cast<size_t>(r) * kScreenWidth, f, width * 4);
  }
}

void overlay_blend(ptc::Surface& dst, const void* src, int x, int y, uint32_t width, uint32_t rows) {
  auto* d = static_cast<uint32_t*>(dst.lock());
  blend_rect(src, d + static_cast<size_t>(y) * dst.width() + x, 100, width, rows);
  dst.unlock();
}

void crossfade_present(ptc::Surface& src, ptc::Surface& dst, uint32_t f, ptc::Console& console) {
  void* s = src.lock();
  void* d = dst.lock();
  blend_span(s, d, f, kScreenWidth * kScreenHeight * 4);
  src.unlock();
  dst.unlock();
  dst.copy(console);
  console.update();
}

void fade_span(void* buffer, uint64_t factor, uint32_t count) {
  auto* b = static_cast<uint8_t*>(buffer);
  const uint32_t n = count / 2 * 8;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t m = static_cast<uint32_t>(factor >> (16 * (i % 4))) & 0xFFFF;
    const uint32_t v = ((b[i] * m) & 0xFFFF) >> 8;
    b[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
  }
}

void transition_blend(ptc::Surface& target, ptc::Surface& screen, uint32_t f) {
  constexpr uint32_t offset = kTransitionFirstRow * kScreenWidth;
  constexpr uint32_t bytes = (kScreenHeight - kTransitionFirstRow) * kScreenWidth * 4;
  auto* t = static_cast<uint32_t*>(target.lock());
  auto* s = static_cast<uint32_t*>(screen.lock());
  blend_span(t + offset, s + offset, f, bytes);
  target.unlock();
  screen.unlock();
}
