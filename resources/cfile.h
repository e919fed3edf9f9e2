// cfile: the logged file object through which loaders read their data.
//
// open goes through the archive (pak_fopen): a name the archive holds is
// served from it, any other from disk; a name found nowhere ends the process
// there. Positions (seek, tell, size) are relative to the archive entry when
// the stream is one. Typed reads are little-endian on any host. The six
// known modes ("wb", "wt", "rb", "rt", "ab", "at") are named in the log.
#pragma once

#include <cstdint>
#include <cstdio>

class cfile {
 public:
  FILE* stream = nullptr;

  void open(const char* name, const char* mode);
  void close();
  // Reads up to count bytes; the count actually read goes only to the log.
  void read(void* destination, uint32_t count);
  int seek(long offset, int origin);
  long tell();
  int skip(long count);
  long size();
  uint8_t read_u8();
  uint16_t read_u16();
  float read_f32();
};
