// The layers of the product point one way: every `#include "..."` line of
// the product folders names a header of its own folder or of one the table
// below allows. And what differs between systems stays in platform/: no
// other folder of the product or its tools includes SDL or emscripten
// headers or tests a system's macro (instruction-set macros are no system's:
// the pixel kernels choose by them). A line that breaks either fails the
// test, named by file and line. Within platform/, each system's variant of a
// module (NAME.cpp, NAME_web.cpp, NAME_win.cpp) defines every function of
// NAME.h, which only that system's build would otherwise find missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
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
    // The party kit makes the data the stages read, with the archive and
    // picture code; it never runs them.
    {"kit", {"resources/", "platform/"}},
    {"gfx2d", {"resources/", "platform/"}},
    // The 3D object knows no display, input or sound.
    {"render3d", {"resources/"}},
    // Resources log, end the process, show the error box and read the
    // memory status through the platform.
    {"resources", {"platform/"}},
    {"platform", {}},
};

// Headers the build writes from one source every layer reads (the version,
// the screen layout): "velmora_NAME.h", with no folder.
bool generated(const std::string& header) {
  static const std::regex kGenerated("velmora_[a-z0-9_]+\\.h");
  return std::regex_match(header, kGenerated);
}

bool allowed(const layer& from, const std::string& header) {
  if (generated(header)) return true;
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
const char* const kPortableFolders[] = {"app", "kit", "gfx2d", "render3d", "resources", "tools"};
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

// The statements that start in the first column (namespace level: classes'
// members and function bodies are indented), each joined up to its first ';'
// or '{', with the function it names: the first identifier followed by '('.
// A statement ending in ';' declares the function, one ending in '{'
// defines it.
struct TopStatement {
  std::string function;
  bool defines = false;
};

std::vector<TopStatement> top_statements(std::istream& in) {
  static const std::regex kFunction(R"(([A-Za-z_]\w*)\s*\()");
  static const std::regex kNotAFunction(R"(^(#|//|\}|struct\b|class\b|enum\b|namespace\b|using\b|typedef\b|template\b|constexpr\b|extern\b))");
  std::vector<TopStatement> found;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || std::isspace(static_cast<unsigned char>(line[0])) || std::regex_search(line, kNotAFunction)) continue;
    std::string statement = line;
    while (statement.find_first_of(";{") == std::string::npos && std::getline(in, line)) statement += " " + line;
    std::smatch name;
    if (!std::regex_search(statement, name, kFunction)) continue;
    const size_t end = statement.find_first_of(";{");
    found.push_back({name[1], end != std::string::npos && statement[end] == '{'});
  }
  return found;
}

std::vector<TopStatement> top_statements(const fs::path& file) {
  std::ifstream in(file);
  return top_statements(in);
}

// A platform module with variants per system: platform/NAME.h, and
// NAME.cpp (Linux), NAME_web.cpp (WebAssembly), NAME_win.cpp (Windows), of
// which the build for each system compiles one. Every variant defines every
// function the header declares, or one system's build would not link (or
// link only while nothing there calls the missing one).
std::string missing_definitions(const fs::path& platform_folder) {
  std::string missing;
  for (const fs::path& file : sources(platform_folder)) {
    const std::string stem = file.stem().string();
    if (file.extension() != ".cpp") continue;
    std::string module = stem;
    for (const char* suffix : {"_web", "_win"}) {
      const std::string s = suffix;
      if (stem.size() > s.size() && stem.compare(stem.size() - s.size(), s.size(), s) == 0) {
        module = stem.substr(0, stem.size() - s.size());
      }
    }
    const bool variant = module != stem;
    const bool has_variants = variant || fs::exists(platform_folder / (module + "_web.cpp")) ||
                              fs::exists(platform_folder / (module + "_win.cpp"));
    if (!has_variants) continue;
    const fs::path header = platform_folder / (module + ".h");
    if (!fs::exists(header)) {
      missing += "\n  platform/" + file.filename().string() + ": no header platform/" + module + ".h";
      continue;
    }
    const std::vector<TopStatement> defined = top_statements(file);
    for (const TopStatement& d : top_statements(header)) {
      if (d.defines) continue;
      const bool found = std::any_of(defined.begin(), defined.end(), [&](const TopStatement& s) {
        return s.defines && s.function == d.function;
      });
      if (!found) missing += "\n  platform/" + file.filename().string() + ": no " + d.function + "()";
    }
  }
  return missing;
}

TEST(Layers, EveryPlatformVariantDefinesWhatItsHeaderDeclares) {
  const fs::path platform_folder = fs::path(VELMORA_SOURCE_DIR) / "platform";
  // The reader itself: declarations and definitions in the first column,
  // over several lines; members, bodies and macros are not functions.
  std::istringstream probe(
      "#define LOGW(x) \\\n  do { log_write(x); } while (0)\n"
      "struct S {\n  int member();\n};\n"
      "FILE* pipe_open(const std::string& program,\n               int count);\n"
      "int inline_one() { return 1; }\n"
      "void write(const char* f, ...) __attribute__((format(printf, 1, 2)));\n");
  const std::vector<TopStatement> probed = top_statements(probe);
  ASSERT_EQ(probed.size(), 3u);
  EXPECT_EQ(probed[0].function, "pipe_open");
  EXPECT_FALSE(probed[0].defines);
  EXPECT_EQ(probed[1].function, "inline_one");
  EXPECT_TRUE(probed[1].defines);
  EXPECT_EQ(probed[2].function, "write");

  EXPECT_GE(top_statements(platform_folder / "host.h").size(), 4u) << "host.h's functions were not found";
  const std::string missing = missing_definitions(platform_folder);
  EXPECT_TRUE(missing.empty()) << "platform variants that lack a function of their header:" << missing;
}

TEST(Layers, AllowedHeaders) {
  const layer& kit = kLayers[1];
  const layer& platform = kLayers[5];
  ASSERT_STREQ(kit.folder, "kit");
  ASSERT_STREQ(platform.folder, "platform");
  struct Case {
    const layer& from;
    const char* header;
    bool ok;
  };
  const Case cases[] = {
      {kit, "kit/pages.h", true},
      {kit, "resources/pak.h", true},
      {kit, "gfx2d/font.h", false},
      {kit, "app/assets.h", false},
      {kit, "kitchen/x.h", false},
      {platform, "velmora_layout.h", true},
      {platform, "velmora_version.h", true},
      {kit, "velmora_layout.h", true},
      {kit, "generated/velmora_layout.h", false},
      {kit, "velmora_layout.hpp", false},
      {kit, "layout.h", false},
      {platform, "resources/log.h", false},
  };
  for (const Case& c : cases) EXPECT_EQ(allowed(c.from, c.header), c.ok) << c.from.folder << " -> " << c.header;
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
