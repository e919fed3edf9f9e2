// Fuzz target for the PNG path of cimage::load: the input becomes the entry
// "fuzz.png" of an archive in a private folder, the way the program reads its
// pictures, and is loaded and widened. Error reports return instead of ending
// the process, so a damaged file must leave the record empty with nothing
// allocated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "private_folder.h"
#include "resources/cimage.h"
#include "resources/mempool.h"
#include "resources/pak.h"
#include "resources/pakwrite.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = private_folder("png") + "/pak.pak";
  const std::vector<uint8_t> bytes = pak_build({{"fuzz.png", std::vector<uint8_t>(data, data + size)}});
  write_input(archive, bytes.data(), bytes.size());
  if (pak_open(archive.c_str()) != pak_status::opened) std::abort();

  const uint32_t blocks = g_pool->used;
  char name[] = "fuzz.png";
  cimage picture;
  if (picture.load(name)) {
    picture.to32();
    mempool_free(picture.pixels);
  } else if (picture.pixels || picture.size || g_pool->used != blocks) {
    std::abort();  // a failed load must leave nothing behind
  }
  pak_close();
  return 0;
}
