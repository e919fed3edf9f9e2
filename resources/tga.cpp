// tga: load_tga, the decoder of Targa pictures (declared in decoders.h),
// kind 2, bpp the file's pixel depth.
//
// The 18-byte header gives the image type, the colour map, width and height
// (unsigned 16-bit at 12 and 14), the pixel depth (16) and the descriptor
// (17). The identification field and any colour map are skipped; the pixels
// are delivered as the file stores them (blue, green, red [, alpha] at 24
// and 32 bits; palette indices for colour-mapped files, the map not read),
// ceil(depth / 8) bytes a pixel, rows top to bottom: a file whose descriptor
// bit 5 is clear stores its bottom row first and is turned over. Types 1, 2
// and 3 are plain pixels; their run-length twins 9, 10 and 11 are unpacked
// (a packet byte with bit 7 set repeats the next pixel (byte & 0x7F) + 1
// times, otherwise (byte + 1) pixels follow as they are; packets may run on
// from one row into the next). Data that ends early leaves zero pixels. The
// right-to-left bit (descriptor bit 4) is not honoured.
//
// Any other image type, and a width, height or depth of zero or outside the
// decodekit limits, end the run through error_report naming the file.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "resources/cfile.h"
#include "resources/decodekit.h"
#include "resources/decoders.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {

constexpr uint32_t kTgaHeaderBytes = 18;
constexpr uint8_t kTgaMapped = 1;
constexpr uint8_t kTgaTrueColour = 2;
constexpr uint8_t kTgaGrey = 3;
constexpr uint8_t kTgaRunLength = 8;  // added to a plain type for its run-length twin
constexpr uint8_t kTgaHasColourMap = 1;
constexpr uint8_t kTgaTopOrigin = 0x20;
constexpr uint8_t kTgaRunPacket = 0x80;
constexpr uint8_t kTgaPacketCount = 0x7F;

struct tga_header {
  uint8_t id_length;
  uint8_t map_type;
  uint8_t image_type;
  uint16_t map_length;
  uint8_t map_entry_bits;
  uint16_t width;
  uint16_t height;
  uint8_t depth;
  uint8_t descriptor;
};

tga_header parse_header(const uint8_t* b) {
  tga_header h;
  h.id_length = b[0];
  h.map_type = b[1];
  h.image_type = b[2];
  h.map_length = u16_at(b, 5);
  h.map_entry_bits = b[7];
  h.width = u16_at(b, 12);
  h.height = u16_at(b, 14);
  h.depth = b[16];
  h.descriptor = b[17];
  return h;
}

bool known_type(uint8_t type) {
  const uint8_t plain = type > kTgaRunLength ? static_cast<uint8_t>(type - kTgaRunLength) : type;
  return plain == kTgaMapped || plain == kTgaTrueColour || plain == kTgaGrey;
}

// Unpacks run-length packets of pixel_bytes-byte pixels until size bytes
// are filled or the data ends (the rest of out stays as it was).
void unpack(const uint8_t* in, uint32_t in_size, uint32_t pixel_bytes, uint8_t* out, uint32_t size) {
  uint32_t pos = 0, at = 0;
  while (at < size && pos < in_size) {
    const uint8_t packet = in[pos++];
    const uint32_t count = (packet & kTgaPacketCount) + 1u;
    const bool run = (packet & kTgaRunPacket) != 0;
    for (uint32_t i = 0; i < count && at < size; ++i) {
      if (in_size - pos < pixel_bytes) return;
      std::memcpy(out + at, in + pos, pixel_bytes);
      at += pixel_bytes;
      if (!run) pos += pixel_bytes;
    }
    if (run) pos += pixel_bytes;
  }
}

}  // namespace

bool load_tga(const char* name, cimage& out) {
  LOGW("cimage->tga: Loading a png picture - ");
  cfile file;
  file.open(name, "rb");
  if (!file.stream) return false;
  uint8_t raw[kTgaHeaderBytes] = {};
  file.read(raw, kTgaHeaderBytes);
  const tga_header h = parse_header(raw);

  if (!known_type(h.image_type)) {
    file.close();
    return refuse_picture("cimage->tga: %s is a Targa of type %d, which this loader cannot read!\n", name,
                          h.image_type);
  }
  const uint32_t pixel_bytes = (h.depth + 7u) / 8u;
  const uint32_t size = picture_size(h.width, h.height, 8 * pixel_bytes);
  if (size == 0) {
    file.close();
    return refuse_picture("cimage->tga: %s has a size of %d x %d at %d bpp that cannot be loaded!\n", name, h.width,
                          h.height, h.depth);
  }

  const uint32_t map_bytes = h.map_type == kTgaHasColourMap ? h.map_length * ((h.map_entry_bits + 7u) / 8u) : 0;
  file.seek(static_cast<long>(kTgaHeaderBytes + h.id_length + map_bytes), SEEK_SET);
  uint8_t* pixels = picture_block(size);
  if (!pixels) {
    file.close();
    return false;
  }
  const uint64_t remaining = picture_remaining(file);
  if (h.image_type > kTgaRunLength) {
    // At worst every pixel is a one-pixel packet: one byte more per pixel.
    const auto encoded_size = static_cast<uint32_t>(std::min<uint64_t>(remaining, uint64_t{size} * 2));
    uint8_t* encoded = picture_read(file, encoded_size);
    if (!encoded) {
      file.close();
      mempool_free(pixels);
      return false;
    }
    unpack(encoded, encoded_size, pixel_bytes, pixels, size);
    mempool_free(encoded);
  } else {
    file.read(pixels, static_cast<uint32_t>(std::min<uint64_t>(remaining, size)));
  }
  file.close();
  if (!(h.descriptor & kTgaTopOrigin)) picture_flip_rows(pixels, size / h.height, h.height);

  LOGW("sizex:%d ", h.width);
  LOGW("sizey:%d ", h.height);
  LOGW("size:%d ", static_cast<int>(size));
  LOGW("bpp:%d\n", h.depth);
  out.width = h.width;
  out.height = h.height;
  out.bpp = h.depth;
  out.kind = kImageTga;
  out.size = size;
  out.pixels = pixels;
  return true;
}
