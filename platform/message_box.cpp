// message_box: see message_box.h.
#include "platform/message_box.h"

#include <cstdio>
#include <cstring>

#include "platform/backend.h"

namespace platform {

void message_box(const char* caption, const char* text) {
  const size_t n = std::strlen(text);
  std::fprintf(stderr, "%s: %s%s", caption, text, (n > 0 && text[n - 1] == '\n') ? "" : "\n");
  std::fflush(stderr);
  if (Backend* b = backend_installed()) b->message_box(caption, text);
}

}  // namespace platform
