// arrival: see arrival.h. The browser build's variant asks the page
// (Module.page.filePending and fileWait, web/bridge.js) and, while the file
// is on its way, suspends the program with ASYNCIFY until the page settles
// the wait. The node tools, built from the same core, run without a page:
// there every file is on the real disk, nothing waits.
#include "platform/arrival.h"

#include <emscripten.h>

// 1 when the page is downloading this file right now.
EM_JS(int, web_file_pending, (const char* path), {
  if (!Module.page) return 0;  // a node tool
  return Module.page.filePending(UTF8ToString(path)) ? 1 : 0;
});

// Woken as web.cpp's waits are: the run may end (ExitStatus) on the way.
EM_JS(void, web_file_wait, (const char* path), {
  return Asyncify.handleSleep(function(wakeUp) {
    Module.page.fileWait(UTF8ToString(path)).then(function() {
      try {
        wakeUp();
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    });
  });
});

namespace platform {

void file_arrival_wait(const char* path) {
  if (web_file_pending(path)) web_file_wait(path);
}

}  // namespace platform
