// pak: see pak.h.
#include "resources/pak.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/host.h"
#include "platform/hostfs.h"
#include "resources/log.h"
#include "resources/mempool.h"

char* pak_path = nullptr;
uint32_t pak_length = 0;
uint32_t pak_count = 0;
std::array<pakentry*, kPakSlots> pak_dir{};

namespace {

// ---------------------------------------------------------------------------
// Archive streams: the streams pak_fopen handed out on the archive file and
// that are not closed yet. Identity, not file length, makes a stream one.

std::array<FILE*, kPakStreams> archive_streams{};

// Why the last pak_open left every name to the disk (the archive missing,
// unreadable or damaged), with what to do about it; empty when it opened.
// A name found nowhere then tells the user about the archive, the likely
// cause, and not only about the one name.
std::string archive_problem;

std::string missing_archive_text(const char* path, int error) {
  const std::string where = platform::host_absolute_path(path);
  const std::string what = error == ENOENT ? "is missing" : std::string("cannot be read: ") + std::strerror(error);
  return "\nThe data archive " + platform::host_base_name(where) + " " + what + " (looked for at " + where +
         ").\n" + platform::host_missing_data_advice();
}

std::string damaged_archive_text(const char* path, const char* why) {
  const std::string where = platform::host_absolute_path(path);
  return "\nThe data archive " + where + " is damaged: " + why + ".\n" + platform::host_missing_data_advice();
}

FILE** free_stream_slot() {
  for (FILE*& slot : archive_streams) {
    if (!slot) return &slot;
  }
  return nullptr;
}

void forget_stream(FILE* stream) {
  for (FILE*& slot : archive_streams) {
    if (slot == stream) slot = nullptr;
  }
}

bool is_archive_stream(FILE* stream) {
  if (!stream) return false;
  for (FILE* slot : archive_streams) {
    if (slot == stream) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Reading the header and directory. Every read checks its count: a file
// that ends early makes the archive refused, never a read of stale bytes.

bool read_exact(FILE* f, void* dst, size_t n) {
  return std::fread(dst, 1, n, f) == n;
}

bool read_u8(FILE* f, uint8_t& value) {
  return read_exact(f, &value, 1);
}

bool read_u32(FILE* f, uint32_t& value) {
  uint8_t b[4];
  if (!read_exact(f, b, sizeof b)) return false;
  value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
          static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

// Reads the name byte by byte up to its NUL into name (kPakMaxName + 1
// bytes). Null on success, otherwise why the archive is refused.
const char* read_name(FILE* f, char* name) {
  for (uint32_t n = 0; n <= kPakMaxName; ++n) {
    const int c = std::fgetc(f);
    if (c == EOF) return "a name is cut off by the end of the file";
    name[n] = static_cast<char>(c);
    if (c == 0) return nullptr;
  }
  return "a name is longer than 259 bytes";
}

// Reads one item into slot nr, logging every field as it is read. Returns
// null on success, otherwise why the archive is refused.
const char* read_item(FILE* f, uint32_t nr) {
  auto* entry = static_cast<pakentry*>(mempool_alloc(kPakEntryBytes));
  if (!entry) return "no memory for the directory";
  pak_dir[nr] = entry;
  LOGW("File nr    : %d\n", static_cast<int>(nr));
  uint32_t flags = 0, fptr = 0, pak_crc = 0, unp_crc = 0, pak_size = 0, unp_size = 0, unnamed = 0;
  if (!read_u32(f, flags)) return "the directory is cut off by the end of the file";
  LOGW("    Flags  : %8x\n", flags);
  if (!read_u32(f, fptr)) return "the directory is cut off by the end of the file";
  LOGW("    Fptr   : %8d\n", static_cast<int>(fptr));
  if (!read_u32(f, pak_crc)) return "the directory is cut off by the end of the file";
  LOGW("    PakCRC : %8x\n", pak_crc);
  if (!read_u32(f, unp_crc)) return "the directory is cut off by the end of the file";
  LOGW("    UnpCRC : %8x\n", unp_crc);
  if (!read_u32(f, pak_size)) return "the directory is cut off by the end of the file";
  LOGW("    PakSize: %8d\n", static_cast<int>(pak_size));
  if (!read_u32(f, unp_size)) return "the directory is cut off by the end of the file";
  LOGW("    UnpSize: %8d\n", static_cast<int>(unp_size));
  if (!read_u32(f, unnamed)) return "the directory is cut off by the end of the file";
  entry->Fptr = fptr;
  entry->UnpSize = unp_size;

  char name[kPakMaxName + 1];
  if (const char* why = read_name(f, name)) return why;
  LOGW("    Fname  :%s\n", name);
  entry->Fname = strdup(name);
  if (!entry->Fname) return "no memory for the directory";

  // Positions map back to entries by ascending Fptr, and every entry must
  // lie inside the file (an empty last entry may start at its very end).
  if (fptr > pak_length) return "an Fptr lies beyond the end of the file";
  if (nr > 0 && fptr <= pak_dir[nr - 1]->Fptr) return "the Fptr values do not ascend";
  return nullptr;
}

// Reads header and directory; null on success, otherwise the reason.
const char* read_archive(FILE* f) {
  char magic[4];
  if (!read_exact(f, magic, sizeof magic)) return "the header is cut off by the end of the file";
  if (std::memcmp(magic, kPakMagic, sizeof magic) == 0) {
    LOGW(" wporzo\n");
  } else {
    LOGW(" doopa\n");
  }
  uint8_t hi = 0, lo = 0;
  if (!read_u8(f, hi)) return "the header is cut off by the end of the file";
  LOGW(" HI:%2d ", hi);
  if (!read_u8(f, lo)) return "the header is cut off by the end of the file";
  LOGW("LO:%2d\n", lo);
  uint32_t crc = 0;
  if (!read_u32(f, crc)) return "the header is cut off by the end of the file";
  LOGW("crc: %8x\n", crc);
  if (!read_u32(f, pak_count)) return "the header is cut off by the end of the file";
  LOGW("famount: %d\n", static_cast<int>(pak_count));
  char comment[kPakCommentBytes];
  if (!read_exact(f, comment, sizeof comment)) return "the header is cut off by the end of the file";
  if (!std::memchr(comment, 0, sizeof comment)) return "the comment has no NUL";
  LOGW("comment:%s\n", comment);

  if (pak_count > kPakSlots) return "more items than the 1024 directory slots";
  const uint64_t least = kPakHeaderBytes + static_cast<uint64_t>(pak_count) * kPakMinItemBytes;
  if (least > pak_length) return "more items than the file could hold";
  for (uint32_t nr = 0; nr < pak_count; ++nr) {
    if (const char* why = read_item(f, nr)) return why;
  }
  return nullptr;
}

// Measures the open file's length; false when it cannot be measured or does
// not fit the format's 32-bit offsets.
bool measure(FILE* f, uint32_t& length) {
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long end = std::ftell(f);
  if (end < 0 || static_cast<unsigned long>(end) > UINT32_MAX) return false;
  length = static_cast<uint32_t>(end);
  return std::fseek(f, 0, SEEK_SET) == 0;
}

// The entry that holds position p of an archive stream, or -1. Item i holds
// Fptr(i) <= p < Fptr(i + 1); the last holds Fptr(last) <= p <= pak_length.
int entry_at(long p) {
  if (p < 0) return -1;
  const auto pos = static_cast<unsigned long>(p);
  for (uint32_t i = 0; i < pak_count; ++i) {
    const bool last = i + 1 == pak_count;
    const unsigned long end = last ? static_cast<unsigned long>(pak_length) + 1 : pak_dir[i + 1]->Fptr;
    if (pak_dir[i]->Fptr <= pos && pos < end) return static_cast<int>(i);
  }
  return -1;
}

// The entry of the stream's position when it is an archive stream, else -1.
int stream_entry(FILE* stream, long& p) {
  p = std::ftell(stream);
  if (!pak_is_open() || !is_archive_stream(stream)) return -1;
  return entry_at(p);
}

// A new stream on the archive file at the entry, remembered in slot; null
// (after a log line) when the archive file cannot be reopened.
FILE* open_entry(const pakentry& entry, FILE*& slot) {
  FILE* stream = std::fopen(pak_path, "rb");
  if (!stream) {
    LOGW("pak: cannot reopen %s\n", pak_path);
    return nullptr;
  }
  LOGW("fptr: %d\n", static_cast<int>(entry.Fptr));
  std::fseek(stream, static_cast<long>(entry.Fptr), SEEK_SET);
  slot = stream;
  return stream;
}

// Seeks to base + offset from the start; -1 when the sum overflows.
int seek_from(FILE* stream, long base, long offset) {
  long target = 0;
  if (__builtin_add_overflow(base, offset, &target)) return -1;
  return std::fseek(stream, target, SEEK_SET);
}

}  // namespace

bool pak_is_open() {
  return pak_dir[0] != nullptr;
}

void pak_close() {
  for (pakentry*& entry : pak_dir) {
    if (!entry) continue;
    std::free(entry->Fname);
    mempool_free(entry);
    entry = nullptr;
  }
  std::free(pak_path);
  pak_path = nullptr;
  pak_length = 0;
  pak_count = 0;
  archive_streams.fill(nullptr);
  archive_problem.clear();
}

pak_status pak_open(const char* path) {
  pak_close();
  FILE* f = std::fopen(path, "rb");
  if (!f) {
    archive_problem = missing_archive_text(path, errno);
    return pak_status::missing;
  }
  pak_path = strdup(path);
  const char* why = nullptr;
  if (!pak_path) {
    why = "no memory for the path";
  } else if (!measure(f, pak_length)) {
    why = "its length cannot be measured";
  } else {
    why = read_archive(f);
  }
  std::fclose(f);
  if (why) {
    LOGW("pak: archive %s refused: %s; every file comes from disk\n", path, why);
    pak_close();
    archive_problem = damaged_archive_text(path, why);
    return pak_status::refused;
  }
  return pak_is_open() ? pak_status::opened : pak_status::empty;
}

FILE* pak_fopen(const char* name, const char* mode) {
  if (pak_is_open() && mode[0] != 'w') {
    uint32_t i = 0;
    while (i < pak_count && std::strcmp(pak_dir[i]->Fname, name) != 0) ++i;
    if (i == pak_count) {
      LOGW("file %s not found in library!\n", name);
    } else {
      FILE** slot = free_stream_slot();
      if (!slot) {
        error_report("pak: too many archive streams are open at once\n");
        return nullptr;
      }
      // An archive that cannot be reopened leaves the name to the disk.
      if (FILE* stream = open_entry(*pak_dir[i], *slot)) return stream;
    }
  }
  if (FILE* stream = std::fopen(name, mode)) return stream;
  LOGW("file %s not found!\n", name);
  const std::string text = std::string("file ") + name + " not found!\n" + archive_problem;
  error_report(text.c_str());
  return nullptr;
}

int pak_fclose(FILE* stream) {
  if (!stream) return EOF;
  forget_stream(stream);
  return std::fclose(stream);
}

long pak_tell(FILE* stream) {
  long p = 0;
  const int e = stream_entry(stream, p);
  if (e < 0) return p;
  return p - static_cast<long>(pak_dir[e]->Fptr);
}

int pak_seek(FILE* stream, long offset, int origin) {
  long p = 0;
  const int e = stream_entry(stream, p);
  if (e < 0) return std::fseek(stream, offset, origin);
  const bool last = static_cast<uint32_t>(e) + 1 == pak_count;
  switch (origin) {
    case SEEK_SET:
      return seek_from(stream, static_cast<long>(pak_dir[e]->Fptr), offset);
    case SEEK_CUR:
      return std::fseek(stream, offset, SEEK_CUR);
    case SEEK_END:
      if (last) return std::fseek(stream, offset, SEEK_END);
      return seek_from(stream, static_cast<long>(pak_dir[e + 1]->Fptr) - 1, offset);
    default:
      return std::fseek(stream, offset, origin);
  }
}
