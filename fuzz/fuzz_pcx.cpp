// Fuzz target for the PCX path of cimage::load (see picture_target.h); a
// loaded 8-bit picture may leave its palette block behind.
#include "picture_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_picture("pcx", "fuzz.pcx", 1, data, size);
}
