// decodekit: the pieces the RAW, PCX, BMP, TGA and JPEG decoders share.
//
// Every header value of a picture file is outside data. picture_size is the
// one place where a decoder turns claimed dimensions into a block size: a side
// of zero, below zero or above kPictureMaxSide, or a block above
// kPictureMaxBytes, gives 0, which the decoder refuses. Limits hold for every
// format, so no header can make a decoder allocate without bound or overflow
// a 32-bit size.
//
// picture_block hands out a pool block cleared to its last byte (the pool
// clears whole 32-bit words only), so pixels that a short file does not
// deliver are zero. refuse_picture formats a fatal report and hands it to
// error_report; it returns (false) only while report_returns is set.
#pragma once

#include <cstdint>

class cfile;

constexpr uint32_t kPictureMaxSide = 16384;
constexpr uint32_t kPictureMaxBytes = 256u << 20;

// Bytes of height rows of width pixels of bits_per_pixel bits, each row
// rounded up to whole bytes; 0 when the picture is outside the limits.
// Little-endian fields of a header held in memory.
inline uint16_t u16_at(const uint8_t* b, int at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t u32_at(const uint8_t* b, int at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

uint32_t picture_size(int64_t width, int64_t height, uint32_t bits_per_pixel);

// Lowers the block limit of picture_size below kPictureMaxBytes (never
// raises it). The fuzz targets do, so that no input costs a 256 MiB block.
void picture_limit_lower(uint32_t max_bytes);

// A pool block of size bytes, all zero; null only while report_returns is
// set and memory ran out.
uint8_t* picture_block(uint32_t size);

// Reads count bytes from the file's position into a new picture_block of
// count bytes; what the file does not hold stays zero.
uint8_t* picture_read(cfile& file, uint32_t count);

// The bytes from the file's position to the end of its file or archive
// entry; 0 when the position is at or past the end or the file is not open.
uint64_t picture_remaining(cfile& file);

// Swaps rows so that the last becomes the first (for files stored bottom-up).
void picture_flip_rows(uint8_t* block, uint32_t row_bytes, uint32_t rows);

// error_report with the formatted text; returns false.
bool refuse_picture(const char* format, ...) __attribute__((format(printf, 1, 2)));
