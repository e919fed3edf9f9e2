// zip: files to zip bytes and back over minizip, in memory (see zip.h).
#include "kit/zip.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cstring>

namespace kit {

namespace {

constexpr int kDeflateLevel = 9;
// "Made by" Unix (3), zip format 2.0: unpackers then read the permission
// bits from the high half of the external attributes.
constexpr uLong kMadeByUnix = 3 << 8 | 20;
constexpr uLong kFileMode = 0100644;
constexpr uLong kProgramMode = 0100755;
constexpr int kModeShift = 16;
constexpr uLong kFlagEncrypted = 1 << 0;
constexpr uLong kFlagUtf8 = 1 << 11;
constexpr uLong kMethodStored = 0;
// Bytes handed to minizip (and taken from it) per call.
constexpr size_t kChunkBytes = 1 << 20;
constexpr const char* kProgramSuffix = ".exe";
// The folder of resource forks and Finder data that macOS adds to its zips.
constexpr const char* kMacFolder = "__MACOSX";

constexpr int64_t kSecondsPerDay = 86400;
constexpr int kDosYearBase = 1980;

// ---- Zip bytes as minizip's file: a stream over memory.

struct MemoryStream {
  const uint8_t* data = nullptr;  // what is read
  size_t size = 0;
  Bytes* out = nullptr;           // what is written, when writing
  uint64_t at = 0;
  // minizip takes a read that comes back short for the end of the file, not
  // an error, unless the stream says so: a cut zip would read as zeros.
  bool cut_short = false;
};

voidpf ZCALLBACK memory_open(voidpf opaque, const void*, int) { return opaque; }

uLong ZCALLBACK memory_read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  const uLong n = static_cast<uLong>(std::min<uint64_t>(size, s->size - std::min<uint64_t>(s->at, s->size)));
  if (n > 0) std::memcpy(buf, s->data + s->at, n);
  s->at += n;
  if (n < size) s->cut_short = true;
  return n;
}

uLong ZCALLBACK memory_write(voidpf, voidpf stream, const void* buf, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  if (s->out == nullptr || size == 0) return 0;
  Bytes& out = *s->out;
  if (out.size() < s->at + size) out.resize(s->at + size);
  std::memcpy(out.data() + s->at, buf, size);
  s->at += size;
  s->data = out.data();
  s->size = out.size();
  return size;
}

ZPOS64_T ZCALLBACK memory_tell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->at; }

long ZCALLBACK memory_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<MemoryStream*>(stream);
  uint64_t base = 0;
  if (origin == ZLIB_FILEFUNC_SEEK_CUR) base = s->at;
  if (origin == ZLIB_FILEFUNC_SEEK_END) base = s->size;
  // Past the end is refused: a header that points there is a damaged zip.
  if (offset > s->size || base > s->size - offset) return -1;
  s->at = base + offset;
  return 0;
}

int ZCALLBACK memory_close(voidpf, voidpf) { return 0; }

int ZCALLBACK memory_error(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->cut_short ? 1 : 0; }

zlib_filefunc64_def memory_functions(MemoryStream& stream) {
  zlib_filefunc64_def def{};
  def.zopen64_file = memory_open;
  def.zread_file = memory_read;
  def.zwrite_file = memory_write;
  def.ztell64_file = memory_tell;
  def.zseek64_file = memory_seek;
  def.zclose_file = memory_close;
  def.zerror_file = memory_error;
  def.opaque = &stream;
  return def;
}

// ---- Names.

bool ends_with(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The length of the UTF-8 sequence at text[at], or 0 when none starts there
// (overlong forms, surrogates and code points past U+10FFFF included).
size_t utf8_length(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return i < text.size() ? static_cast<uint8_t>(text[i]) : 0; };
  const uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

bool utf8_valid(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = utf8_length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool ascii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

// Code page 437's characters 0x80..0xFF.
constexpr uint16_t kCodePage437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

std::string code_page_437_to_utf8(const std::string& text) {
  std::string utf8;
  for (const char c : text) {
    const uint8_t b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      utf8 += c;
      continue;
    }
    const uint16_t cp = kCodePage437[b - 0x80];
    if (cp < 0x800) {
      utf8 += static_cast<char>(0xC0 | cp >> 6);
    } else {
      utf8 += static_cast<char>(0xE0 | cp >> 12);
      utf8 += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return utf8;
}

// Why a name is not a plain relative path that stays inside its folder, as
// "is ...", or "" when it is one.
std::string path_fault(const std::string& name) {
  if (name.empty()) return "has an empty name";
  if (name[0] == '/' || (name.size() >= 2 && name[1] == ':')) return "is an absolute path";
  for (const char c : name) {
    if (c == '\\') return "holds a backslash, which Windows reads as a folder separator";
    if (static_cast<uint8_t>(c) < 0x20) return "holds a control character";
  }
  for (size_t start = 0; start <= name.size();) {
    const size_t end = std::min(name.find('/', start), name.size());
    const std::string part = name.substr(start, end - start);
    if (part == "..") return "reaches outside the folder (\"..\")";
    if (part.empty() || part == ".") return "is not a plain path (an empty or \".\" part)";
    start = end + 1;
  }
  return "";
}

// Skipped as reading a folder skips them: hidden files and folders, and
// macOS's own folder.
bool passed_over(const std::string& name) {
  if (name.compare(0, std::strlen(kMacFolder) + 1, std::string(kMacFolder) + "/") == 0) return true;
  for (size_t start = 0; start < name.size();) {
    if (name[start] == '.') return true;
    const size_t slash = name.find('/', start);
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return false;
}

// A name as a message shows it: control characters as '?'.
std::string shown(const std::string& name) {
  std::string text = name;
  std::replace_if(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x20; }, '?');
  return "\"" + text + "\"";
}

// ---- Dates.

// The DOS date and time (local time, here UTC) of seconds since 1970.
uLong dos_time(int64_t seconds) {
  // Rounded up to an even second, as the format counts in twos and a file
  // must not look older than it is.
  int64_t t = seconds + (seconds & 1);
  t = std::clamp(t, kZipTimeMin, kZipTimeMax);
  const int64_t days = t / kSecondsPerDay;
  const int64_t second_of_day = t % kSecondsPerDay;
  // The civil date of a day count (the proleptic Gregorian calendar, in
  // 400-year eras starting on March 1st).
  const int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t day_of_era = z - era * 146097;
  const int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month_from_march = (5 * day_of_year + 2) / 153;
  const int64_t day = day_of_year - (153 * month_from_march + 2) / 5 + 1;
  const int64_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
  const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  const int64_t hour = second_of_day / 3600;
  const int64_t minute = second_of_day / 60 % 60;
  return static_cast<uLong>((year - kDosYearBase) << 25 | month << 21 | day << 16 | hour << 11 | minute << 5 |
                            second_of_day % 60 / 2);
}

// ---- Writing.

bool write_entry(zipFile zip, const std::string& name, const Bytes& bytes, uLong date) {
  zip_fileinfo info{};
  info.dosDate = date;
  info.external_fa = (ends_with(name, kProgramSuffix) ? kProgramMode : kFileMode) << kModeShift;
  const uLong flags = ascii(name) ? 0 : kFlagUtf8;
  if (zipOpenNewFileInZip4_64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, kDeflateLevel,
                              0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, kMadeByUnix, flags,
                              0) != ZIP_OK) {
    return false;
  }
  bool ok = true;
  for (size_t at = 0; ok && at < bytes.size(); at += kChunkBytes) {
    const size_t n = std::min(kChunkBytes, bytes.size() - at);
    ok = zipWriteInFileInZip(zip, bytes.data() + at, static_cast<unsigned>(n)) == ZIP_OK;
  }
  return zipCloseFileInZip(zip) == ZIP_OK && ok;
}

// ---- Reading.

// The current entry's header and name, as stored.
bool current_entry(unzFile zip, unz_file_info64& info, std::string& name) {
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return false;
  // Room for the name and the terminating zero minizip adds.
  name.assign(info.size_filename + 1, '\0');
  const bool ok = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                          nullptr, 0) == UNZ_OK;
  name.pop_back();
  return ok;
}

// The current entry's bytes, exactly its declared size and checked against
// its CRC; false when they are not.
bool read_entry(unzFile zip, uint64_t size, Bytes& bytes) {
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  bytes.resize(size);
  bool ok = true;
  for (uint64_t at = 0; ok && at < size;) {
    const unsigned n = static_cast<unsigned>(std::min<uint64_t>(kChunkBytes, size - at));
    const int got = unzReadCurrentFile(zip, bytes.data() + at, n);
    ok = got > 0;
    at += ok ? static_cast<uint64_t>(got) : 0;
  }
  // The CRC is checked only once everything declared was read.
  return unzCloseCurrentFile(zip) == UNZ_OK && ok;
}

class ZipReader {
 public:
  ZipReader(unzFile zip, std::string& error) : zip_(zip), error_(error) {}

  bool read_all(Files& files) {
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip_, &global) != UNZ_OK) return fail(kDamaged);
    if (global.number_entry == 0) return true;
    int rc = unzGoToFirstFile(zip_);
    for (; rc == UNZ_OK; rc = unzGoToNextFile(zip_)) {
      if (!read_current(files)) return false;
    }
    return rc == UNZ_END_OF_LIST_OF_FILE || fail(kDamaged);
  }

 private:
  static constexpr const char* kDamaged = "the zip is damaged or cut short; pack the folder again";
  static constexpr const char* kRepack = "pack the folder's files with paths relative to it";

  bool fail(const std::string& message) {
    error_ = message;
    return false;
  }

  bool read_current(Files& files) {
    unz_file_info64 info{};
    std::string name;
    if (!current_entry(zip_, info, name)) return fail(kDamaged);
    if (info.flag & kFlagUtf8) {
      if (!utf8_valid(name)) return fail("entry " + shown(name) + " has a name flagged as UTF-8 that is not UTF-8; " + kRepack);
    } else if (!utf8_valid(name)) {
      name = code_page_437_to_utf8(name);
    }
    const bool folder = ends_with(name, "/");
    if (folder) name.pop_back();
    const std::string fault = path_fault(name);
    if (!fault.empty()) return fail("entry " + shown(name) + " " + fault + "; " + kRepack);
    if (folder || passed_over(name)) return true;
    if (info.flag & kFlagEncrypted) {
      return fail("entry " + shown(name) + " is encrypted; pack the zip without a password");
    }
    if (info.compression_method != kMethodStored && info.compression_method != Z_DEFLATED) {
      return fail("entry " + shown(name) + " is packed with method " + std::to_string(info.compression_method) +
                  ", not deflate; pack the zip with deflate, the usual method");
    }
    if (files.count(name) != 0) return fail("entry " + shown(name) + " is in the zip twice; pack the folder again");
    if (files.size() == kFilesMaxCount) {
      return fail("more than " + std::to_string(kFilesMaxCount) + " files; keep the folder to " +
                  std::to_string(kFilesMaxCount) + " files");
    }
    total_ += std::min<uint64_t>(info.uncompressed_size, kFilesMaxBytes + 1);
    if (total_ > kFilesMaxBytes) {
      const std::string mib = std::to_string(kFilesMaxBytes >> 20);
      return fail("more than " + mib + " MiB unpacked; keep the folder's files under " + mib + " MiB together");
    }
    Bytes bytes;
    if (!read_entry(zip_, info.uncompressed_size, bytes)) {
      return fail("entry " + shown(name) + " is damaged (it does not unpack to what its header says); " +
                  "pack the folder again");
    }
    files[name] = std::move(bytes);
    return true;
  }

  unzFile zip_;
  std::string& error_;
  uint64_t total_ = 0;
};

}  // namespace

bool zip_write(const Files& files, const std::string& top_folder, int64_t time, Bytes& zip, std::string& error) {
  zip.clear();
  const std::string prefix = top_folder.empty() ? "" : top_folder + "/";
  for (const auto& [path, bytes] : files) {
    const std::string name = prefix + path;
    std::string fault = utf8_valid(name) ? path_fault(name) : "is not UTF-8";
    if (!fault.empty()) {
      error = shown(name) + " " + fault + "; a zip holds plain relative paths";
      return false;
    }
  }
  Bytes out;
  MemoryStream stream;
  stream.out = &out;
  zlib_filefunc64_def functions = memory_functions(stream);
  zipFile z = zipOpen2_64(nullptr, APPEND_STATUS_CREATE, nullptr, &functions);
  if (z == nullptr) {
    error = "the zip could not be started";
    return false;
  }
  const uLong date = dos_time(time);
  bool ok = true;
  for (auto it = files.begin(); ok && it != files.end(); ++it) {
    ok = write_entry(z, prefix + it->first, it->second, date);
    if (!ok) error = shown(prefix + it->first) + " could not be packed";
  }
  if (zipClose(z, nullptr) != ZIP_OK && ok) {
    error = "the zip could not be finished";
    ok = false;
  }
  if (ok) zip = std::move(out);
  return ok;
}

namespace {

// True when the zip is an end record alone, with no entry (as a zip of an
// empty folder is): minizip refuses to open it, but it is a whole zip that
// holds nothing.
bool empty_zip(const Bytes& zip) {
  constexpr size_t kEndRecord = 22;
  constexpr size_t kMaxComment = 0xFFFF;
  if (zip.size() < kEndRecord) return false;
  const size_t lowest = zip.size() > kEndRecord + kMaxComment ? zip.size() - kEndRecord - kMaxComment : 0;
  for (size_t at = zip.size() - kEndRecord + 1; at-- > lowest;) {
    const uint8_t* r = zip.data() + at;
    if (r[0] != 'P' || r[1] != 'K' || r[2] != 5 || r[3] != 6) continue;
    const size_t comment = r[20] | (r[21] << 8);
    if (at + kEndRecord + comment != zip.size()) continue;
    // Entries on this disk and in all (2 bytes each at 8 and 10), the central
    // directory's size (4 bytes at 12): all zero.
    for (int i = 8; i < 16; ++i) {
      if (r[i] != 0) return false;
    }
    return true;
  }
  return false;
}

}  // namespace

bool zip_read(const Bytes& zip, Files& files, std::string& error) {
  if (empty_zip(zip)) {
    files.clear();
    return true;
  }
  MemoryStream stream;
  stream.data = zip.data();
  stream.size = zip.size();
  zlib_filefunc64_def functions = memory_functions(stream);
  unzFile z = unzOpen2_64(nullptr, &functions);
  if (z == nullptr) {
    error = "not a zip, or cut short; pack the folder again as a zip";
    return false;
  }
  Files read;
  const bool ok = ZipReader(z, error).read_all(read);
  unzClose(z);
  if (ok) files = std::move(read);
  return ok;
}

}  // namespace kit
