// jpeg: the JPEG decoder behind cimage::load (load_jpg, declared with the
// other decoders in decoders.h), over the system libjpeg-turbo.
//
// The whole file is read through cfile into a pool block and decoded from
// memory into blue, green, red bytes, rows top to bottom without padding:
// width x height x 3 bytes, bpp 24, kind 5. Grey files give three equal
// bytes a pixel. Four-component files (CMYK, YCCK) are taken as CMYK from the
// library and turned into blue, green, red here (inverted values when the
// file carries an Adobe marker, as Adobe's writers store them).
//
// Limits: files of at most kPictureMaxBytes, pictures within the decodekit
// limits, at most kJpegMaxScans scans, and at most kJpegLibraryMemory bytes
// of the library's own working memory; other component counts are refused.
// Library warnings (a truncated file is one: its missing rows come out grey)
// go to the log. Any failure builds the library's text, or ours for a limit,
// followed by "   --  NAME\n", cut to fit kJpegMessageBytes; logs it, shows
// it through error_report and ends the run with status 1. While report_returns
// is set, load_jpg returns false instead, with nothing allocated.
#pragma once

#include <cstdint>

#include "resources/decoders.h"

constexpr int kJpegMaxScans = 500;
constexpr long kJpegLibraryMemory = 768L << 20;
constexpr int kJpegMessageBytes = 128;
