// host: see host.h. Linux: the executable is /proc/self/exe.
#include "platform/host.h"

#include <unistd.h>

#include <climits>

#include "platform/process.h"

namespace platform {

std::string host_program_folder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "";
  std::string dir(path, static_cast<size_t>(n));
  const size_t slash = dir.rfind('/');
  if (slash == std::string::npos) return "";
  dir.resize(slash == 0 ? 1 : slash);
  return dir;
}

bool host_has_program_folder() {
  return true;
}

bool host_stderr_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}

bool host_stderr_takes_escapes() {
  return true;  // every terminal emulator does
}

std::string host_missing_data_advice() {
  return std::string("pak.pak and qtn.mp3 belong beside the program, or in ") + kInstalledDataDir +
         " from its folder when it is installed: install the package again or rebuild.\n";
}

int host_window_scale(int, int) {
  // X11 and Wayland desktops scale windows themselves where they scale.
  return 1;
}

}  // namespace platform
