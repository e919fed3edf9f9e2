// The layers of the product point one way: every `#include "..."` line of
// the product folders names a header of its own folder or of one the table
// below allows. And what differs between systems stays in platform/: no
// other folder of the product or its tools includes SDL or emscripten
// headers or tests a system's macro (instruction-set macros are no system's:
// the pixel kernels choose by them). A line that breaks either fails the
// test, named by file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// What each product folder may include besides its own headers: whole
// folders, always lower in the layers (app, then gfx2d and render3d, then
// resources, then platform, which includes only the system's headers).
struct layer {
  const char* folder;
  std::vector<std::string> may_include;
};

const layer kLayers[] = {
    // The stages draw, render, load and use the platform.
    {"app", {"gfx2d/", "render3d/", "resources/", "platform/"}},
    {"gfx2d", {"resources/", "platform/"}},
    // The 3D object knows no display, input or sound.
    {"render3d", {"resources/"}},
    // Resources log, end the process, show the error box and read the
    // memory status through the platform.
    {"resources", {"platform/"}},
    {"platform", {}},
};

bool allowed(const layer& from, const std::string& header) {
  if (header.rfind(std::string(from.folder) + "/", 0) == 0) return true;
  for (const std::string& to : from.may_include) {
    if (header.rfind(to, 0) == 0) return true;
  }
  return false;
}

// The quoted header of an include line, or "" for any other line.
std::string included(const std::string& line) {
  const size_t hash = line.find_first_not_of(" \t");
  if (hash == std::string::npos || line.compare(hash, 1, "#") != 0) return "";
  const size_t word = line.find_first_not_of(" \t", hash + 1);
  if (word == std::string::npos || line.compare(word, 7, "include") != 0) return "";
  const size_t open = line.find('"', word + 7);
  if (open == std::string::npos) return "";
  const size_t close = line.find('"', open + 1);
  return close == std::string::npos ? "" : line.substr(open + 1, close - open - 1);
}

// The C++ files of a folder, in name order.
std::vector<fs::path> sources(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (ext == ".cpp" || ext == ".h") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Every include line of the product that points the wrong way, as
// "file:line: header"; seen counts the include lines read.
std::vector<std::string> wrong_includes(const fs::path& root, int& seen) {
  std::vector<std::string> wrong;
  for (const layer& l : kLayers) {
    for (const fs::path& file : sources(root / l.folder)) {
      std::ifstream in(file);
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        const std::string header = included(line);
        if (header.empty()) continue;
        seen += 1;
        if (allowed(l, header)) continue;
        wrong.push_back(std::string(l.folder) + "/" + file.filename().string() + ":" + std::to_string(number) +
                        ": " + header);
      }
    }
  }
  return wrong;
}

// Folders whose code runs the same on every system.
const char* const kPortableFolders[] = {"app", "gfx2d", "render3d", "resources", "tools"};
const char* const kSystemHeaders[] = {"<SDL", "<emscripten"};
const char* const kSystemMacros[] = {"_WIN32", "_WIN64", "__EMSCRIPTEN__", "__linux__", "__APPLE__", "__unix__"};

// Why a line ties its file to one system, or "" when it does not.
std::string system_tie(const std::string& line) {
  const size_t hash = line.find_first_not_of(" \t");
  if (hash == std::string::npos || line[hash] != '#') return "";
  const size_t word = line.find_first_not_of(" \t", hash + 1);
  if (word == std::string::npos) return "";
  const std::string rest = line.substr(word);
  if (rest.compare(0, 7, "include") == 0) {
    for (const char* header : kSystemHeaders) {
      if (rest.find(header) != std::string::npos) return std::string("includes ") + header + "...>";
    }
    return "";
  }
  if (rest.compare(0, 2, "if") != 0 && rest.compare(0, 4, "elif") != 0) return "";
  for (const char* macro : kSystemMacros) {
    if (rest.find(macro) != std::string::npos) return std::string("tests ") + macro;
  }
  return "";
}

TEST(Layers, SystemSpecificCodeStaysInPlatform) {
  EXPECT_EQ(system_tie("#include <SDL.h>"), "includes <SDL...>");
  EXPECT_EQ(system_tie("  #  ifdef _WIN32"), "tests _WIN32");
  EXPECT_EQ(system_tie("// #ifdef _WIN32 in a comment"), "");
  EXPECT_EQ(system_tie("#if defined(__EMSCRIPTEN__) || defined(__linux__)"), "tests __EMSCRIPTEN__");
  EXPECT_EQ(system_tie("#elif _WIN32"), "tests _WIN32");
  EXPECT_EQ(system_tie("#if defined(__SSE2__)"), "");
  std::string listed;
  int files = 0;
  for (const char* folder : kPortableFolders) {
    for (const fs::path& file : sources(fs::path(VELMORA_SOURCE_DIR) / folder)) {
      ++files;
      std::ifstream in(file);
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        const std::string tie = system_tie(line);
        if (!tie.empty()) listed += "\n  " + std::string(folder) + "/" + file.filename().string() + ":" + std::to_string(number) + ": " + tie;
      }
    }
  }
  EXPECT_GT(files, 40) << "the sources were not found";
  EXPECT_TRUE(listed.empty()) << "system-specific lines outside platform/:" << listed;
}

// The table lists the layers from the top down: a folder may include only
// folders listed after it, so no arrow runs back up.
TEST(Layers, TableRunsDownOnly) {
  const size_t count = std::size(kLayers);
  for (size_t from = 0; from < count; ++from) {
    for (const std::string& to : kLayers[from].may_include) {
      size_t at = count;
      for (size_t i = 0; i < count; ++i) {
        if (to == std::string(kLayers[i].folder) + "/") at = i;
      }
      EXPECT_LT(at, count) << kLayers[from].folder << " may include " << to << ", which is no layer";
      EXPECT_GT(at, from) << kLayers[from].folder << " may include " << to << ", a layer above it";
    }
  }
}

TEST(Layers, IncludesPointOneWay) {
  int seen = 0;
  const std::vector<std::string> wrong = wrong_includes(VELMORA_SOURCE_DIR, seen);
  EXPECT_GT(seen, 100) << "the include lines were not found";
  std::string listed;
  for (const std::string& w : wrong) listed += "\n  " + w;
  EXPECT_TRUE(wrong.empty()) << "includes against the layers:" << listed;
}

}  // namespace
