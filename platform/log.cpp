// log: see log.h.
#include "platform/log.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

logfile* log_create() {
  return new (std::nothrow) logfile();
}

void log_enable(logfile* lf, const char* path) {
  if (!lf) return;
  std::free(lf->name);
  lf->name = path ? strdup(path) : nullptr;
  lf->enabled = lf->name ? 1 : 0;
}

void log_write(logfile* lf, const char* format, ...) {
  if (lf->enabled != 1 || !lf->name) return;
  va_list args;
  va_start(args, format);
  // vsnprintf never writes past the buffer; longer messages are cut at
  // kLogLineBytes - 1 characters.
  std::vsnprintf(lf->line, sizeof lf->line, format, args);
  va_end(args);
  lf->handle = std::fopen(lf->name, "at");
  if (!lf->handle) return;  // this message is dropped; the next write tries again
  std::fputs(lf->line, lf->handle);
  std::fclose(lf->handle);
  lf->handle = nullptr;
}
