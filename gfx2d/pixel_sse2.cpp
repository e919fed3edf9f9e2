// pixel_sse2: the blend, fade and saturating add on 128-bit vectors (two pixel
// pairs per step), for every x86-64 processor.
//
// The bytes of a vector are split by 16-bit lane into even bytes (low halves)
// and odd bytes (high halves); each half is computed in its own 16-bit lane
// with wrap-around multiplies, exactly the modulo-65536 arithmetic of the
// formulas, and the two halves are merged back without any packing.
#include "gfx2d/pixel_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstring>

namespace {

// One vector of the blend. Per byte, s*f + d*(256 - f) equals 256*d + (s - d)*f
// modulo 65536 whatever f is, so the result byte is d + hi8((s - d)*f mod
// 65536) modulo 256: one wrap-around multiply per half, the high bytes of the
// two halves merged in place, then a wrapping byte add of d.
inline __m128i blend_vec(__m128i s, __m128i d, __m128i f) {
  const __m128i lo = _mm_set1_epi16(0x00FF);
  const __m128i hi = _mm_set1_epi16(static_cast<short>(0xFF00));
  const __m128i even = _mm_mullo_epi16(_mm_sub_epi16(_mm_and_si128(s, lo), _mm_and_si128(d, lo)), f);
  const __m128i odd = _mm_mullo_epi16(_mm_sub_epi16(_mm_srli_epi16(s, 8), _mm_srli_epi16(d, 8)), f);
  return _mm_add_epi8(d, _mm_or_si128(_mm_srli_epi16(even, 8), _mm_and_si128(odd, hi)));
}

// One vector of the fade: me holds the multipliers of the even bytes (blue,
// red, blue, red, ...), mo those of the odd bytes (green, fourth, ...).
inline __m128i fade_vec(__m128i c, __m128i me, __m128i mo) {
  const __m128i lo = _mm_set1_epi16(0x00FF);
  const __m128i hi = _mm_set1_epi16(static_cast<short>(0xFF00));
  const __m128i even = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(c, lo), me), 8);
  const __m128i odd = _mm_and_si128(_mm_mullo_epi16(_mm_srli_epi16(c, 8), mo), hi);
  return _mm_or_si128(even, odd);
}

inline __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline __m128i load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline void store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

void blend_sse2(const uint8_t* src, uint8_t* dst, uint32_t f, size_t pairs) {
  const __m128i fv = _mm_set1_epi16(static_cast<short>(f & 0xFFFF));
  size_t i = 0;
  const size_t bytes = pairs * 8;
  for (; i + 32 <= bytes; i += 32) {
    const __m128i r0 = blend_vec(load(src + i), load(dst + i), fv);
    const __m128i r1 = blend_vec(load(src + i + 16), load(dst + i + 16), fv);
    store(dst + i, r0);
    store(dst + i + 16, r1);
  }
  for (; i + 16 <= bytes; i += 16) store(dst + i, blend_vec(load(src + i), load(dst + i), fv));
  if (i < bytes) store8(dst + i, blend_vec(load8(src + i), load8(dst + i), fv));
}

void fade_sse2(uint8_t* buffer, uint64_t factor, size_t pairs) {
  const auto word = [factor](int k) { return static_cast<short>((factor >> (16 * k)) & 0xFFFF); };
  const __m128i me = _mm_set_epi16(word(2), word(0), word(2), word(0), word(2), word(0), word(2), word(0));
  const __m128i mo = _mm_set_epi16(word(3), word(1), word(3), word(1), word(3), word(1), word(3), word(1));
  size_t i = 0;
  const size_t bytes = pairs * 8;
  for (; i + 32 <= bytes; i += 32) {
    const __m128i r0 = fade_vec(load(buffer + i), me, mo);
    const __m128i r1 = fade_vec(load(buffer + i + 16), me, mo);
    store(buffer + i, r0);
    store(buffer + i + 16, r1);
  }
  for (; i + 16 <= bytes; i += 16) store(buffer + i, fade_vec(load(buffer + i), me, mo));
  if (i < bytes) store8(buffer + i, fade_vec(load8(buffer + i), me, mo));
}

void add_sse2(const uint8_t* src, uint8_t* dst, size_t pixels) {
  size_t i = 0;
  const size_t bytes = pixels * 4;
  for (; i + 32 <= bytes; i += 32) {
    const __m128i r0 = _mm_adds_epu8(load(dst + i), load(src + i));
    const __m128i r1 = _mm_adds_epu8(load(dst + i + 16), load(src + i + 16));
    store(dst + i, r0);
    store(dst + i + 16, r1);
  }
  for (; i + 16 <= bytes; i += 16) store(dst + i, _mm_adds_epu8(load(dst + i), load(src + i)));
  if (i + 8 <= bytes) {
    store8(dst + i, _mm_adds_epu8(load8(dst + i), load8(src + i)));
    i += 8;
  }
  if (i < bytes) {
    int32_t s;
    int32_t d;
    std::memcpy(&s, src + i, 4);
    std::memcpy(&d, dst + i, 4);
    d = _mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(d), _mm_cvtsi32_si128(s)));
    std::memcpy(dst + i, &d, 4);
  }
}

constexpr PixelKernels kSse2 = {"sse2", blend_sse2, fade_sse2, add_sse2};

}  // namespace

const PixelKernels* pixel_kernels_sse2() { return &kSse2; }

#else

const PixelKernels* pixel_kernels_sse2() { return nullptr; }

#endif
