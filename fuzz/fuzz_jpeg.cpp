// Fuzz target for the JPEG path of cimage::load (see picture_target.h).
#include "picture_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_picture("jpeg", "fuzz.jpg", 0, data, size);
}
