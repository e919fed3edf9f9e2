// pixel: every bulk operation on 32-bit pixels.
//
// Pixel layout: one little-endian 32-bit word, byte 0 blue, 1 green, 2 red,
// 3 a fourth byte. Blends, fades and additive operations treat all four bytes
// as independent unsigned 8-bit channels and work on pixel pairs (8 bytes).
// Their results are exact to the formulas below whatever SIMD path runs
// (pixel_kernels.h):
//   blend:  d' = ((s * f + d * (256 - f)) mod 65536) >> 8, f and 256 - f taken
//           modulo 65536 as 16-bit lanes take them (only the low 16 bits of f
//           count); for f in 0..256 this is the plain weighted mean
//   fade:   c' = ((c * m_k) mod 65536) >> 8, m_k the k-th 16-bit word of the
//           factor (lowest word for byte 0); a level v <= 255 in all four
//           words gives floor(c * v / 256)
//   add:    d' = min(255, d + s)
// A run of fewer than one pixel pair, and the odd pixel or bytes after the
// last whole pair, are left untouched.
// blit_add and blend_rect step from one destination row to the next by
// kScreenWidth pixels whatever the destination (every destination is a
// 640-pixel-wide work surface). Operations that take surfaces lock them for
// the call only, and never write outside the destination surface.
// No operation allocates memory.
#pragma once

#include <cstdint>

#include "velmora_layout.h"

namespace ptc {
class Surface;
class Console;
}  // namespace ptc

constexpr int kScreenWidth = layout::kScreenWidth;
constexpr int kScreenHeight = layout::kScreenHeight;

// A fade level v (0..255) in all four 16-bit words of a fade factor.
constexpr uint64_t fade_factor(uint64_t level) {
  return level * 0x0001000100010001ull;
}

// Block fills and copies; any alignment. The copies behave as memmove.
void pixel_fill(uint32_t value, uint32_t count, void* dst);
void byte_fill(uint8_t value, uint32_t count, void* dst);
void pixel_copy(const void* src, void* dst, uint32_t count);
void byte_copy(const void* src, void* dst, uint32_t count);

void surface_clear(ptc::Surface& surface, uint32_t value);
// Copies the source so that its top left pixel lands on (x, y). At the right
// it keeps n = min(source width, 640 - x) columns; parts beyond the
// destination's own edges (left, top, right, bottom) are not drawn either.
void blit_opaque(ptc::Surface& dst, ptc::Surface& src, int x, int y);
// Copies every source pixel that differs from key in all 32 bits; pixels
// outside the destination are not drawn.
void blit_keyed(ptc::Surface& dst, ptc::Surface& src, int x, int y, uint32_t key);
// Adds the source onto the destination at (x, y) with per-byte saturation; an
// odd last source column is not drawn; nothing left of column 0, above row 0,
// right of column 639, below row 479 or past the destination's pixels.
void blit_add(ptc::Surface& dst, ptc::Surface& src, int x, int y);

// Blends bytes / 8 pixel pairs of src into dst in place.
void blend_span(const void* src, void* dst, uint32_t f, uint32_t bytes);
// blend_span of width x 4 bytes per row; the source advances width pixels a
// row, the destination kScreenWidth pixels.
void blend_rect(const void* src, void* dst, uint32_t f, uint32_t width, uint32_t rows);
// blend_rect with f = 100 onto the destination at (x, y) (the translucent 3D
// window: 100/256 of src over 156/256 of the destination), clipped to the
// destination.
void overlay_blend(ptc::Surface& dst, const void* src, int x, int y, uint32_t width, uint32_t rows);
// blend_span of the whole 640 x 480 source into the destination, then the
// destination is copied to the console and the console updated.
void crossfade_present(ptc::Surface& src, ptc::Surface& dst, uint32_t f, ptc::Console& console);
// Scales the bytes of floor(count / 2) pixel pairs in place.
void fade_span(void* buffer, uint64_t factor, uint32_t count);

// The menu's screen transition step: blend rows 50..479 of target into screen.
constexpr uint32_t kTransitionFirstRow = 50;
void transition_blend(ptc::Surface& target, ptc::Surface& screen, uint32_t f);
