// host: see host.h. WebAssembly: under node (the capture tool and paktool)
// the program is its script, and its data lies beside that script, not beside
// node; in a browser there is no folder of its own.
#include "platform/host.h"

#include <emscripten.h>

#include <string>

// Writes the folder of the running script under node into out (at most size
// bytes with the terminating zero); returns 0 in a browser or when the path
// does not fit.
EM_JS(int, node_script_folder, (char* out, int size), {
  if (typeof process === 'undefined' || !process.versions || !process.versions.node) return 0;
  if (!process.argv || !process.argv[1]) return 0;
  var path = require('path');
  var folder = path.dirname(path.resolve(process.argv[1]));
  if (lengthBytesUTF8(folder) + 1 > size) return 0;
  stringToUTF8(folder, out, size);
  return 1;
});

// Under node, emscripten's isatty answers yes for every standard stream, even
// a pipe; node itself knows.
EM_JS(int, node_stderr_is_tty, (), {
  return (typeof process !== 'undefined' && process.stderr && process.stderr.isTTY) ? 1 : 0;
});

EM_JS(int, running_under_node, (), {
  return (typeof process !== 'undefined' && process.versions && process.versions.node) ? 1 : 0;
});

namespace platform {

namespace {
constexpr int kFolderLimit = 4096;
}

std::string host_program_folder() {
  std::string dir(kFolderLimit, '\0');
  if (!node_script_folder(dir.data(), kFolderLimit)) return "";
  dir.resize(dir.find('\0'));
  return dir;
}

bool host_has_program_folder() {
  return running_under_node() != 0;
}

bool host_stderr_is_terminal() {
  return node_stderr_is_tty() != 0;
}

int host_window_scale(int, int) {
  // The page lays the canvas out and the browser scales it to the display.
  return 1;
}

bool host_stderr_takes_escapes() {
  return true;  // node's terminals do
}

std::string host_missing_data_advice() {
  if (running_under_node()) return "pak.pak and qtn.mp3 belong beside the program's script.\n";
  return "The site must serve pak.pak and qtn.mp3 beside index.html: reload the page, or tell its host.\n";
}

}  // namespace platform
