// pixel_kernels: see pixel_kernels.h. The plain path and the run-time choice.
#include "gfx2d/pixel_kernels.h"

namespace {

// The formulas one byte at a time. Products and sums are reduced modulo 65536
// as 16-bit lanes would reduce them; the shifted result always fits a byte, so
// the unsigned saturation of the packing step never acts.
void blend_plain(const uint8_t* src, uint8_t* dst, uint32_t f, size_t pairs) {
  const uint32_t fw = f & 0xFFFF;
  const uint32_t gw = (256 - fw) & 0xFFFF;
  for (size_t i = 0; i < pairs * 8; ++i) {
    dst[i] = static_cast<uint8_t>(((src[i] * fw + dst[i] * gw) & 0xFFFF) >> 8);
  }
}

void fade_plain(uint8_t* buffer, uint64_t factor, size_t pairs) {
  for (size_t i = 0; i < pairs * 8; ++i) {
    const uint32_t m = static_cast<uint32_t>(factor >> (16 * (i % 4))) & 0xFFFF;
    buffer[i] = static_cast<uint8_t>(((buffer[i] * m) & 0xFFFF) >> 8);
  }
}

void add_plain(const uint8_t* src, uint8_t* dst, size_t pixels) {
  for (size_t i = 0; i < pixels * 4; ++i) {
    const unsigned sum = dst[i] + src[i];
    dst[i] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
  }
}

constexpr PixelKernels kPlain = {"plain", blend_plain, fade_plain, add_plain};

const PixelKernels* fastest() {
  if (const PixelKernels* k = pixel_kernels_avx2()) return k;
  if (const PixelKernels* k = pixel_kernels_sse2()) return k;
  if (const PixelKernels* k = pixel_kernels_simd128()) return k;
  return &kPlain;
}

// Chosen on first use, not during static initialisation, so operations
// called from other static constructors find it set.
const PixelKernels* active = nullptr;

}  // namespace

const PixelKernels* pixel_kernels(PixelPath path) {
  switch (path) {
    case PixelPath::Plain: return &kPlain;
    case PixelPath::Sse2: return pixel_kernels_sse2();
    case PixelPath::Avx2: return pixel_kernels_avx2();
    case PixelPath::Simd128: return pixel_kernels_simd128();
  }
  return nullptr;
}

const PixelKernels& pixel_kernels_active() {
  if (active == nullptr) active = fastest();
  return *active;
}

bool pixel_kernels_select(PixelPath path) {
  const PixelKernels* k = pixel_kernels(path);
  if (k == nullptr) return false;
  active = k;
  return true;
}
