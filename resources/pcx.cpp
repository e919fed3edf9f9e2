// pcx: load_pcx, the decoder of run-length encoded PCX pictures (declared in
// decoders.h), kind 3.
//
// The 128-byte header (16-bit fields little-endian) gives the picture's
// corners and the plane count; the rest of the file is the encoded data,
// read whole and unpacked with one running position: a byte of 192 or more
// repeats the next byte (b - 192) times, any other byte is one pixel byte.
//   - One plane: one palette index per pixel, bpp 8. When the byte that
//     follows the pixels is 12, the 768 palette bytes after it are copied
//     into a pool block of their own that the record does not carry and that
//     stays allocated.
//   - Three planes: each row holds a red, a green and a blue plane row; the
//     pixels are delivered blue, green, red, bpp 24.
// A row is width bytes, unless the header's bytes per line is larger: then
// each row of that many bytes is unpacked and its first width bytes kept
// (with one plane and bytes per line not above the width, the picture is
// one stream of width x height bytes). A run that passes the end of a row
// (or of a one-stream picture) stops there; data that ends early leaves the
// remaining pixels zero.
//
// A file whose first byte is not 10, a plane count other than 1 or 3, and
// corners that give an empty picture or one outside the decodekit limits end
// the run through error_report. At most kPcxMaxEncoded bytes of encoded data
// are read.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "resources/cfile.h"
#include "resources/decodekit.h"
#include "resources/decoders.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {

constexpr uint32_t kPcxHeaderBytes = 128;
constexpr uint8_t kPcxManufacturer = 10;
constexpr uint8_t kPcxRunFlag = 192;
constexpr uint8_t kPcxPaletteMark = 12;
constexpr uint32_t kPcxPaletteBytes = 768;
// Every pixel byte of the largest picture as a two-byte run, then the
// palette with its mark: no picture within the limits needs more.
constexpr uint32_t kPcxMaxEncoded = 2 * kPictureMaxBytes + 1 + kPcxPaletteBytes;

struct pcx_header {
  uint8_t manufacturer;
  uint8_t version;
  uint8_t encoding;
  uint8_t bits;
  uint16_t xmin;
  uint16_t ymin;
  uint16_t xmax;
  uint16_t ymax;
  uint16_t xres;
  uint16_t yres;
  uint8_t planes;
  uint16_t bytes_per_line;
  uint16_t palette_info;
};

pcx_header parse_header(const uint8_t* b) {
  pcx_header h;
  h.manufacturer = b[0];
  h.version = b[1];
  h.encoding = b[2];
  h.bits = b[3];
  h.xmin = u16_at(b, 4);
  h.ymin = u16_at(b, 6);
  h.xmax = u16_at(b, 8);
  h.ymax = u16_at(b, 10);
  h.xres = u16_at(b, 12);
  h.yres = u16_at(b, 14);
  h.planes = b[65];
  h.bytes_per_line = u16_at(b, 66);
  h.palette_info = u16_at(b, 68);
  return h;
}

void log_header(const pcx_header& h) {
  LOGW("%d\n", h.manufacturer);
  LOGW("%d\n", h.xres);
  LOGW("%d\n", h.yres);
  LOGW("%d\n", h.palette_info);
  LOGW("KORAL_image->pcxinfo: version: %d\n", h.version);
  LOGW("KORAL_image->pcxinfo: encoding: %d\n", h.encoding);
  LOGW("KORAL_image->pcxinfo: bpp: %d\n", h.bits);
  LOGW("KORAL_image->pcxinfo: xmax: %d\n", h.xmax);
  LOGW("KORAL_image->pcxinfo: ymax: %d\n", h.ymax);
  LOGW("KORAL_image->pcxinfo: bytes per line: %d\n", h.bytes_per_line);
  LOGW("KORAL_image->pcxinfo: planes: %d\n", h.planes);
}

// The encoded data and the running position in it.
struct rle_stream {
  const uint8_t* data;
  uint32_t size;
  uint32_t pos;
};

// Unpacks length bytes, storing the first keep of them at out. A run that
// passes length stops there; when the data ends first (a run byte without
// its value included), the rest of out is left as it was.
void unpack(rle_stream& in, uint8_t* out, uint32_t keep, uint32_t length) {
  uint32_t produced = 0;
  while (produced < length && in.pos < in.size) {
    const uint8_t b = in.data[in.pos];
    uint32_t count = 1;
    uint8_t value = b;
    if (b >= kPcxRunFlag) {
      if (in.size - in.pos < 2) {
        in.pos = in.size;
        return;
      }
      count = b - kPcxRunFlag;
      value = in.data[in.pos + 1];
      in.pos += 2;
    } else {
      in.pos += 1;
    }
    const uint32_t n = std::min(count, length - produced);
    if (produced < keep) std::memset(out + produced, value, std::min(n, keep - produced));
    produced += n;
  }
}

// Everything one decode holds; released by finish whatever happened.
struct pcx_job {
  uint8_t* encoded = nullptr;
  uint8_t* pixels = nullptr;
  uint8_t* lines[3] = {nullptr, nullptr, nullptr};
};

void release(uint8_t*& block) {
  if (block) mempool_free(block);
  block = nullptr;
}

void finish(pcx_job& job) {
  release(job.encoded);
  for (uint8_t*& line : job.lines) release(line);
}

// One plane: the picture as one stream, or row by row when the file's rows
// are longer than the picture's.
bool unpack_indexed(pcx_job& job, rle_stream& in, const pcx_header& h, uint32_t width, uint32_t height) {
  const uint32_t total = width * height;
  job.pixels = picture_block(total);
  if (!job.pixels) return false;
  if (h.bytes_per_line <= width) {
    unpack(in, job.pixels, total, total);
  } else {
    for (uint32_t y = 0; y < height; ++y) unpack(in, job.pixels + y * width, width, h.bytes_per_line);
  }
  if (in.pos < in.size && in.data[in.pos] == kPcxPaletteMark) {
    const uint32_t available = std::min(in.size - in.pos - 1, kPcxPaletteBytes);
    uint8_t* palette = picture_block(kPcxPaletteBytes);
    if (!palette) return false;
    std::memcpy(palette, in.data + in.pos + 1, available);
  }
  return true;
}

// Three planes: red, green and blue rows into blue, green, red pixels.
bool unpack_planar(pcx_job& job, rle_stream& in, const pcx_header& h, uint32_t width, uint32_t height) {
  job.pixels = picture_block(3 * width * height);
  if (!job.pixels) return false;
  for (uint8_t*& line : job.lines) {
    line = picture_block(width);
    if (!line) return false;
  }
  const uint32_t row_length = std::max<uint32_t>(width, h.bytes_per_line);
  for (uint32_t y = 0; y < height; ++y) {
    LOGW("line: %d\n", static_cast<int>(y));
    for (uint8_t* line : job.lines) {
      std::memset(line, 0, width);
      unpack(in, line, width, row_length);
    }
    uint8_t* row = job.pixels + 3 * width * y;
    for (uint32_t x = 0; x < width; ++x) {
      row[3 * x] = job.lines[2][x];
      row[3 * x + 1] = job.lines[1][x];
      row[3 * x + 2] = job.lines[0][x];
    }
  }
  return true;
}

}  // namespace

bool load_pcx(const char* name, cimage& out) {
  cfile file;
  file.open(name, "rb");
  if (!file.stream) return false;
  uint8_t raw[kPcxHeaderBytes] = {};
  file.read(raw, kPcxHeaderBytes);
  const pcx_header h = parse_header(raw);

  if (h.manufacturer != kPcxManufacturer) {
    file.close();
    LOGW("KORL_image->pcx: File %s is not a pcx image!\n", name);
    return refuse_picture("KORL_image->pcx:File %s is not a pcx image!\n", name);
  }
  log_header(h);
  const int64_t width = int64_t{h.xmax} - h.xmin + 1;
  const int64_t height = int64_t{h.ymax} - h.ymin + 1;
  if (h.planes != 1 && h.planes != 3) {
    file.close();
    LOGW("KORL_image->pcx: wrong bpp number in %s image!\n", name);
    return refuse_picture("KORAL_image->pcx: wrong bpp number!\n");
  }
  const uint32_t size = picture_size(width, height, 8u * h.planes);
  if (size == 0) {
    file.close();
    return refuse_picture("KORAL_image->pcx: File %s has a picture size of %lld x %lld that cannot be loaded!\n",
                          name, static_cast<long long>(width), static_cast<long long>(height));
  }

  const auto encoded_size = static_cast<uint32_t>(std::min<uint64_t>(picture_remaining(file), kPcxMaxEncoded));
  pcx_job job;
  job.encoded = picture_read(file, encoded_size);
  file.close();
  if (!job.encoded) return false;
  rle_stream in{job.encoded, encoded_size, 0};
  const auto w = static_cast<uint32_t>(width);
  const auto ht = static_cast<uint32_t>(height);
  const bool done = h.planes == 1 ? unpack_indexed(job, in, h, w, ht) : unpack_planar(job, in, h, w, ht);
  finish(job);
  if (!done) {
    release(job.pixels);
    return false;
  }
  out.width = static_cast<int32_t>(w);
  out.height = static_cast<int32_t>(ht);
  out.bpp = 8 * h.planes;
  out.kind = kImagePcx;
  out.size = size;
  out.pixels = job.pixels;
  return true;
}
