// hostfs: see hostfs.h. POSIX: Linux, and WebAssembly under node.
#include "platform/hostfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace platform {

namespace {

constexpr mode_t kFolderMode = 0755;

std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool host_change_folder(const std::string& path) {
  return chdir(path.c_str()) == 0;
}

bool host_file_readable(const std::string& path) {
  return access(path.c_str(), R_OK) == 0;
}

bool host_replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool host_remove_file(const std::string& path) {
  return std::remove(path.c_str()) == 0;
}

bool host_regular_file_size(const std::string& path, uint64_t& size) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool host_make_folder(const std::string& path) {
  return mkdir(path.c_str(), kFolderMode) == 0 || errno == EEXIST;
}

std::string host_absolute_path(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  return std::string(cwd) + "/" + path;
}

std::string host_base_name(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int host_open_for_reading(const char* path) {
  return open(path, O_RDONLY | O_CLOEXEC);
}

bool host_program_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

FILE* host_pipe_open(const std::string& program, const std::vector<std::string>& arguments) {
  std::string command = shell_quote(program);
  for (const std::string& a : arguments) command += " " + shell_quote(a);
  // A program that ends early must not end this one through SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  return popen(command.c_str(), "w");
}

bool host_pipe_close(FILE* pipe) {
  return pclose(pipe) == 0;
}

}  // namespace platform
