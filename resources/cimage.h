// cimage: the picture record and the loader that dispatches by extension.
//
// load lower-cases the caller's (writable) name in place, picks the decoder
// by the last four characters (".tga", ".png", ".jpg", ".bmp", ".raw",
// ".pcx") and fills the record; PNG pixels get red and blue swapped so that
// every picture is blue, green, red [, fourth byte]. to32 widens 24- and
// 16-bit data to 32-bit pixels 0x00RRGGBB. A bad file ends the process
// through error_report; an unknown extension returns false.
#pragma once

#include <cstdint>

enum cimage_kind : int32_t {
  kImageRaw = 0,
  kImageBmp = 1,
  kImageTga = 2,
  kImagePcx = 3,
  kImagePng = 4,
  kImageJpeg = 5,
};

struct cimage {
  int32_t height = 0;
  int32_t width = 0;
  int32_t bpp = 0;
  int32_t kind = 0;
  uint32_t size = 0;
  uint8_t* pixels = nullptr;  // a memory-pool block of size bytes

  bool load(char* name);
  void to32();
};
