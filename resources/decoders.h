// decoders: the picture decoders behind cimage::load, one per file format.
//
// Each takes the lower-cased name, opens it through the archive (archive
// first, then disk), and fills the six values of out: height, width, bpp,
// kind, size and pixels (a memory-pool block of size bytes). It returns
// true. A bad file ends the process through error_report; only while
// report_returns is set does a decoder return false instead, leaving out
// untouched and nothing allocated or open.
#pragma once

#include "resources/cimage.h"

bool load_png(const char* name, cimage& out);
bool load_jpg(const char* name, cimage& out);
bool load_raw(const char* name, cimage& out);
bool load_pcx(const char* name, cimage& out);
bool load_bmp(const char* name, cimage& out);
bool load_tga(const char* name, cimage& out);
