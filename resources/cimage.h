// cimage: the picture record and the loader that dispatches by extension.
//
// load lower-cases the caller's (writable) name in place, picks the decoder
// by the last four characters (".tga", ".png", ".jpg", ".bmp", ".raw",
// ".pcx"; anything else, a name shorter than four characters included, is an
// unknown type: a log line, false, the record untouched) and fills the
// record. PNG pixels get their first and third bytes swapped (24 and 32 bits
// per pixel) so that every picture is blue, green, red [, fourth byte]. A bad
// file ends the process through error_report; only while report_returns is
// set does load return false for it instead, with the record untouched.
//
// to32 widens the pixel block to 4 bytes per pixel (0x00RRGGBB for 24-bit
// data): 24 bits per pixel become (b0, b1, b2, 0); 16 bits per pixel use the
// low byte L of each little-endian value only: ((L * 8) mod 256,
// ((L & 0xE0) * 4) mod 256, 0, 0). Other depths stay as they are; bpp keeps
// the decoder's value, only pixels and size change.
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
  int32_t bpp = 0;   // bits per pixel as the decoder delivered them
  int32_t kind = 0;  // a cimage_kind
  uint32_t size = 0;
  uint8_t* pixels = nullptr;  // a memory-pool block of size bytes, rows one after another

  bool load(char* name);
  void to32();
};
