// jpegwrite: RGB pixels encoded as JPEG bytes in memory (the web page's title
// and link-preview picture), over the system libjpeg-turbo: baseline, 4:2:0,
// the given quality, no comment or time, so the same pixels give the same
// bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kJpegWriteQuality = 85;

// Encodes width x height pixels of 3 bytes (red, green, blue; rows top to
// bottom without padding) into out. False and a message on failure.
bool jpeg_encode_rgb(const uint8_t* rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                     std::string& error);
