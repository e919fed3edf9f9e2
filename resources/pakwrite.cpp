// pakwrite: see pakwrite.h.
#include "resources/pakwrite.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "platform/hostfs.h"
#include "resources/pak.h"

namespace {

constexpr const char* kPictureExtensions[] = {".png", ".jpg", ".bmp", ".tga", ".pcx", ".raw"};

bool is_picture_name(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const char* e : kPictureExtensions) {
    if (ext == e) return true;
  }
  return false;
}

bool has_upper_case(const std::string& name) {
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') return true;
  }
  return false;
}

uint32_t crc_of(const std::vector<uint8_t>& data, uint32_t crc = 0) {
  // zlib takes lengths as uInt; feed large blocks in pieces.
  constexpr size_t kPiece = 1u << 30;
  uLong c = crc;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    const size_t n = std::min(kPiece, data.size() - at);
    c = crc32(c, data.data() + at, static_cast<uInt>(n));
  }
  return static_cast<uint32_t>(c);
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint64_t archive_length(const std::vector<pak_item>& items) {
  uint64_t n = kPakHeaderBytes;
  for (const pak_item& item : items) n += kPakItemFixedBytes + item.name.size() + 1;
  for (size_t i = 0; i < items.size(); ++i) n += items[i].data.size() + (i + 1 < items.size() ? 1 : 0);
  return n;
}

}  // namespace

bool pak_check_items(const std::vector<pak_item>& items, std::string& error) {
  if (items.size() > kPakSlots) {
    error = "more than " + std::to_string(kPakSlots) + " entries (" + std::to_string(items.size()) +
            "); the reader has that many directory slots";
    return false;
  }
  std::set<std::string> seen;
  for (const pak_item& item : items) {
    if (item.name.size() > kPakMaxName) {
      error = "the name " + item.name + " is longer than " + std::to_string(kPakMaxName) + " bytes";
      return false;
    }
    if (item.name.find('\0') != std::string::npos) {
      error = "a name holds a NUL byte";
      return false;
    }
    if (is_picture_name(item.name) && has_upper_case(item.name)) {
      error = "the picture name " + item.name +
              " has upper-case letters; pictures are looked up in lower case";
      return false;
    }
    if (!seen.insert(item.name).second) {
      error = "two entries are named " + item.name + "; the reader would serve only the first";
      return false;
    }
  }
  if (archive_length(items) > UINT32_MAX) {
    error = "the archive would pass 4 GiB; its offsets are 32-bit";
    return false;
  }
  return true;
}

std::vector<uint32_t> pak_layout(const std::vector<pak_item>& items) {
  uint64_t at = kPakHeaderBytes;
  for (const pak_item& item : items) at += kPakItemFixedBytes + item.name.size() + 1;
  std::vector<uint32_t> fptr;
  for (const pak_item& item : items) {
    fptr.push_back(static_cast<uint32_t>(at));
    at += item.data.size() + 1;
  }
  return fptr;
}

std::vector<uint8_t> pak_build(const std::vector<pak_item>& items) {
  std::vector<uint8_t> out(kPakMagic, kPakMagic + 4);
  out.reserve(static_cast<size_t>(archive_length(items)));
  out.push_back(kPakWriteHi);
  out.push_back(kPakWriteLo);
  uint32_t crc = 0;
  for (const pak_item& item : items) crc = crc_of(item.data, crc);
  put_u32(out, crc);
  put_u32(out, static_cast<uint32_t>(items.size()));
  uint8_t comment[kPakCommentBytes] = {};
  std::memcpy(comment, kPakWriteComment, sizeof kPakWriteComment);
  out.insert(out.end(), comment, comment + sizeof comment);

  const std::vector<uint32_t> fptr = pak_layout(items);
  for (size_t i = 0; i < items.size(); ++i) {
    const auto length = static_cast<uint32_t>(items[i].data.size());
    const uint32_t entry_crc = crc_of(items[i].data);
    put_u32(out, 0);  // Flags
    put_u32(out, fptr[i]);
    put_u32(out, entry_crc);  // PakCRC
    put_u32(out, entry_crc);  // UnpCRC
    put_u32(out, length);     // PakSize
    put_u32(out, length);     // UnpSize
    put_u32(out, 0);          // the unnamed field
    out.insert(out.end(), items[i].name.begin(), items[i].name.end());
    out.push_back(0);
  }
  for (size_t i = 0; i < items.size(); ++i) {
    out.insert(out.end(), items[i].data.begin(), items[i].data.end());
    if (i + 1 < items.size()) out.push_back(0);
  }
  return out;
}

bool pak_write(const char* path, const std::vector<pak_item>& items, std::string& error) {
  if (!pak_check_items(items, error)) return false;
  const std::vector<uint8_t> bytes = pak_build(items);
  const std::string temp = std::string(path) + ".partial";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot create " + temp;
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || !platform::host_replace_file(temp, path)) {
    std::remove(temp.c_str());
    error = std::string("cannot write ") + path;
    return false;
  }
  return true;
}
