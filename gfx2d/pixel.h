// pixel: every bulk operation on 32-bit pixels.
//
// Pixel layout: one little-endian 32-bit word, byte 0 blue, 1 green, 2 red,
// 3 a fourth byte. Blends, fades and additive operations treat all four bytes
// as independent unsigned 8-bit channels and work on pixel pairs (8 bytes).
// Their results are exact to the formulas below whatever SIMD path runs:
//   blend:  d' = (s * f + d * (256 - f)) >> 8 in 16-bit lanes, f in 0..256
//           (only the low 16 bits of f take part)
//   fade:   c' = ((c * m_k) mod 65536) >> 8, m_k the k-th 16-bit word of the factor
//   add:    d' = min(255, d + s)
// blit_add and blend_rect step from one destination row to the next by
// kScreenWidth pixels whatever the destination (every destination is a
// 640-pixel-wide work surface).
#pragma once

#include <cstdint>

namespace ptc {
class Surface;
class Console;
}  // namespace ptc

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// A fade level v (0..255) in all four 16-bit words of a fade factor.
constexpr uint64_t fade_factor(uint64_t level) {
  return level * 0x0001000100010001ull;
}

void pixel_fill(uint32_t value, uint32_t count, void* dst);
void byte_fill(uint8_t value, uint32_t count, void* dst);
void pixel_copy(const void* src, void* dst, uint32_t count);
void byte_copy(const void* src, void* dst, uint32_t count);

void surface_clear(ptc::Surface& surface, uint32_t value);
// Copies the whole source to (x, y); clipped at the destination's right edge
// (n = min(source width, 640 - x), compared unsigned), not at left, top or bottom.
void blit_opaque(ptc::Surface& dst, ptc::Surface& src, int x, int y);
// Copies every source pixel that differs from key in all 32 bits; pixels
// right of or below the destination are not drawn.
void blit_keyed(ptc::Surface& dst, ptc::Surface& src, int x, int y, uint32_t key);
// Adds the source onto the destination with per-byte saturation; an odd last
// column is not drawn; nothing right of column 639 or below row 479.
void blit_add(ptc::Surface& dst, ptc::Surface& src, int x, int y);

void blend_span(const void* src, void* dst, uint32_t f, uint32_t bytes);
void blend_rect(const void* src, void* dst, uint32_t f, uint32_t width, uint32_t rows);
// blend_rect with f = 100 onto the destination at (x, y).
void overlay_blend(ptc::Surface& dst, const void* src, int x, int y, uint32_t width, uint32_t rows);
// blend_span of the whole 640 x 480 source into the destination, then the
// destination is copied to the console and the console updated.
void crossfade_present(ptc::Surface& src, ptc::Surface& dst, uint32_t f, ptc::Console& console);
void fade_span(void* buffer, uint64_t factor, uint32_t count);

// The menu's screen transition step: blend rows 50..479 of target into screen.
constexpr uint32_t kTransitionFirstRow = 50;
void transition_blend(ptc::Surface& target, ptc::Surface& screen, uint32_t f);
