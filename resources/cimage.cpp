// cimage: see cimage.h.
#include "resources/cimage.h"

#include <cstring>

#include "resources/decoders.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {

constexpr size_t kExtensionChars = 4;

struct decoder {
  const char* extension;
  bool (*load)(const char* name, cimage& out);
  bool red_first;  // delivers red, green, blue: swapped to blue first after loading
};

// Compared with the name's last four characters, in this order.
constexpr decoder kDecoders[] = {
    {".tga", load_tga, false}, {".png", load_png, true},  {".jpg", load_jpg, false},
    {".bmp", load_bmp, false}, {".raw", load_raw, false}, {".pcx", load_pcx, false},
};

// Only "A" to "Z" change; bytes of 128 and above stay.
void lower_case(char* name) {
  for (char* c = name; *c; ++c) {
    if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
  }
}

const decoder* decoder_for(const char* name) {
  const size_t n = std::strlen(name);
  if (n < kExtensionChars) return nullptr;
  for (const decoder& d : kDecoders) {
    if (std::memcmp(name + n - kExtensionChars, d.extension, kExtensionChars) == 0) return &d;
  }
  return nullptr;
}

// Swaps the first and third byte of every 24- or 32-bit pixel.
void swap_red_blue(cimage& pic) {
  uint32_t step = 0;
  if (pic.bpp == 24) step = 3;
  if (pic.bpp == 32) step = 4;
  if (step == 0) return;
  const uint32_t groups = pic.size / step;
  for (uint32_t i = 0; i < groups; ++i) {
    uint8_t* p = pic.pixels + i * step;
    const uint8_t first = p[0];
    p[0] = p[2];
    p[2] = first;
  }
}

}  // namespace

bool cimage::load(char* name) {
  lower_case(name);
  const decoder* d = decoder_for(name);
  if (!d) {
    LOGW("cimage: tried to load a UNKNOWN image type!\n");
    return false;
  }
  cimage decoded;
  if (!d->load(name, decoded)) return false;
  *this = decoded;
  if (d->red_first) swap_red_blue(*this);
  return true;
}

void cimage::to32() {
  if (bpp != 24 && bpp != 16) return;
  const uint32_t n = bpp == 24 ? size / 3 : size / 2;
  // A block whose widened size would not fit the 32-bit size stays as it is.
  if (n > UINT32_MAX / 4) return;
  auto* wide = static_cast<uint8_t*>(mempool_alloc(4 * n));
  if (!wide) return;
  for (uint32_t i = 0; i < n; ++i) {
    uint8_t* d = wide + 4 * i;
    if (bpp == 24) {
      const uint8_t* s = pixels + 3 * i;
      d[0] = s[0];
      d[1] = s[1];
      d[2] = s[2];
      d[3] = 0;
    } else {
      // Only the low byte of the little-endian 16-bit value takes part.
      const uint8_t low = pixels[2 * i];
      d[0] = static_cast<uint8_t>(low * 8);
      d[1] = static_cast<uint8_t>((low & 0xE0) * 4);
      d[2] = 0;
      d[3] = 0;
    }
  }
  mempool_free(pixels);
  pixels = wide;
  size = 4 * n;
}
