// Support for the resource tests: each test runs in a fresh temporary folder
// (its working directory) with a fresh archive state, a headless backend and
// a log file it can read back.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"
#include "resources/log.h"
#include "resources/mempool.h"
#include "resources/pak.h"
#include "resources/pakwrite.h"

namespace res_test {

using bytes = std::vector<uint8_t>;

inline bytes text_bytes(const std::string& text) {
  return bytes(text.begin(), text.end());
}

inline void write_file(const std::string& path, const bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void put_u32(bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint32_t get_u32(const bytes& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
         static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// Offset of item i's first field in an archive built by pak_build.
inline size_t item_offset(const std::vector<pak_item>& items, size_t i) {
  size_t at = kPakHeaderBytes;
  for (size_t k = 0; k < i; ++k) at += kPakItemFixedBytes + items[k].name.size() + 1;
  return at;
}

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string pattern = (std::filesystem::temp_directory_path() / "velmora-res-XXXXXX").string();
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    dir_ = dir.data();
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    platform::backend_install(&backend_);
    pak_close();
    report_returns_set(0);
    // The pool writes its banner once, at its first allocation.
    mempool_free(mempool_alloc(4));
  }

  void TearDown() override {
    pak_close();
    log_enable(g_log, nullptr);
    report_returns_set(0);
    platform::backend_install(nullptr);
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
  }

  // Enables the log on a file of the test's folder (read back by log_text).
  void enable_log() {
    log_path_ = dir_ + "/log.txt";
    std::filesystem::remove(log_path_);
    log_enable(g_log, log_path_.c_str());
  }

  std::string log_text() const {
    std::ifstream in(log_path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  // The log without the memory pool's lines, which may start in the middle
  // of another module's line (its banner is written before the log is
  // enabled: see SetUp).
  std::string log_text_without_pool() const {
    std::string text = log_text();
    for (size_t at = text.find("MEMPOOL"); at != std::string::npos; at = text.find("MEMPOOL", at)) {
      const size_t end = text.find('\n', at);
      text.erase(at, end == std::string::npos ? std::string::npos : end + 1 - at);
    }
    return text;
  }

  // Writes "pak.pak" from the items and opens it.
  pak_status open_archive(const std::vector<pak_item>& items) {
    write_file("pak.pak", pak_build(items));
    return pak_open("pak.pak");
  }

  std::string dir_;
  std::filesystem::path old_dir_;
  std::string log_path_;
  platform::HeadlessBackend backend_;
};

}  // namespace res_test
