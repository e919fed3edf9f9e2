// hostfs: see hostfs.h. Windows: the wide-character calls of the C runtime
// and the system, so that paths outside ASCII work; files open as bytes.
#include "platform/hostfs.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "platform/wintext.h"

namespace platform {

namespace {

constexpr int kReadable = 4;  // _waccess mode: read permission

// One argument as the C runtime's command-line parser reads it back:
// quoted, with backslashes doubled only where they precede a quote.
std::wstring argument_quote(const std::wstring& text) {
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

bool host_change_folder(const std::string& path) {
  return _wchdir(wide_from_utf8(path).c_str()) == 0;
}

bool host_file_readable(const std::string& path) {
  return _waccess(wide_from_utf8(path).c_str(), kReadable) == 0;
}

bool host_replace_file(const std::string& from, const std::string& to) {
  return MoveFileExW(wide_from_utf8(from).c_str(), wide_from_utf8(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool host_remove_file(const std::string& path) {
  return DeleteFileW(wide_from_utf8(path).c_str()) != 0;
}

bool host_regular_file_size(const std::string& path, uint64_t& size) {
  struct _stat64 st {};
  if (_wstat64(wide_from_utf8(path).c_str(), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool host_make_folder(const std::string& path) {
  return _wmkdir(wide_from_utf8(path).c_str()) == 0 || errno == EEXIST;
}

std::string host_absolute_path(const std::string& path) {
  if (path.empty()) return path;
  const std::unique_ptr<wchar_t, decltype(&std::free)> full(_wfullpath(nullptr, wide_from_utf8(path).c_str(), 0),
                                                            &std::free);
  return full ? utf8_from_wide(full.get()) : path;
}

std::string host_base_name(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int host_open_for_reading(const char* path) {
  return _wopen(wide_from_utf8(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

bool host_program_on_path(const std::string& program) {
  const wchar_t* path = _wgetenv(L"PATH");
  if (!path) return false;
  const std::wstring file = wide_from_utf8(program) + L".exe";
  std::wstring dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(L';', start);
    if (end == std::wstring::npos) end = dirs.size();
    const std::wstring dir = dirs.substr(start, end - start);
    if (!dir.empty() && _waccess((dir + L"\\" + file).c_str(), 0) == 0) return true;
    start = end + 1;
  }
  return false;
}

FILE* host_pipe_open(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring command = argument_quote(wide_from_utf8(program));
  for (const std::string& a : arguments) command += L" " + argument_quote(wide_from_utf8(a));
  // _wpopen hands the line to cmd.exe /c, which drops the outermost quotes.
  return _wpopen((L"\"" + command + L"\"").c_str(), L"wb");
}

bool host_pipe_close(FILE* pipe) {
  return _pclose(pipe) == 0;
}

}  // namespace platform
