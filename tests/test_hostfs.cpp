// The file-system calls that differ between systems, as the tools and the
// archive writer use them; the Windows build runs these under wine too.
#include "platform/hostfs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string read_all(const std::string& path) {
  std::string text;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[256];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
  }
  return text;
}

void write_all(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// A folder of its own, whose name has a space and a letter outside ASCII,
// under the working folder.
class HostFs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = platform::host_absolute_path(std::string("hostfs d\xC3\xA9mo ") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(platform::host_make_folder(dir_));
  }
  std::string dir_;
};

TEST_F(HostFs, FilesAreReplacedReadAsBytesAndMeasured) {
  const std::string a = dir_ + "/a.bin";
  const std::string b = dir_ + "/b.bin";
  // Line ends and a ^Z, which a text-mode read on Windows would change or stop at.
  const std::string bytes("one\r\ntwo\nthree\x1A" "four", 18);
  write_all(a, bytes);
  write_all(b, "old");
  EXPECT_TRUE(platform::host_file_readable(a));
  EXPECT_FALSE(platform::host_file_readable(dir_ + "/missing"));
  uint64_t size = 0;
  EXPECT_TRUE(platform::host_regular_file_size(a, size));
  EXPECT_EQ(size, bytes.size());
  EXPECT_FALSE(platform::host_regular_file_size(dir_, size)) << "a folder is not a regular file";

  // Replacing over an existing file works twice in a row (rename on Windows would refuse).
  ASSERT_TRUE(platform::host_replace_file(a, b));
  EXPECT_EQ(read_all(b), bytes);
  EXPECT_FALSE(platform::host_file_readable(a));
  write_all(a, "newer");
  ASSERT_TRUE(platform::host_replace_file(a, b));
  EXPECT_EQ(read_all(b), "newer");

  const int fd = platform::host_open_for_reading(b.c_str());
  EXPECT_GE(fd, 0);
  EXPECT_EQ(platform::host_open_for_reading((dir_ + "/missing").c_str()), -1);
  if (fd >= 0) {
    FILE* f = fdopen(fd, "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
}

TEST_F(HostFs, FoldersAndNames) {
  EXPECT_TRUE(platform::host_make_folder(dir_)) << "an existing folder is fine";
  EXPECT_FALSE(platform::host_make_folder(dir_ + "/no/such/parent"));
  EXPECT_EQ(platform::host_base_name("a/b/c.png"), "c.png");
  EXPECT_EQ(platform::host_base_name("c.png"), "c.png");
  const std::string absolute = platform::host_absolute_path("x.png");
  EXPECT_EQ(platform::host_base_name(absolute), "x.png");
  EXPECT_NE(absolute, "x.png");
  EXPECT_EQ(platform::host_absolute_path(absolute), absolute) << "an absolute path stays as it is";
  ASSERT_TRUE(platform::host_change_folder(dir_));
  write_all("here.txt", "here");
  EXPECT_EQ(read_all(dir_ + "/here.txt"), "here");
  EXPECT_TRUE(platform::host_change_folder(".."));
  EXPECT_FALSE(platform::host_change_folder(dir_ + "/missing"));
}

}  // namespace
