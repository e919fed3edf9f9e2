// A fuzz target's private folder: made under the system's temporary folder
// on the first input and removed when the process ends. The working
// directory is left alone (libFuzzer writes its corpus and artifacts by the
// paths it was given), so files in the folder are named by full path.
// The first call also enables the log into the null device, so that every log
// line is formatted, and makes error reports return instead of ending the
// process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "resources/log.h"

inline const std::string& private_folder(const char* target) {
  static std::string folder;
  if (!folder.empty()) return folder;
  std::string dir = (std::filesystem::temp_directory_path() / (std::string("velmora-fuzz-") + target + "-XXXXXX")).string();
  if (!mkdtemp(&dir[0])) std::abort();
  folder = dir;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  log_enable(g_log, "/dev/null");
  report_returns_set(1);
  return folder;
}

inline void write_input(const std::string& path, const uint8_t* data, size_t size) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  std::fclose(out);
}
