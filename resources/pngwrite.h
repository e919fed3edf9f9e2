// pngwrite: 8-bit RGB PNG files and PNG bytes in memory, always with the
// same settings and no ancillary chunk (no time, no text), so the same
// pixels give the same bytes: frames of the capture tool, windows of the
// blob viewer, pictures made by tests and the party kit's pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Files: zlib level kPngFileLevel and libpng's choice of filter for each
// row. Bytes in memory: the Paeth filter on every row and zlib's run-length
// strategy, six times faster than level 6 with adaptive filters for a tenth
// more bytes on the kit's pictures.
constexpr int kPngFileLevel = 3;
constexpr int kPngEncodeLevel = 6;

// Writes 0x00RRGGBB pixels, rows width pixels apart. Returns false and sets
// error on failure.
bool png_write_rgb(const char* path, const uint32_t* pixels, int width, int height,
                   std::string& error);

// Encodes width x height pixels of 3 bytes (red, green, blue; rows top to
// bottom without padding) into out. Returns false and sets error on failure
// (a size of zero or beyond PNG's limits among them).
bool png_encode_rgb(const uint8_t* rgb, int width, int height, std::vector<uint8_t>& out,
                    std::string& error);
