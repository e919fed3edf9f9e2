// pixel_kernels: the inner loops of the blend, fade and saturating add, in
// every form this build and processor can run, and the choice among them.
//
// Four paths give the same bytes for every input: plain (one byte at a time,
// the formulas written out; the reference the others are tested against),
// SSE2 (baseline on x86-64), AVX2 (compiled for that target only inside its
// functions and chosen at run time when the processor has it, so the program
// stays portable) and WebAssembly SIMD (the browser build, which is compiled
// with it). The first use picks the fastest available path; tests and
// benchmarks may select another. Kernels work on raw bytes, never allocate,
// and leave every byte past their run untouched.
#pragma once

#include <cstddef>
#include <cstdint>

struct PixelKernels {
  const char* name;
  // Per byte: d = (((s * f + d * (256 - f)) mod 65536) >> 8), f and 256 - f
  // taken modulo 65536, over pairs x 8 bytes.
  void (*blend)(const uint8_t* src, uint8_t* dst, uint32_t f, size_t pairs);
  // Per byte at position k of its pixel: c = ((c * m_k) mod 65536) >> 8, m_k
  // the k-th 16-bit word of factor (lowest word for byte 0), over pairs x 8 bytes.
  void (*fade)(uint8_t* buffer, uint64_t factor, size_t pairs);
  // Per byte: d = min(255, d + s), over pixels x 4 bytes.
  void (*add)(const uint8_t* src, uint8_t* dst, size_t pixels);
};

enum class PixelPath { Plain, Sse2, Avx2, Simd128 };
constexpr int kPixelPaths = 4;

// The kernels of one path, or nullptr when this build or processor cannot run it.
const PixelKernels* pixel_kernels(PixelPath path);
// The kernels the pixel operations use now.
const PixelKernels& pixel_kernels_active();
// Makes path the one the pixel operations use; false (and no change) when it
// cannot run here.
bool pixel_kernels_select(PixelPath path);

// Where pixel_kernels finds the SIMD tables: each is defined beside its
// kernels and answers nullptr where it is not built or cannot run.
const PixelKernels* pixel_kernels_sse2();
const PixelKernels* pixel_kernels_avx2();
const PixelKernels* pixel_kernels_simd128();
