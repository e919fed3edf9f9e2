// The body shared by the picture decoders' fuzz targets: the input becomes
// the only entry of an archive in a private folder, the way the program
// reads its pictures, and is loaded through cimage::load and widened. Error
// reports return instead of ending the process, so a refused file must leave
// the record empty and the pool as it was. Pictures are limited to
// kFuzzPictureBytes, so that inputs claiming huge sizes stay quick (the limit
// logic is the same at any size). A loaded picture may leave at most
// `kept` blocks of its own besides the pixels (the PCX palette); they are
// released here so that a long run does not grow the pool.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "private_folder.h"
#include "resources/cimage.h"
#include "resources/decodekit.h"
#include "resources/mempool.h"
#include "resources/pak.h"
#include "resources/pakwrite.h"

constexpr uint32_t kFuzzPictureBytes = 4u << 20;

inline int fuzz_picture(const char* target, const char* entry, uint32_t kept, const uint8_t* data, size_t size) {
  const std::string archive = private_folder(target) + "/pak.pak";
  picture_limit_lower(kFuzzPictureBytes);
  const std::vector<uint8_t> bytes = pak_build({{entry, std::vector<uint8_t>(data, data + size)}});
  write_input(archive, bytes.data(), bytes.size());
  if (pak_open(archive.c_str()) != pak_status::opened) std::abort();

  const uint32_t blocks = g_pool->used;
  std::vector<char> name(entry, entry + std::string(entry).size() + 1);
  cimage picture;
  if (picture.load(name.data())) {
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0) std::abort();
    picture.to32();
    mempool_free(picture.pixels);
    if (g_pool->used > blocks + kept) std::abort();
    while (g_pool->used > blocks) mempool_free(reinterpret_cast<void*>(g_pool->cells[g_pool->used - 1].id));
  } else if (picture.pixels || picture.size || g_pool->used != blocks) {
    std::abort();  // a failed load must leave nothing behind
  }
  pak_close();
  return 0;
}
