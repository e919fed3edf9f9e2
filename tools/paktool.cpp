// paktool: builds and inspects the data archive with the program's own
// archive, file layer and picture code.
//
//   paktool [--log FILE] pack OUT.pak FILE...      archive the files under their base names
//   paktool [--log FILE] list PAK                  name, Fptr and reader's size per entry
//   paktool [--log FILE] extract PAK DIR           every entry, reader's size, into DIR
//   paktool [--log FILE] cat PAK NAME              what opening NAME yields, size bytes
//   paktool [--log FILE] decode [--pak PAK] NAME OUT
//                                                  load NAME as the program does, widen
//                                                  to 32 bits, write the block raw to OUT
//   paktool --help | --version
//
// Errors end with exit status 1 and a line on stderr: "paktool: ..." for the
// tool's own, the program's error report for those of its code. pack
// refuses what the reader could not serve (see pakwrite.h) and never leaves
// a partial archive behind.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/hostfs.h"
#include "platform/process.h"
#include "resources/cfile.h"
#include "resources/cimage.h"
#include "resources/log.h"
#include "resources/mempool.h"
#include "resources/pak.h"
#include "resources/pakwrite.h"
#include "velmora_version.h"

namespace {

constexpr char kUsage[] =
    "usage: paktool [--log FILE] pack OUT.pak FILE...\n"
    "       paktool [--log FILE] list PAK\n"
    "       paktool [--log FILE] extract PAK DIR\n"
    "       paktool [--log FILE] cat PAK NAME\n"
    "       paktool [--log FILE] decode [--pak PAK] NAME OUT";

// --help: the usage, then each command and option (the manual page is made from it).
constexpr char kHelp[] =
    "\n"
    "Builds and inspects the invitation's data archive with the program's own\n"
    "archive, file and picture code.\n"
    "\n"
    "Commands:\n"
    "  pack OUT.pak FILE...   archive the files under their base names\n"
    "  list PAK               name, offset and size of each entry\n"
    "  extract PAK DIR        write every entry into DIR\n"
    "  cat PAK NAME           write what opening NAME yields to stdout\n"
    "  decode [--pak PAK] NAME OUT\n"
    "                         load the picture NAME as the program does, widen it\n"
    "                         to 32 bits and write the pixels raw to OUT\n"
    "\n"
    "Options:\n"
    "  --log FILE             write the diagnostic log to FILE\n"
    "  -h, --help             show this help\n"
    "  --version              show the version\n";

// The tool's own errors: on stderr and in the log, named by the tool (a
// console program shows no box, so no box caption), then exit status 1.
[[noreturn]] void fail(const std::string& text) {
  const std::string line = "paktool: " + text + "\n";
  std::fputs(line.c_str(), stderr);
  LOGW("%s", line.c_str());
  platform::process_exit(platform::kExitFatal);
}

std::vector<uint8_t> read_disk_file(const std::string& path) {
  uint64_t size = 0;
  if (!platform::host_regular_file_size(path, size)) fail("cannot read " + path);
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) fail("cannot read " + path + ": " + std::strerror(errno));
  std::vector<uint8_t> data(static_cast<size_t>(size));
  const size_t n = data.empty() ? 0 : std::fread(data.data(), 1, data.size(), f);
  std::fclose(f);
  if (n != data.size()) fail("cannot read " + path);
  return data;
}

void write_disk_file(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) fail("cannot create " + path + ": " + std::strerror(errno));
  const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !written) fail("cannot write " + path);
}

// Opens the archive for the commands that read one; an empty archive is
// fine (every name then comes from disk), a missing or refused one is not.
void open_archive(const std::string& path) {
  switch (pak_open(path.c_str())) {
    case pak_status::missing:
      fail("cannot read " + path);
    case pak_status::refused:
      fail(path + " is not a valid archive (--log FILE tells why)");
    case pak_status::opened:
    case pak_status::empty:
      break;
  }
}

// The bytes that opening name through the archive yields, size() bytes long.
std::vector<uint8_t> read_through_archive(const char* name) {
  cfile f;
  f.open(name, "rb");
  const long size = f.size();
  std::vector<uint8_t> data(size > 0 ? static_cast<size_t>(size) : 0);
  if (!data.empty()) f.read(data.data(), static_cast<uint32_t>(data.size()));
  f.close();
  return data;
}

// Entry names become file names in the target folder: only plain names, on
// every system (no folder separator of Linux or Windows, no drive letter).
bool is_plain_file_name(const char* name) {
  return name[0] != '\0' && std::strpbrk(name, "/\\:") == nullptr && std::strcmp(name, ".") != 0 &&
         std::strcmp(name, "..") != 0;
}

int pack(const std::vector<std::string>& args) {
  if (args.empty()) fail(std::string("pack needs OUT.pak\n") + kUsage);
  std::vector<pak_item> items;
  for (size_t i = 1; i < args.size(); ++i) items.push_back({platform::host_base_name(args[i]), {}});
  std::string error;
  if (!pak_check_items(items, error)) fail("refusing to pack " + args[0] + ": " + error);
  for (size_t i = 1; i < args.size(); ++i) items[i - 1].data = read_disk_file(args[i]);
  if (!pak_write(args[0].c_str(), items, error)) fail(error);
  return 0;
}

int list(const std::vector<std::string>& args) {
  if (args.size() != 1) fail(std::string("list needs PAK\n") + kUsage);
  open_archive(args[0]);
  for (uint32_t i = 0; i < pak_count; ++i) {
    cfile f;
    f.open(pak_dir[i]->Fname, "rb");
    const long size = f.size();
    f.close();
    std::printf("%s %u %ld\n", pak_dir[i]->Fname, pak_dir[i]->Fptr, size);
  }
  return 0;
}

int extract(const std::vector<std::string>& args) {
  if (args.size() != 2) fail(std::string("extract needs PAK and DIR\n") + kUsage);
  open_archive(args[0]);
  const std::string& dir = args[1];
  if (!platform::host_make_folder(dir)) fail("cannot create " + dir + ": " + std::strerror(errno));
  std::set<std::string> written;
  for (uint32_t i = 0; i < pak_count; ++i) {
    const char* name = pak_dir[i]->Fname;
    if (!is_plain_file_name(name)) fail(std::string("the entry name '") + name + "' is not a plain file name");
    // The reader serves the first of two equal names; a later one is unreachable.
    if (!written.insert(name).second) continue;
    const std::vector<uint8_t> data = read_through_archive(name);
    write_disk_file(dir + "/" + name, data.data(), data.size());
  }
  return 0;
}

int cat(const std::vector<std::string>& args) {
  if (args.size() != 2) fail(std::string("cat needs PAK and NAME\n") + kUsage);
  open_archive(args[0]);
  const std::vector<uint8_t> data = read_through_archive(args[1].c_str());
  if (!data.empty() && std::fwrite(data.data(), 1, data.size(), stdout) != data.size()) {
    fail("cannot write to stdout");
  }
  return 0;
}

int decode(std::vector<std::string> args) {
  if (args.size() >= 2 && args[0] == "--pak") {
    open_archive(args[1]);
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() != 2) fail(std::string("decode needs NAME and OUT\n") + kUsage);
  // load lower-cases the name in place: it gets its own writable copy.
  std::vector<char> name(args[0].begin(), args[0].end());
  name.push_back('\0');
  cimage picture;
  if (!picture.load(name.data())) fail(args[0] + " is not a picture type the program reads");
  picture.to32();
  std::printf("width %d height %d bpp %d kind %d size %u\n", picture.width, picture.height, picture.bpp,
              picture.kind, picture.size);
  write_disk_file(args[1], picture.pixels, picture.size);
  mempool_free(picture.pixels);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  static platform::HeadlessBackend backend;
  platform::backend_install(&backend);
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (args.size() == 1 && args[0] == "--version") {
    std::puts("paktool " VELMORA_VERSION);
    return 0;
  }
  if (args.size() >= 2 && args[0] == "--log") {
    log_enable(g_log, args[1].c_str());
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) fail(kUsage);
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "pack") return pack(args);
  if (command == "list") return list(args);
  if (command == "extract") return extract(args);
  if (command == "cat") return cat(args);
  if (command == "decode") return decode(args);
  fail("unknown command " + command + "\n" + kUsage);
}
