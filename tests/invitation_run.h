// Runs the whole invitation over the headless backend in a child process and
// brings back what an observer of the run would see: the exit code, one
// record of the program's state per presented frame, chosen frames, stderr
// and the log. The child counts heap allocations (operator new) and file
// opens (fopen) so that tests can check that frames after loading allocate
// and open nothing.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/headless.h"

namespace invitation {

struct Record {
  uint64_t frame;
  uint32_t clock;        // music clock when the frame was presented
  uint32_t progress;     // loading steps done
  uint64_t menu_passes;  // menu loop passes run
  uint32_t main_state;
  uint32_t next_state;
  uint8_t busy;
  uint32_t xfade_level;
  uint32_t back_page;
  int64_t fade_level;
  uint32_t chosen;
  int32_t mouse_x;
  int32_t mouse_y;
  uint32_t top_line[4];
  uint64_t heap_allocations;
  uint64_t file_opens;
  uint32_t pool_used;
};

struct Options {
  std::string script;
  double fps = 60.0;
  int64_t max_frames = -1;
  std::set<uint64_t> keep;  // frames to bring back
  bool keep_all = false;
  bool log = false;
  platform::HeadlessConfig faults;  // fail_* fields are taken from here
  std::string data_dir;             // empty: the build's bin folder
};

struct Result {
  int exit_code = -1;
  std::vector<Record> records;
  std::map<uint64_t, std::vector<uint32_t>> frames;
  std::string err;
  std::string log;

  // First frame presented by the menu loop.
  uint64_t menu_start() const;
};

Result run(const Options& options);

// A folder of its own holding copies of some of the bin folder's files.
std::string data_folder_with(const std::vector<std::string>& files);

}  // namespace invitation
