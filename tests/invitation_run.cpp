// See invitation_run.h. This file is compiled into the end-to-end test
// program only (included from it), with its counting hooks.
#include "tests/invitation_run.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>

#include "app/assets.h"
#include "app/driver.h"
#include "app/menu.h"
#include "gfx2d/buttons.h"
#include "gfx2d/textpage.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "resources/log.h"
#include "resources/mempool.h"

namespace {
std::atomic<uint64_t> heap_allocations{0};
std::atomic<uint64_t> file_opens{0};
}  // namespace

// Every form of operator new and delete is replaced, so that no allocation
// escapes the count and every block is released by the allocator that made it.
namespace {
void* counted_alloc(size_t size) {
  ++heap_allocations;
  return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = counted_alloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) {
  if (void* p = counted_alloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return counted_alloc(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
  return counted_alloc(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

extern "C" FILE* fopen(const char* path, const char* mode) {
  using fopen_fn = FILE* (*)(const char*, const char*);
  static const auto real = reinterpret_cast<fopen_fn>(dlsym(RTLD_NEXT, "fopen"));
  ++file_opens;
  return real(path, mode);
}

namespace invitation {

namespace {

constexpr size_t kMaxRecords = 8192;
Record records[kMaxRecords];
size_t record_count = 0;

std::string make_temp_dir() {
  char dir[] = "/tmp/velmora_run_XXXXXX";
  if (!mkdtemp(dir)) std::abort();
  return dir;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Writes without the heap, so the hooks do not count the observer's work.
void write_all(const char* path, const void* data, size_t bytes) {
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  const auto* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, p, bytes);
    if (n <= 0) break;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  ::close(fd);
}

void record_frame(uint64_t index) {
  if (record_count >= kMaxRecords) return;
  Record& r = records[record_count++];
  r.frame = index;
  r.clock = platform::backend().audio_clock_ms();
  r.progress = progress_count();
  r.menu_passes = menu_passes;
  r.main_state = main_state;
  r.next_state = next_state;
  r.busy = busy;
  r.xfade_level = xfade_level;
  r.back_page = back_page;
  r.fade_level = fade_level;
  r.chosen = buttonlist.chosen;
  r.mouse_x = mouse_x;
  r.mouse_y = mouse_y;
  for (uint32_t p = 0; p < kPageCount; ++p) r.top_line[p] = textpages[p].top_line;
  r.heap_allocations = heap_allocations;
  r.file_opens = file_opens;
  r.pool_used = g_pool ? g_pool->used : 0;
}

[[noreturn]] void child(const Options& o, const std::string& out) {
  const std::string dir = o.data_dir.empty() ? std::string(VELMORA_BIN_DIR) : o.data_dir;
  const int err = ::open((out + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (err >= 0) dup2(err, 2);
  if (chdir(dir.c_str()) != 0) _exit(98);
  if (o.log) log_enable(g_log, (out + "/log").c_str());
  platform::HeadlessConfig config = o.faults;
  config.fps = o.fps;
  config.max_frames = o.max_frames;
  std::string error;
  if (!platform::script_parse(o.script, config.script, error)) _exit(97);
  auto* hb = new platform::HeadlessBackend(config);
  hb->frame_hook = [&o, out](uint64_t index, const uint32_t* px, int w, int h) {
    record_frame(index);
    if (o.keep_all || o.keep.count(index)) {
      char path[512];
      std::snprintf(path, sizeof path, "%s/frame_%llu", out.c_str(), static_cast<unsigned long long>(index));
      write_all(path, px, sizeof(uint32_t) * static_cast<size_t>(w) * static_cast<size_t>(h));
    }
  };
  hb->exit_hook = [out](int, bool) { write_all((out + "/records").c_str(), records, sizeof(Record) * record_count); };
  platform::backend_install(hb);
  platform::process_exit(entry_routine());
}

}  // namespace

uint64_t Result::menu_start() const {
  for (const Record& r : records) {
    if (r.menu_passes == 1) return r.frame;
  }
  return UINT64_MAX;
}

Result run(const Options& o) {
  const std::string out = make_temp_dir();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) child(o, out);
  int status = 0;
  waitpid(pid, &status, 0);
  Result r;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  const std::string raw = read_file(out + "/records");
  r.records.resize(raw.size() / sizeof(Record));
  if (!r.records.empty()) std::memcpy(r.records.data(), raw.data(), r.records.size() * sizeof(Record));
  for (const Record& rec : r.records) {
    if (!o.keep_all && !o.keep.count(rec.frame)) continue;
    const std::string px = read_file(out + "/frame_" + std::to_string(rec.frame));
    std::vector<uint32_t> frame(px.size() / 4);
    if (!frame.empty()) std::memcpy(frame.data(), px.data(), frame.size() * 4);
    r.frames[rec.frame] = std::move(frame);
  }
  r.err = read_file(out + "/stderr");
  r.log = read_file(out + "/log");
  return r;
}

std::string data_folder_with(const std::vector<std::string>& files) {
  const std::string dir = make_temp_dir();
  for (const std::string& f : files) {
    const std::string bytes = read_file(std::string(VELMORA_BIN_DIR) + "/" + f);
    write_all((dir + "/" + f).c_str(), bytes.data(), bytes.size());
  }
  return dir;
}

}  // namespace invitation
