// Fuzz target for the RAW path of cimage::load (see picture_target.h).
#include "picture_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_picture("raw", "fuzz.raw", 0, data, size);
}
