// process: see process.h.
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/backend.h"
#include "platform/host.h"
#include "platform/hostfs.h"

namespace platform {

namespace {

// The file whose presence marks a folder as holding the program's data.
constexpr const char* kDataMarker = "pak.pak";

bool holds_data(const std::string& dir) {
  return host_file_readable(dir + "/" + kDataMarker);
}

}  // namespace

void process_exit(int code) {
  std::fflush(stdout);
  if (Backend* b = backend_installed()) b->on_exit(code);
  std::exit(code);
}

bool chdir_to_executable() {
  if (!host_has_program_folder()) return true;  // a browser: the data is already here
  const std::string dir = host_program_folder();
  if (dir.empty()) return false;
  const std::string installed = dir + "/" + kInstalledDataDir;
  if (!holds_data(dir) && holds_data(installed)) return host_change_folder(installed);
  return host_change_folder(dir);
}

bool stderr_is_terminal() {
  return host_stderr_is_terminal();
}

bool stderr_takes_escapes() {
  return host_stderr_takes_escapes();
}

}  // namespace platform
