// font: the two bitmap fonts and their text drawing.
//
// font8 is a one-bit 8 x 8 font of 128 glyphs (8 bytes each, top row first,
// bit 7 the leftmost pixel) read from a 1024-byte file; text8_draw draws its
// set bits in white and leaves clear bits alone. fontimg is the glyph sheet:
// one 24 x 32 cell per character, cell g at column kGlyphCellStep x g of a
// 3300 x 32 picture; glyph_text_draw adds the cell's non-zero pixels onto
// the destination byte by byte with saturation, moving the pen
// kGlyphAdvance pixels per character.
//
// Both drawings format into kTextBytes bytes (longer texts are cut), step
// from one destination row to the next by 640 pixels, and draw only pixels
// inside the destination: nothing right of or below its edges, left of
// column 0 or above row 0 (and, on a surface narrower than 640 pixels,
// nothing past its buffer). Neither wraps or interprets line breaks. A
// sheet smaller than 3300 x 32 leaves the cells it lacks transparent.
#pragma once

#include <array>
#include <cstdint>

namespace ptc {
class Surface;
}

constexpr uint32_t kFont8Glyphs = 128;
constexpr uint32_t kFont8Rows = 8;
constexpr uint32_t kFont8Bytes = kFont8Glyphs * kFont8Rows;
constexpr uint32_t kFont8Colour = 0x00FFFFFF;

constexpr int kGlyphCellWidth = 24;
constexpr int kGlyphCellHeight = 32;
constexpr int kGlyphCellStep = 31;
constexpr int kGlyphAdvance = 11;
// The colour-key pass covers at most the real sheet: 3300 x 32 pixels.
constexpr uint32_t kFontSheetPixels = 105600;

// A formatted text holds at most kTextBytes - 1 characters.
constexpr int kTextBytes = 128;

// Zero at start; filled once by font8_load.
extern std::array<uint8_t, kFont8Bytes> font8;
// The glyph sheet, made by the loading sequence from "fonts.png".
extern ptc::Surface* fontimg;

// Reads up to kFont8Bytes bytes of the named file into font8 (archive first,
// then disk); a short file leaves the rest of the table as it was.
void font8_load(const char* name);
// Makes every pixel with a non-zero red byte and a zero green byte 0
// (transparent for the additive drawing); visits min(kFontSheetPixels, the
// surface's own pixel count) pixels.
void font_colour_key(ptc::Surface& sheet);

// The glyph-sheet cell of a character, or -1 when it has none (every byte
// up to the space, and 128-255).
int glyph_cell(char c);

void text8_draw(ptc::Surface& dst, int x, int y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void glyph_text_draw(ptc::Surface& dst, int x, int y, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
