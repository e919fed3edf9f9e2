// png: the PNG decoder behind cimage::load (load_png, declared with the other
// decoders in decoders.h), over the system libpng.
//
// Reads the stream that pak_fopen hands out (archive first, then disk) with
// no libpng transformation, so rows keep the file's own layout: bpp =
// channels x bit depth (8-bit RGB 24, RGBA 32; palette, grey, grey with alpha
// and 16-bit channels raw). Row r of the block starts at r x rowbytes and size
// is height x rowbytes, so rows of depths below 8 keep their padding bits.
// Interlaced files come out as the same rows as their plain twins: libpng
// combines each pass into the rows already in the block.
//
// Limits: width and height at most kPngMaxSide and the block at most
// kPngMaxBytes; larger headers are refused like damaged files. Any failure
// (libpng cannot start, bad signature, damaged or truncated data, a refused
// size) logs "Libpng read error\n" and ends the run through error_report with
// "cimage->png: libpng read error\n".
#pragma once

#include <cstdint>

#include "resources/decoders.h"

constexpr uint32_t kPngMaxSide = 16384;
constexpr uint32_t kPngMaxBytes = 32u << 20;
