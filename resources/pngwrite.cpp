// pngwrite: see pngwrite.h.
#include "resources/pngwrite.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>

namespace {

constexpr int kMaxSide = 1 << 20;

// rle false keeps libpng's own zlib strategy.
struct Settings {
  int level;
  int filters;
  bool rle;
};
constexpr Settings kFileSettings{kPngFileLevel, PNG_ALL_FILTERS, false};
constexpr Settings kMemorySettings{kPngEncodeLevel, PNG_FILTER_PAETH, true};

void append(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void no_flush(png_structp) {}

// Rows are width x 3 bytes apart; libpng errors jump back here.
bool encode_guarded(png_structp png, png_infop info, const uint8_t* rgb, int width, int height,
                    const Settings& settings, std::vector<uint8_t>& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, append, no_flush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, settings.level);
  if (settings.rle) png_set_compression_strategy(png, Z_RLE);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, settings.filters);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, const_cast<png_bytep>(rgb + static_cast<size_t>(y) * width * 3));
  png_write_end(png, nullptr);
  return true;
}

bool encode(const uint8_t* rgb, int width, int height, const Settings& settings,
            std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    error = "picture size " + std::to_string(width) + " x " + std::to_string(height) +
            " cannot be written as PNG";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && encode_guarded(png, info, rgb, width, height, settings, out);
  png_destroy_write_struct(&png, &info);
  if (!ok) {
    out.clear();
    error = info ? "libpng failed encoding a picture" : "libpng cannot create its write structures";
  }
  return ok;
}

}  // namespace

bool png_encode_rgb(const uint8_t* rgb, int width, int height, std::vector<uint8_t>& out,
                    std::string& error) {
  return encode(rgb, width, height, kMemorySettings, out, error);
}

bool png_write_rgb(const char* path, const uint32_t* pixels, int width, int height,
                   std::string& error) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0) *
                           3);
  for (size_t i = 0; i < rgb.size() / 3; ++i) {
    rgb[i * 3 + 0] = static_cast<uint8_t>(pixels[i] >> 16);
    rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
  }
  std::vector<uint8_t> bytes;
  if (!encode(rgb.data(), width, height, kFileSettings, bytes, error)) return false;
  FILE* file = std::fopen(path, "wb");
  if (!file) {
    error = std::string("cannot create ") + path;
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (std::fclose(file) != 0 || !written) {
    error = std::string("cannot finish ") + path;
    return false;
  }
  return true;
}
