// Fuzz target: bytes as an organiser's picture (logo, loading screen, icon),
// decoded from memory as PNG or JPEG. Decoding either refuses it with a
// reason or gives a picture whose pixel bytes match its size.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "resources/memdecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemPicture picture;
  std::string error;
  if (!memdecode_rgb(data, size, picture, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<size_t>(picture.width) * picture.height * 3) {
    std::abort();
  }
  return 0;
}
