// pakwrite: builds archives in the layout pak reads (see pak.h); used by
// paktool and the tests.
//
// Conventions of the archives it writes: magic "PAK!", HI 1, LO 0, crc the
// zlib CRC-32 of all entry bytes in directory order (separators excluded), a
// comment naming the product; items in the given order with ascending Fptr;
// each entry's bytes stored as they are and followed by one zero byte except
// after the last entry, so that the reader's size (next Fptr - Fptr - 1) is
// the entry's length; Flags 0, the unnamed field 0, PakSize = UnpSize = the
// length, PakCRC = UnpCRC = the entry's CRC-32.
//
// pak_check_items refuses what the reader could not serve: more than
// kPakSlots entries, a name longer than kPakMaxName bytes or holding a NUL, two
// entries with one name, a picture name (.png .jpg .bmp .tga .pcx .raw) with
// upper-case letters (pictures are looked up lower-cased), and an archive
// whose offsets would not fit 32 bits. pak_build lays the bytes out without
// checking, so tests can also build archives the checks would refuse.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct pak_item {
  std::string name;
  std::vector<uint8_t> data;
};

constexpr uint8_t kPakWriteHi = 1;
constexpr uint8_t kPakWriteLo = 0;
constexpr char kPakWriteComment[] = "Velmora2K invitation data archive";

// True when every item may go into an archive; otherwise false and a message.
bool pak_check_items(const std::vector<pak_item>& items, std::string& error);
// The offset at which entry i's bytes start (items laid out as pak_build does).
std::vector<uint32_t> pak_layout(const std::vector<pak_item>& items);
std::vector<uint8_t> pak_build(const std::vector<pak_item>& items);
// Checks, then writes the archive to path through a temporary file that is
// renamed into place, so a failure never leaves a partial archive behind.
bool pak_write(const char* path, const std::vector<pak_item>& items, std::string& error);
