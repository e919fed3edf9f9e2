// cfile: the logged file object through which loaders read their data.
//
// open goes through the archive (pak_fopen): a name the archive holds is
// served from it, any other from disk; a name found nowhere ends the process
// there. Positions (seek, tell, size) are relative to the archive entry when
// the stream is one; reads are not bounded by the entry. The six known modes
// ("wb", "wt", "rb", "rt", "ab", "at") are named in the log; any other mode
// leaves the log line open. Typed reads are little-endian on any host and
// return 0 when the whole value could not be read. close releases the stream
// and clears the field, so a second close only logs that nothing was open.
// Without a stream (a failed open while report_returns is set) reads deliver
// nothing and seek, tell and size give -1.
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
  // Origins 0, 1, 2 as in stdio; returns 0 on success.
  int seek(long offset, int origin);
  long tell();
  int skip(long count);
  // The length of the file or archive entry; the position is kept.
  long size();
  uint8_t read_u8();
  uint16_t read_u16();
  float read_f32();
};
