// velmora2k: the invitation in a real window. No arguments, no configuration.
#include <cstdio>

#include "app/driver.h"
#include "platform/process.h"
#include "platform/sdl.h"

int main() {
  platform::chdir_to_executable();
  platform::backend_install(platform::sdl_backend_create());
  platform::process_exit(entry_routine());
}
