// host: see host.h. Windows: the executable's path from GetModuleFileNameW,
// the console from the standard error handle, the window scale from the
// display's DPI and work area.
#include "platform/host.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/wintext.h"

namespace platform {

namespace {

// The DPI at which Windows draws at 100 %.
constexpr int kBaseDpi = 96;
constexpr DWORD kPathLimit = 32768;

// Set up before main:
// - A program built for the GUI subsystem starts without standard streams
//   even when a console started it: it then writes its notices to that
//   console. Streams already given (a pipe, a file, a console program) stay.
// - The standard streams write bytes as they are, so that output is byte for
//   byte Linux's (no CR before each LF).
struct StandardStreams {
  StandardStreams() {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if ((err == nullptr || err == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
      std::freopen("CONOUT$", "w", stderr);
      std::freopen("CONOUT$", "w", stdout);
    }
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
  }
};
const StandardStreams standard_streams;

}  // namespace

std::string host_program_folder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return "";
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    if (path.size() >= kPathLimit) return "";
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return "";
  path.resize(slash);
  return utf8_from_wide(path);
}

bool host_has_program_folder() {
  return true;
}

bool host_stderr_is_terminal() {
  // A console answers GetConsoleMode; a pipe, a file and NUL do not.
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::string host_missing_data_advice() {
  // Explorer runs a program opened inside a zip from a temporary folder of
  // its own, without the files beside it.
  return "Extract all files of the zip into one folder (in Explorer: right-click the zip, "
         "\"Extract All...\") and start velmora2k.exe from that folder.\n";
}

bool host_stderr_takes_escapes() {
  // Windows 10 and later consoles interpret escape sequences once asked to;
  // older ones refuse the mode.
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(err, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int host_window_scale(int width, int height) {
  // The program declares itself DPI aware, so Windows reports the display's
  // real DPI and does not enlarge (and blur) the window itself.
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kBaseDpi;
  if (screen) ReleaseDC(nullptr, screen);
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return 1;
  for (int scale = dpi / kBaseDpi; scale > 1; --scale) {
    RECT frame{0, 0, width * scale, height * scale};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    if (frame.right - frame.left <= work.right - work.left && frame.bottom - frame.top <= work.bottom - work.top) {
      return scale;
    }
  }
  return 1;
}

}  // namespace platform
