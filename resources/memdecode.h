// memdecode: PNG and JPEG pictures decoded from bytes in memory (an
// organiser's pictures, the kit's base layers) into RGB bytes, over the
// system libpng and libjpeg. Unlike the program's loaders (cimage::load) it
// reads no file and never ends the run: a picture that cannot be decoded is
// a message.
//
// Output: width x height pixels of 3 bytes (red, green, blue), rows top to
// bottom without padding. PNG of any colour type and depth is reduced to 8
// bits a channel (16-bit channels keep their high byte); an alpha channel is
// dropped (the colour kept as stored); interlaced files are combined;
// grey becomes three equal bytes. JPEG in grey or YCbCr only (CMYK is
// refused).
//
// Limits: sides of at most kMemdecodeMaxSide pixels and at most
// kMemdecodeMaxPixels pixels; larger pictures are refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMemdecodeMaxSide = 8192;
constexpr uint64_t kMemdecodeMaxPixels = 16u << 20;

struct MemPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
};

// "PNG", "JPEG" or "" by the first bytes.
std::string memdecode_kind(const uint8_t* data, size_t size);

// Decodes a PNG or JPEG picture; false and a reason (in plain words, for
// the organiser) when it cannot.
bool memdecode_rgb(const uint8_t* data, size_t size, MemPicture& out, std::string& error);
