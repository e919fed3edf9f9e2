// pak: the archive "pak.pak" and the open-by-name of every data file.
//
// Archive layout (integers unsigned 32-bit little-endian, offsets from the
// start of the file):
//   header, 269 bytes: "PAK!", HI (1 byte), LO (1 byte), crc, famount,
//                      comment (255 bytes, NUL-terminated inside the field)
//   famount items from offset 269, each: Flags, Fptr, PakCRC, UnpCRC,
//                      PakSize, UnpSize, one unnamed word, then the name
//                      (at most kPakMaxName bytes and a NUL)
//   the entries' bytes, stored as they are, entry i starting at its Fptr.
// Only Fptr and the name are used; the other fields go to the log. Entry i
// (not the last) ends one byte before the next Fptr, so its size is
// Fptr(i + 1) - Fptr(i) - 1; the last entry runs to the end of the file.
//
// pak_open reads the header and directory once. It refuses the whole archive
// (one log line says why, nothing stays allocated, every name then comes from
// disk) when the file ends inside the header or directory, famount exceeds
// kPakSlots or what the file could hold, the comment has no NUL, a name is
// longer than kPakMaxName, or the Fptr values pass the end of the file or do
// not strictly ascend.
//
// pak_fopen hands out an archived entry as a read-only binary stdio stream on
// the archive file, positioned at the entry; such streams are remembered (at
// most kPakStreams open at once) so that pak_tell and pak_seek can work
// relative to the entry. Close every stream from pak_fopen with pak_fclose,
// never with a bare fclose, or the table would keep a stale pointer. Reading
// is not bounded by the entry: past its end come the bytes that follow in the
// archive file. A name found neither in the archive nor on disk ends the
// process through error_report.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

constexpr uint32_t kPakSlots = 1024;
constexpr uint32_t kPakMaxName = 259;
constexpr uint32_t kPakHeaderBytes = 269;
constexpr uint32_t kPakCommentBytes = 255;
// An item: seven 32-bit fields, then the name and its NUL.
constexpr uint32_t kPakItemFixedBytes = 28;
constexpr uint32_t kPakMinItemBytes = kPakItemFixedBytes + 1;
constexpr uint32_t kPakStreams = 64;
constexpr char kPakMagic[] = "PAK!";
// Each directory record is one pool block of this size.
constexpr uint32_t kPakEntryBytes = 32;

struct pakentry {
  char* Fname;       // copy of the name, general heap
  uint32_t Fptr;     // offset of the entry's first byte in the archive file
  uint32_t UnpSize;  // kept as read; nothing uses it
};
static_assert(sizeof(pakentry) <= kPakEntryBytes, "a directory record must fit its pool block");

// How pak_open ended. The program ignores it; the archive tool reports it.
enum class pak_status {
  opened,   // at least one item: names are served from the archive
  missing,  // the file could not be opened: everything comes from disk
  empty,    // famount 0: everything comes from disk
  refused,  // damaged: refused whole, everything comes from disk
};

// The archive state, filled by pak_open and only read afterwards.
extern char* pak_path;
extern uint32_t pak_length;
extern uint32_t pak_count;
extern std::array<pakentry*, kPakSlots> pak_dir;

pak_status pak_open(const char* path);
// True when at least one item was read (slot 0 is filled).
bool pak_is_open();
// Forgets the archive: releases the directory and the path and clears the
// stream table (streams stay open, owned by their callers). pak_open starts
// with it; tests use it for a fresh state.
void pak_close();

// A stream for the name: on the archive, positioned at the entry, or on the
// disk file opened with mode. A mode starting with 'w' never looks in the
// archive; any other mode gets an archived entry read-only in binary mode.
// A name found nowhere ends the process (exit 1); only while report_returns
// is set does it return null instead.
FILE* pak_fopen(const char* name, const char* mode);
// Closes a stream from pak_fopen (and forgets it as an archive stream).
int pak_fclose(FILE* stream);
// The position relative to the entry that holds it for an archive stream;
// otherwise (disk stream, position before the first entry) the plain position.
long pak_tell(FILE* stream);
// Origins 0, 1, 2 as in stdio; relative to the current entry on an archive
// stream (the end of an entry that is not the last is its last byte + 1).
// Returns fseek's result.
int pak_seek(FILE* stream, long offset, int origin);
