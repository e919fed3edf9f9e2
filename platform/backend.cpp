// backend: the installed backend (see backend.h).
#include "platform/backend.h"

#include <cassert>

namespace platform {

namespace {
Backend* installed = nullptr;
}

void backend_install(Backend* b) {
  installed = b;
}

Backend& backend() {
  assert(installed && "no platform backend installed");
  return *installed;
}

Backend* backend_installed() {
  return installed;
}

}  // namespace platform
