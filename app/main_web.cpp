// velmora2k in a web browser: the page has put pak.pak and qtn.mp3 (those it
// could fetch) into the module's working folder before main runs; the run is
// the desktop's, shown and heard through the page.
#include "app/driver.h"
#include "platform/process.h"
#include "platform/web.h"

int main() {
  platform::backend_install(platform::web_backend_create());
  platform::process_exit(entry_routine());
}
