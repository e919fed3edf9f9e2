// memdecode: see memdecode.h.
#include "resources/memdecode.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kJpegSignature[] = {0xFF, 0xD8, 0xFF};

bool size_allowed(uint64_t width, uint64_t height, std::string& error) {
  if (width == 0 || height == 0 || width > kMemdecodeMaxSide || height > kMemdecodeMaxSide ||
      width * height > kMemdecodeMaxPixels) {
    error = std::to_string(width) + " x " + std::to_string(height) +
            " pixels, larger than a picture may be (" + std::to_string(kMemdecodeMaxSide) +
            " pixels a side)";
    return false;
  }
  return true;
}

// libpng reads from the bytes through this cursor.
struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t at;
};

void png_from_memory(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (n > src->size - src->at) png_error(png, "truncated picture");
  std::memcpy(out, src->data + src->at, n);
  src->at += n;
}

void png_quiet(png_structp, png_const_charp) {}

// Keeps libpng's message for the organiser, then jumps back to png_rows.
void png_quiet_error(png_structp png, png_const_charp message) {
  auto* reason = static_cast<std::string*>(png_get_error_ptr(png));
  if (reason) *reason = message;
  png_longjmp(png, 1);
}

// Header, transformations to 8-bit RGB and rows; libpng errors jump out.
bool png_rows(png_structp png, png_infop info, PngSource& src, MemPicture& out,
              std::string& error) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &src, png_from_memory);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (!size_allowed(width, height, error)) return false;
  // Every colour type and depth to 8-bit RGB; alpha is dropped, the colour
  // kept as stored.
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_palette_to_rgb(png);
  png_set_expand_gray_1_2_4_to_8(png);
  png_set_gray_to_rgb(png);
  png_set_strip_alpha(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3)
    png_error(png, "unexpected row layout");
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 r = 0; r < height; ++r)
      png_read_row(png, &out.rgb[static_cast<size_t>(r) * width * 3], nullptr);
  png_read_end(png, nullptr);
  return true;
}

bool decode_png(const uint8_t* data, size_t size, MemPicture& out, std::string& error) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet_error, png_quiet);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  PngSource src{data, size, 0};
  std::string reason;
  if (png) png_set_error_fn(png, &reason, png_quiet_error, png_quiet);
  const bool ok = info && png_rows(png, info, src, out, error);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok && error.empty()) error = "a damaged PNG picture (" + reason + ")";
  if (!ok) out = MemPicture();
  return ok;
}

// libjpeg's errors come back here as a message instead of ending the run.
struct JpegGuard {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void jpeg_fail(j_common_ptr info) {
  auto* guard = reinterpret_cast<JpegGuard*>(info->err);
  info->err->format_message(info, guard->message);
  std::longjmp(guard->jump, 1);
}

void jpeg_quiet(j_common_ptr, int) {}

// Reads header and rows; libjpeg errors jump out with the message set.
bool jpeg_rows(jpeg_decompress_struct& info, JpegGuard& guard, const uint8_t* data, size_t size,
               MemPicture& out, std::string& error) {
  if (setjmp(guard.jump)) return false;
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  if (!size_allowed(info.image_width, info.image_height, error)) return false;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = &out.rgb[static_cast<size_t>(info.output_scanline) * out.width * 3];
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  return true;
}

bool decode_jpeg(const uint8_t* data, size_t size, MemPicture& out, std::string& error) {
  jpeg_decompress_struct info;
  JpegGuard guard;
  guard.message[0] = '\0';
  info.err = jpeg_std_error(&guard.manager);
  guard.manager.error_exit = jpeg_fail;
  guard.manager.emit_message = jpeg_quiet;
  jpeg_create_decompress(&info);
  const bool ok = jpeg_rows(info, guard, data, size, out, error);
  jpeg_destroy_decompress(&info);
  if (!ok && error.empty()) error = std::string("a damaged JPEG picture (") + guard.message + ")";
  if (!ok) out = MemPicture();
  return ok;
}

}  // namespace

std::string memdecode_kind(const uint8_t* data, size_t size) {
  if (size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0)
    return "PNG";
  if (size >= sizeof kJpegSignature &&
      std::memcmp(data, kJpegSignature, sizeof kJpegSignature) == 0)
    return "JPEG";
  return "";
}

bool memdecode_rgb(const uint8_t* data, size_t size, MemPicture& out, std::string& error) {
  out = MemPicture();
  error.clear();
  const std::string kind = memdecode_kind(data, size);
  if (kind == "PNG") return decode_png(data, size, out, error);
  if (kind == "JPEG") return decode_jpeg(data, size, out, error);
  error = "neither a PNG nor a JPEG picture";
  return false;
}
