// mpegdecode: decodes a whole MPEG audio file (layer 1, 2 or 3) into memory.
//
// Output: the PCM format of backend.h (16-bit stereo frames at 44.1 kHz),
// whatever the file holds: mono is doubled, other sample rates are resampled
// by libmpg123 (refused with BadFormat where the library cannot convert).
// Decoding is gapless: the encoder's delay and padding, when the file's info
// tag states them, are dropped, so a loop of the result has no gap.
// Limit: kMpegMaxFrames frames (20 minutes); a longer file is refused.
// libmpg123 stays inside mpegdecode.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/backend.h"

namespace platform {

constexpr uint64_t kMpegMaxFrames = static_cast<uint64_t>(kPcmRate) * 60 * 20;

enum class MpegResult {
  Ok,
  NotFound,    // the file does not exist
  ReadError,   // the file exists but cannot be opened or read to its end
  BadFormat,   // no decodable audio, or a format that cannot become 44.1 kHz stereo
  TooLong,     // more than kMpegMaxFrames frames
  NoMemory,    // the decoder or the buffer could not be allocated
};

// Decodes the file at path into samples (2 x frames values); samples is
// cleared first and left empty on failure.
MpegResult mpeg_decode_file(const char* path, std::vector<int16_t>& samples);

}  // namespace platform
