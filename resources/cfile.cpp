// cfile: see cfile.h.
#include "resources/cfile.h"

#include <cstring>

#include "resources/log.h"
#include "resources/pak.h"

namespace {

struct mode_name {
  const char* mode;
  const char* log_name;
};

// Looked up by exact comparison, in this order.
constexpr mode_name kModeNames[] = {
    {"wb", "WRITE_BIN\n"}, {"wt", "WRITE_TXT\n"}, {"rb", "READ_BIN\n"},
    {"rt", "READ_TXT\n"},  {"ab", "ATTACH_BIN\n"}, {"at", "ATTACH_TXT\n"},
};

// Reads exactly n bytes into b; on a short read b is left zero.
void read_value(FILE* stream, uint8_t* b, size_t n) {
  if (!stream || std::fread(b, 1, n, stream) != n) std::memset(b, 0, n);
}

}  // namespace

void cfile::open(const char* name, const char* mode) {
  stream = pak_fopen(name, mode);
  LOGW("cfile: attempting to open file %s in mode ", name);
  for (const mode_name& m : kModeNames) {
    if (std::strcmp(m.mode, mode) == 0) {
      LOGW("%s", m.log_name);
      break;
    }
  }
}

void cfile::close() {
  if (!stream) {
    LOGW("cfile: couldn't close file!\n");
    return;
  }
  pak_fclose(stream);
  stream = nullptr;
  LOGW("cfile: close action was succesfull\n");
}

void cfile::read(void* destination, uint32_t count) {
  const size_t n = stream ? std::fread(destination, 1, count, stream) : 0;
  if (n == count) {
    LOGW("cfile: have read the required amount of bytes\n");
  } else {
    LOGW("cfile: have read ONLY %d bytes from ", static_cast<int>(n));
    LOGW("%d required\n", static_cast<int>(count));
  }
}

int cfile::seek(long offset, int origin) {
  return stream ? pak_seek(stream, offset, origin) : -1;
}

long cfile::tell() {
  return stream ? pak_tell(stream) : -1;
}

int cfile::skip(long count) {
  return seek(count, SEEK_CUR);
}

long cfile::size() {
  if (!stream) return -1;
  const long p = tell();
  seek(0, SEEK_END);
  const long s = tell();
  seek(p, SEEK_SET);
  return s;
}

uint8_t cfile::read_u8() {
  uint8_t b[1];
  read_value(stream, b, sizeof b);
  return b[0];
}

uint16_t cfile::read_u16() {
  uint8_t b[2];
  read_value(stream, b, sizeof b);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

float cfile::read_f32() {
  uint8_t b[4];
  read_value(stream, b, sizeof b);
  const uint32_t bits = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                        static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
