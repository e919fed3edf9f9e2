// log: the process-wide diagnostic log.
//
// The log is an append-only text file opened and closed again for every write.
// It starts disabled and without a file name; nothing in the program enables
// it, so a normal run writes no log. The capture tool and the archive tool
// enable it with --log FILE. Every message carries its own module prefix and
// line breaks; one line is often built from several writes.
//
// Call sites follow one convention: test that the log object exists before
// every write. LOGW does exactly that.
//
// The layers above the platform include it through resources/log.h, which
// adds the fatal error report.
#pragma once

#include <cstdint>
#include <cstdio>

// A formatted message is cut at this many bytes (terminating zero included).
constexpr int kLogLineBytes = 4096;

struct logfile {
  char* name = nullptr;   // path of the log file; null until a build names it
  FILE* handle = nullptr; // stream of the write in progress
  uint8_t enabled = 0;    // writes happen only when this is exactly 1
  char line[kLogLineBytes] = {};
};

// The process-wide log object (created by static initialisation; may be null).
extern logfile* g_log;

logfile* log_create();
// Names the log file and enables the log (the program itself never does this).
void log_enable(logfile* lf, const char* path);

void log_write(logfile* lf, const char* format, ...) __attribute__((format(printf, 2, 3)));

#define LOGW(...)                         \
  do {                                    \
    if (g_log) log_write(g_log, __VA_ARGS__); \
  } while (0)
