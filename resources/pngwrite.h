// pngwrite: writes 0x00RRGGBB pixel blocks as 8-bit RGB PNG files (frames of
// the capture tool, windows of the blob viewer, pictures made by tests).
#pragma once

#include <cstdint>
#include <string>

// Rows are width pixels apart. Returns false and sets error on failure.
bool png_write_rgb(const char* path, const uint32_t* pixels, int width, int height, std::string& error);
