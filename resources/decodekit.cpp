// decodekit: see decodekit.h.
#include "resources/decodekit.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "resources/cfile.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {
uint32_t picture_limit = kPictureMaxBytes;
}

uint32_t picture_size(int64_t width, int64_t height, uint32_t bits_per_pixel) {
  if (width <= 0 || height <= 0 || bits_per_pixel == 0) return 0;
  if (width > kPictureMaxSide || height > kPictureMaxSide) return 0;
  // width <= 2^14 and bits_per_pixel < 2^32: the row fits 64 bits easily.
  const uint64_t row_bytes = (static_cast<uint64_t>(width) * bits_per_pixel + 7) / 8;
  if (row_bytes > picture_limit) return 0;
  const uint64_t bytes = row_bytes * static_cast<uint64_t>(height);
  if (bytes > picture_limit) return 0;
  return static_cast<uint32_t>(bytes);
}

void picture_limit_lower(uint32_t max_bytes) {
  picture_limit = std::min(max_bytes, kPictureMaxBytes);
}

uint8_t* picture_block(uint32_t size) {
  auto* block = static_cast<uint8_t*>(mempool_alloc(size));
  if (block) std::memset(block + (size & ~3u), 0, size & 3u);
  return block;
}

uint8_t* picture_read(cfile& file, uint32_t count) {
  uint8_t* block = picture_block(count);
  if (block) file.read(block, count);
  return block;
}

uint64_t picture_remaining(cfile& file) {
  const long at = file.tell();
  const long end = file.size();
  if (at < 0 || end <= at) return 0;
  return static_cast<uint64_t>(end - at);
}

void picture_flip_rows(uint8_t* block, uint32_t row_bytes, uint32_t rows) {
  for (uint32_t top = 0, bottom = rows; top + 1 < bottom; ++top, --bottom) {
    uint8_t* a = block + static_cast<size_t>(top) * row_bytes;
    uint8_t* b = block + static_cast<size_t>(bottom - 1) * row_bytes;
    std::swap_ranges(a, a + row_bytes, b);
  }
}

bool refuse_picture(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  error_report(text.data());
  return false;
}
