// pixel_avx2: the blend, fade and saturating add on 256-bit vectors (four
// pixel pairs per step), the same lane arithmetic as pixel_sse2.
//
// Only the functions below are compiled for AVX2 (target attribute); the rest
// of the program keeps the portable target, and this table is offered only
// when the processor reports AVX2.
#include "gfx2d/pixel_kernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#define VELMORA_AVX2 __attribute__((target("avx2")))

namespace {

// See blend_vec in pixel_sse2: d + hi8((s - d)*f mod 65536) per byte, even
// bytes in the low halves of the 16-bit lanes, odd bytes in the high halves.
// Good for every f.
struct BlendAnyWeight {
  __m256i f;
  VELMORA_AVX2 __m256i operator()(__m256i s, __m256i d) const {
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    const __m256i hi = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i even = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_and_si256(s, lo), _mm256_and_si256(d, lo)), f);
    const __m256i odd = _mm256_mullo_epi16(_mm256_sub_epi16(_mm256_srli_epi16(s, 8), _mm256_srli_epi16(d, 8)), f);
    return _mm256_add_epi8(d, _mm256_or_si256(_mm256_srli_epi16(even, 8), _mm256_and_si256(odd, hi)));
  }
};

// The same for f in 1..255 (every cross-fade step but the first and last),
// two thirds of the work. For such f no lane wraps, so the result is
// floor((s*f + d*g) / 256), g = 256 - f, which equals
//   d + floor((s - d)*f / 256)   and   s + floor((d - s)*g / 256).
// The form with the weight of at most 128 is taken; its product fits a signed
// 16-bit lane (|255 * 128| < 32768) and the floor is an arithmetic shift.
// Source and destination bytes are interleaved and one unsigned-by-signed byte
// multiply-add per lane forms the product from the weight pair (-w, w) or
// (w, -w). A signed byte weight stops at 127, so f = 128 takes (-64, 64) and
// shifts by 7. The floors lie in -128..127 (packing never saturates) and the
// base plus its floor is the result byte (the add never wraps).
template <bool kFromSource>
struct BlendByteWeight {
  __m256i weights;  // per 16-bit lane: the destination's weight in the low byte, the source's in the high
  __m128i shift;
  VELMORA_AVX2 __m256i operator()(__m256i s, __m256i d) const {
    const __m256i lo = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(d, s), weights);
    const __m256i hi = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(d, s), weights);
    const __m256i floors = _mm256_packs_epi16(_mm256_sra_epi16(lo, shift), _mm256_sra_epi16(hi, shift));
    return _mm256_add_epi8(kFromSource ? s : d, floors);
  }
};

VELMORA_AVX2 inline __m256i load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
VELMORA_AVX2 inline void store(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }

// A piece shorter than one vector is widened into a zeroed 32-byte block and
// its bytes copied back, so it takes the same arithmetic as the body.
template <class Op>
VELMORA_AVX2 void run_piece(const uint8_t* src, uint8_t* dst, size_t bytes, Op op) {
  alignas(32) uint8_t s[32] = {};
  alignas(32) uint8_t d[32] = {};
  std::memcpy(s, src, bytes);
  std::memcpy(d, dst, bytes);
  store(d, op(load(s), load(d)));
  std::memcpy(dst, d, bytes);
}

// dst = op(src, dst) vector by vector over bytes bytes. The first head bytes
// take the destination to a 32-byte boundary, so the body's stores (and,
// for equally placed buffers, its loads) never split a cache line.
template <class Op>
VELMORA_AVX2 void run(const uint8_t* src, uint8_t* dst, size_t bytes, size_t head, Op op) {
  size_t i = std::min(head, bytes);
  if (i > 0) run_piece(src, dst, i, op);
  for (; i + 64 <= bytes; i += 64) {
    const __m256i r0 = op(load(src + i), load(dst + i));
    const __m256i r1 = op(load(src + i + 32), load(dst + i + 32));
    store(dst + i, r0);
    store(dst + i + 32, r1);
  }
  for (; i + 32 <= bytes; i += 32) store(dst + i, op(load(src + i), load(dst + i)));
  if (i < bytes) run_piece(src + i, dst + i, bytes - i, op);
}

// Bytes from p to the next 32-byte boundary when they are a whole number of
// granules (the fade's multipliers repeat every pixel pair), else 0.
size_t head_bytes(const uint8_t* p, size_t granule) {
  const size_t head = (32 - reinterpret_cast<uintptr_t>(p) % 32) % 32;
  return head % granule == 0 ? head : 0;
}

// A lane of weight bytes: wd for the destination byte, ws for the source byte.
VELMORA_AVX2 __m256i weight_pair(int wd, int ws) {
  return _mm256_set1_epi16(static_cast<short>(((ws & 0xFF) << 8) | (wd & 0xFF)));
}

VELMORA_AVX2 void blend_avx2(const uint8_t* src, uint8_t* dst, uint32_t f, size_t pairs) {
  const int fw = static_cast<int>(f & 0xFFFF);
  const size_t bytes = pairs * 8;
  const size_t head = head_bytes(dst, 1);
  if (fw == 0) return;  // d' = (d * 256 mod 65536) >> 8 = d
  if (fw < 128) {
    run(src, dst, bytes, head, BlendByteWeight<false>{weight_pair(-fw, fw), _mm_cvtsi32_si128(8)});
  } else if (fw == 128) {
    run(src, dst, bytes, head, BlendByteWeight<false>{weight_pair(-64, 64), _mm_cvtsi32_si128(7)});
  } else if (fw < 256) {
    run(src, dst, bytes, head, BlendByteWeight<true>{weight_pair(256 - fw, fw - 256), _mm_cvtsi32_si128(8)});
  } else {
    run(src, dst, bytes, head, BlendAnyWeight{_mm256_set1_epi16(static_cast<short>(fw))});
  }
}

// See fade_vec in pixel_sse2; the source operand is the buffer itself.
struct Fade {
  __m256i me;  // multipliers of the even bytes: blue, red, blue, red, ...
  __m256i mo;  // of the odd bytes: green, fourth, ...
  VELMORA_AVX2 __m256i operator()(__m256i, __m256i c) const {
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    const __m256i hi = _mm256_set1_epi16(static_cast<short>(0xFF00));
    const __m256i even = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(c, lo), me), 8);
    const __m256i odd = _mm256_and_si256(_mm256_mullo_epi16(_mm256_srli_epi16(c, 8), mo), hi);
    return _mm256_or_si256(even, odd);
  }
};

VELMORA_AVX2 void fade_avx2(uint8_t* buffer, uint64_t factor, size_t pairs) {
  const auto word = [factor](int k) { return static_cast<short>((factor >> (16 * k)) & 0xFFFF); };
  const short m0 = word(0), m1 = word(1), m2 = word(2), m3 = word(3);
  const __m256i me = _mm256_set_epi16(m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0, m2, m0);
  const __m256i mo = _mm256_set_epi16(m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1, m3, m1);
  run(buffer, buffer, pairs * 8, head_bytes(buffer, 8), Fade{me, mo});
}

struct AddSaturated {
  VELMORA_AVX2 __m256i operator()(__m256i s, __m256i d) const { return _mm256_adds_epu8(d, s); }
};

VELMORA_AVX2 void add_avx2(const uint8_t* src, uint8_t* dst, size_t pixels) {
  run(src, dst, pixels * 4, head_bytes(dst, 1), AddSaturated{});
}

constexpr PixelKernels kAvx2 = {"avx2", blend_avx2, fade_avx2, add_avx2};

}  // namespace

const PixelKernels* pixel_kernels_avx2() {
  __builtin_cpu_init();  // harmless when already done; needed if asked before constructors ran
  return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

#else

const PixelKernels* pixel_kernels_avx2() { return nullptr; }

#endif
