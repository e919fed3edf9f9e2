// process: see process.h.
#include "platform/process.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// Under node, emscripten's isatty answers yes for every standard stream, even
// a pipe; node itself knows.
EM_JS(int, node_stderr_is_tty, (), {
  return (typeof process !== 'undefined' && process.stderr && process.stderr.isTTY) ? 1 : 0;
});
#endif

namespace platform {

namespace {

// The file whose presence marks a folder as holding the program's data.
constexpr const char* kDataMarker = "pak.pak";

bool holds_data(const std::string& dir) {
  return access((dir + "/" + kDataMarker).c_str(), R_OK) == 0;
}

}  // namespace

void process_exit(int code) {
  std::fflush(stdout);
  if (Backend* b = backend_installed()) b->on_exit(code);
  std::exit(code);
}

bool chdir_to_executable() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return false;
  std::string dir(path, static_cast<size_t>(n));
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos) return false;
  dir.resize(slash == 0 ? 1 : slash);
  const std::string installed = dir + "/" + kInstalledDataDir;
  if (!holds_data(dir) && holds_data(installed)) return chdir(installed.c_str()) == 0;
  return chdir(dir.c_str()) == 0;
}

bool stderr_is_terminal() {
#ifdef __EMSCRIPTEN__
  return node_stderr_is_tty() != 0;
#else
  return isatty(STDERR_FILENO) == 1;
#endif
}

}  // namespace platform
