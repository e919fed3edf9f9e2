// Tests of reading the camera path and of scene_load.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render3d/balls.h"
#include "render3d/scene.h"
#include "render3d/sceneload.h"
#include "resources/cfile.h"
#include "resources/log.h"

namespace {

namespace fs = std::filesystem;

// Record n, element k (row-major m00 .. m22) holds n + k / 16.
float element(uint32_t n, int k) {
  return static_cast<float>(n) + static_cast<float>(k) / 16.0f;
}

std::vector<uint8_t> camera_bytes(uint32_t records) {
  std::vector<uint8_t> bytes;
  for (uint32_t n = 0; n < records; ++n) {
    for (int k = 0; k < 9; ++k) {
      uint32_t bits;
      const float f = element(n, k);
      std::memcpy(&bits, &f, sizeof bits);
      for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(bits >> (8 * b)));
    }
  }
  return bytes;
}

class SceneLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("velmora_sceneload_" + std::to_string(getpid()));
    fs::create_directories(dir);
    campath.fill(mat34{});
  }
  void TearDown() override {
    log_enable(g_log, nullptr);
    fs::remove_all(dir);
  }
  std::string write(const char* name, const std::vector<uint8_t>& bytes) {
    const fs::path path = dir / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path.string();
  }
  void read_path(const std::string& path) {
    cfile file;
    file.open(path.c_str(), "rb");
    campath_read(file);
    file.close();
  }
  std::string log_text() const {
    std::ifstream in(dir / "log.txt");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir;
};

void expect_record(uint32_t n) {
  const mat34& m = campath[n];
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) EXPECT_EQ(m.m[row][column], element(n, row * 3 + column)) << n;
    EXPECT_EQ(m.m[row][3], 0.0f) << n;
  }
}

void expect_identity(uint32_t n) {
  for (int row = 0; row < 3; ++row)
    for (int column = 0; column < 4; ++column) EXPECT_EQ(campath[n].m[row][column], row == column ? 1.0f : 0.0f) << n;
}

TEST_F(SceneLoad, ReadsAllRecordsRowByRowAndIgnoresTrailingBytes) {
  std::vector<uint8_t> bytes = camera_bytes(kCamRecords);
  bytes.insert(bytes.end(), 40, 0xFF);
  read_path(write("full.cam", bytes));
  for (uint32_t n : {0u, 1u, 298u, 599u}) expect_record(n);
}

TEST_F(SceneLoad, ShortFileLeavesIdentityRecordsAndSaysSo) {
  log_enable(g_log, (dir / "log.txt").c_str());
  std::vector<uint8_t> bytes = camera_bytes(3);
  bytes.resize(bytes.size() - 4);  // the third record is cut
  read_path(write("short.cam", bytes));
  expect_record(0);
  expect_record(1);
  expect_identity(2);
  expect_identity(599);
  EXPECT_NE(log_text().find("records 2 to 599 are identity"), std::string::npos) << log_text();
}

TEST_F(SceneLoad, SceneLoadReadsUvCamAndPlacesTheBalls) {
  write(kCamPathName, camera_bytes(kCamRecords));
  const fs::path was = fs::current_path();
  fs::current_path(dir);
  balls.count = 0;
  scene_load();
  fs::current_path(was);
  expect_record(0);
  expect_record(599);
  EXPECT_EQ(balls.count, kSceneBalls);
  EXPECT_EQ(balls.ball[0].base.x, -16.0f);
}

}  // namespace
