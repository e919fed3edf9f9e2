// bmp: load_bmp, the decoder of uncompressed Windows bitmaps (declared in
// decoders.h), kind 1.
//
// Reads the 14-byte file header and the info header (40 bytes or one of its
// longer successors): width and height signed 32-bit at offsets 18 and 22,
// the bit count at 28, the compression at 30, the pixel data from the file
// header's data offset (at 10). Each file row is padded to a multiple of four
// bytes; the delivered rows are not, and they run top to bottom whatever the
// file's order (a negative height marks a top-down file, a positive one the
// common bottom-up file); height is the number of rows. Pixel bytes stay as
// the file has them: blue, green, red at 24 bits, palette indices at 8 (the
// colour table is not read). Other bit counts are logged and loaded all the
// same, rows of ceil(width x bits / 8) bytes, and the record says 8 bits.
//
// A file that does not start with "BM" or has an info header shorter than 40
// bytes, a compressed file (anything but plain and bit-field pixels), and a
// width or height of zero, below zero or outside the decodekit limits end
// the run through error_report naming the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "resources/cfile.h"
#include "resources/decodekit.h"
#include "resources/decoders.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {

constexpr uint32_t kBmpHeadersBytes = 54;  // file header 14, info header 40
constexpr uint32_t kBmpMinInfoBytes = 40;
constexpr uint32_t kBmpPlain = 0;      // BI_RGB
constexpr uint32_t kBmpBitFields = 3;  // BI_BITFIELDS: plain pixels, channel masks in the header
constexpr uint32_t kBmpRowAlign = 4;

struct bmp_header {
  bool signature;  // starts with "BM"
  uint32_t data_offset;
  uint32_t info_bytes;
  int32_t width;
  int32_t height;
  uint16_t bit_count;
  uint32_t compression;
};

bmp_header parse_header(const uint8_t* b) {
  bmp_header h;
  h.signature = b[0] == 'B' && b[1] == 'M';
  h.data_offset = u32_at(b, 10);
  h.info_bytes = u32_at(b, 14);
  h.width = static_cast<int32_t>(u32_at(b, 18));
  h.height = static_cast<int32_t>(u32_at(b, 22));
  h.bit_count = static_cast<uint16_t>(b[28] | b[29] << 8);
  h.compression = u32_at(b, 30);
  return h;
}

// Copies the file's padded rows (as many bytes as arrived) into the picture
// without padding, the last file row first for a bottom-up file.
void unpad_rows(const uint8_t* file_rows, uint32_t arrived, uint32_t stride, uint8_t* pixels, uint32_t row_bytes,
                uint32_t rows, bool top_down) {
  for (uint32_t i = 0; i < rows; ++i) {
    const uint64_t start = static_cast<uint64_t>(i) * stride;
    if (start >= arrived) break;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(row_bytes, arrived - start));
    const uint32_t y = top_down ? i : rows - 1 - i;
    std::memcpy(pixels + static_cast<size_t>(y) * row_bytes, file_rows + start, n);
  }
}

}  // namespace

bool load_bmp(const char* name, cimage& out) {
  cfile file;
  file.open(name, "rb");
  if (!file.stream) return false;
  uint8_t raw[kBmpHeadersBytes] = {};
  file.read(raw, kBmpHeadersBytes);
  const bmp_header h = parse_header(raw);

  if (!h.signature || h.info_bytes < kBmpMinInfoBytes) {
    file.close();
    return refuse_picture("KORAL_image: File %s is not a bitmap this loader reads!\n", name);
  }
  LOGW("KORAL_image: loading a bitmap %d x", h.width);
  LOGW(" %d y", h.height);
  LOGW(" %d bpp\n", h.bit_count);
  if (h.bit_count != 8 && h.bit_count != 24) {
    LOGW("KORAL_image: you were attempting to load a bitmap with\n");
    LOGW("KORAL_image: BitCount other than 8 or 24 FILE:%s!\n", name);
  }
  if (h.compression != kBmpPlain && h.compression != kBmpBitFields) {
    file.close();
    return refuse_picture("KORAL_image: bitmap %s is compressed (method %u), which this loader cannot read!\n", name,
                          h.compression);
  }
  const bool top_down = h.height < 0;
  const int64_t rows = std::llabs(static_cast<int64_t>(h.height));
  const uint32_t size = picture_size(h.width, rows, h.bit_count);
  if (size == 0) {
    file.close();
    return refuse_picture("KORAL_image: bitmap %s has a size of %d x %d at %d bpp that cannot be loaded!\n", name,
                          h.width, h.height, h.bit_count);
  }

  const auto row_count = static_cast<uint32_t>(rows);
  const uint32_t row_bytes = size / row_count;
  const uint32_t stride = (row_bytes + kBmpRowAlign - 1) / kBmpRowAlign * kBmpRowAlign;
  uint8_t* pixels = picture_block(size);
  if (!pixels) {
    file.close();
    return false;
  }
  file.seek(static_cast<long>(h.data_offset), SEEK_SET);
  const auto arrived =
      static_cast<uint32_t>(std::min<uint64_t>(picture_remaining(file), uint64_t{stride} * row_count));
  uint8_t* file_rows = picture_read(file, arrived);
  file.close();
  if (!file_rows) {
    mempool_free(pixels);
    return false;
  }
  unpad_rows(file_rows, arrived, stride, pixels, row_bytes, row_count, top_down);
  mempool_free(file_rows);

  out.width = h.width;
  out.height = static_cast<int32_t>(row_count);
  out.bpp = h.bit_count == 24 ? 24 : 8;
  out.kind = kImageBmp;
  out.size = size;
  out.pixels = pixels;
  return true;
}
