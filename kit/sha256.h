// sha256: the SHA-256 digest of bytes, for the web page's file stamps (the
// first 16 hex digits) and the release's SHA256SUMS.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "kit/files.h"

namespace kit {

std::array<uint8_t, 32> sha256(const Bytes& bytes);
// The digest as 64 lower-case hex digits.
std::string sha256_hex(const Bytes& bytes);

}  // namespace kit
