// pak: the archive "pak.pak" and the open-by-name of every data file.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr uint32_t kPakSlots = 1024;
constexpr uint32_t kPakMaxName = 259;

void pak_open(const char* path);
// A stream for the name: on the archive, positioned at the entry, or on the
// disk file opened with mode. A name found nowhere ends the process (exit 1).
FILE* pak_fopen(const char* name, const char* mode);
long pak_tell(FILE* stream);
int pak_seek(FILE* stream, long offset, int origin);
