// pixel_simd128: the blend, fade and saturating add on WebAssembly's 128-bit
// vectors (two pixel pairs per step), for the browser build.
//
// The same split as the SSE2 kernels: the bytes of a vector are separated by
// 16-bit lane into even bytes (low halves) and odd bytes (high halves), each
// half is multiplied in its own 16-bit lane with wrap-around, which is exactly
// the modulo-65536 arithmetic of the formulas, and the halves are merged back
// without packing.
#include "gfx2d/pixel_kernels.h"

#if defined(__wasm_simd128__)

#include <wasm_simd128.h>

namespace {

// One vector of the blend: per byte, s*f + d*(256 - f) equals 256*d + (s - d)*f
// modulo 65536, so the result byte is d + hi8((s - d)*f mod 65536) modulo 256.
inline v128_t blend_vec(v128_t s, v128_t d, v128_t f) {
  const v128_t lo = wasm_i16x8_splat(0x00FF);
  const v128_t hi = wasm_i16x8_splat(static_cast<int16_t>(0xFF00));
  const v128_t even = wasm_i16x8_mul(wasm_i16x8_sub(wasm_v128_and(s, lo), wasm_v128_and(d, lo)), f);
  const v128_t odd = wasm_i16x8_mul(wasm_i16x8_sub(wasm_u16x8_shr(s, 8), wasm_u16x8_shr(d, 8)), f);
  return wasm_i8x16_add(d, wasm_v128_or(wasm_u16x8_shr(even, 8), wasm_v128_and(odd, hi)));
}

// One vector of the fade: me holds the multipliers of the even bytes (blue,
// red, ...), mo those of the odd bytes (green, fourth, ...).
inline v128_t fade_vec(v128_t c, v128_t me, v128_t mo) {
  const v128_t lo = wasm_i16x8_splat(0x00FF);
  const v128_t hi = wasm_i16x8_splat(static_cast<int16_t>(0xFF00));
  const v128_t even = wasm_u16x8_shr(wasm_i16x8_mul(wasm_v128_and(c, lo), me), 8);
  const v128_t odd = wasm_v128_and(wasm_i16x8_mul(wasm_u16x8_shr(c, 8), mo), hi);
  return wasm_v128_or(even, odd);
}

inline v128_t load(const uint8_t* p) { return wasm_v128_load(p); }
inline void store(uint8_t* p, v128_t v) { wasm_v128_store(p, v); }
inline v128_t load8(const uint8_t* p) { return wasm_v128_load64_zero(p); }
inline void store8(uint8_t* p, v128_t v) { wasm_v128_store64_lane(p, v, 0); }
inline v128_t load4(const uint8_t* p) { return wasm_v128_load32_zero(p); }
inline void store4(uint8_t* p, v128_t v) { wasm_v128_store32_lane(p, v, 0); }

void blend_simd128(const uint8_t* src, uint8_t* dst, uint32_t f, size_t pairs) {
  const v128_t fv = wasm_i16x8_splat(static_cast<int16_t>(f & 0xFFFF));
  size_t i = 0;
  const size_t bytes = pairs * 8;
  for (; i + 16 <= bytes; i += 16) store(dst + i, blend_vec(load(src + i), load(dst + i), fv));
  if (i < bytes) store8(dst + i, blend_vec(load8(src + i), load8(dst + i), fv));
}

void fade_simd128(uint8_t* buffer, uint64_t factor, size_t pairs) {
  const auto word = [factor](int k) { return static_cast<int16_t>((factor >> (16 * k)) & 0xFFFF); };
  const v128_t me = wasm_i16x8_make(word(0), word(2), word(0), word(2), word(0), word(2), word(0), word(2));
  const v128_t mo = wasm_i16x8_make(word(1), word(3), word(1), word(3), word(1), word(3), word(1), word(3));
  size_t i = 0;
  const size_t bytes = pairs * 8;
  for (; i + 16 <= bytes; i += 16) store(buffer + i, fade_vec(load(buffer + i), me, mo));
  if (i < bytes) store8(buffer + i, fade_vec(load8(buffer + i), me, mo));
}

void add_simd128(const uint8_t* src, uint8_t* dst, size_t pixels) {
  size_t i = 0;
  const size_t bytes = pixels * 4;
  for (; i + 16 <= bytes; i += 16) store(dst + i, wasm_u8x16_add_sat(load(dst + i), load(src + i)));
  if (i + 8 <= bytes) {
    store8(dst + i, wasm_u8x16_add_sat(load8(dst + i), load8(src + i)));
    i += 8;
  }
  if (i < bytes) store4(dst + i, wasm_u8x16_add_sat(load4(dst + i), load4(src + i)));
}

constexpr PixelKernels kSimd128 = {"simd128", blend_simd128, fade_simd128, add_simd128};

}  // namespace

const PixelKernels* pixel_kernels_simd128() { return &kSimd128; }

#else

const PixelKernels* pixel_kernels_simd128() { return nullptr; }

#endif
