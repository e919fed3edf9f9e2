// jpegwrite: JPEG bytes in memory over libjpeg-turbo (see jpegwrite.h).
#include "resources/jpegwrite.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to the encoder with the message kept.
struct ErrorJump {
  jpeg_error_mgr manager;
  std::jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

void jump_back(j_common_ptr info) {
  ErrorJump* jump = reinterpret_cast<ErrorJump*>(info->err);
  (*info->err->format_message)(info, jump->message);
  std::longjmp(jump->back, 1);
}

}  // namespace

bool jpeg_encode_rgb(const uint8_t* rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                     std::string& error) {
  if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION) {
    error = "a JPEG picture cannot have that size";
    return false;
  }
  jpeg_compress_struct info{};
  ErrorJump jump{};
  info.err = jpeg_std_error(&jump.manager);
  jump.manager.error_exit = jump_back;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(jump.back)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    error = std::string("libjpeg: ") + jump.message;
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  out.assign(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return true;
}
