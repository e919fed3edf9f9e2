// kit/zip: what is written unpacks to the same files with the stated headers
// and the same bytes every time, Info-ZIP's unzip accepts it, and hostile or
// damaged zips are refused whole, with their message.
#include "kit/zip.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

namespace {

using kit::Bytes;
using kit::Files;

constexpr uint32_t kLocalMagic = 0x04034b50;
constexpr uint32_t kCentralMagic = 0x02014b50;

uint32_t le(const Bytes& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

void put_le(Bytes& b, size_t at, int n, uint32_t v) {
  for (int i = 0; i < n; ++i) b.at(at + i) = static_cast<uint8_t>(v >> 8 * i);
}

// Offsets of every local and central header, in file order.
std::vector<size_t> headers(const Bytes& zip, uint32_t magic) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 4 <= zip.size(); ++i) {
    if (le(zip, i, 4) == magic) at.push_back(i);
  }
  return at;
}

Bytes written(const Files& files, const std::string& top = "", int64_t time = 1700000000) {
  Bytes zip;
  std::string error;
  EXPECT_TRUE(kit::zip_write(files, top, time, zip, error)) << error;
  return zip;
}

// Every occurrence of from (a name, in both its headers) becomes to.
void rename(Bytes& zip, const std::string& from, const std::string& to) {
  ASSERT_EQ(from.size(), to.size());
  int found = 0;
  for (size_t i = 0; i + from.size() <= zip.size(); ++i) {
    if (std::equal(from.begin(), from.end(), zip.begin() + i)) {
      std::copy(to.begin(), to.end(), zip.begin() + i);
      ++found;
    }
  }
  ASSERT_EQ(found, 2) << from;
}

// A header field of every entry (offset inside a local and a central header).
void patch_both(Bytes& zip, size_t local_at, size_t central_at, int n, uint32_t v) {
  for (size_t at : headers(zip, kLocalMagic)) put_le(zip, at + local_at, n, v);
  for (size_t at : headers(zip, kCentralMagic)) put_le(zip, at + central_at, n, v);
}

Files sample() {
  Bytes binary;
  for (int i = 0; i < 3000; ++i) binary.push_back(static_cast<uint8_t>(i * 7 % 256));
  return {{"party.txt", kit::files_bytes("name = Velmora\n")},
          {"empty.txt", {}},
          {"pages/info.txt", kit::files_bytes(std::string(5000, 'x'))},
          {"pages/s\xc3\xa4\xc3\xa4nn\xc3\xb6t.txt", binary},
          {"velmora2k.exe", binary}};
}

TEST(KitZip, RoundTripWithHeadersAsStated) {
  const Files files = sample();
  // 2024-02-29 12:34:55 UTC: rounded up to the even second.
  const Bytes zip = written(files, "party-1.0", 1709210095);
  Files back;
  std::string error;
  ASSERT_TRUE(kit::zip_read(zip, back, error)) << error;
  ASSERT_EQ(back.size(), files.size());
  for (const auto& [name, bytes] : files) EXPECT_EQ(back.at("party-1.0/" + name), bytes) << name;

  const uint32_t dos = (2024 - 1980) << 25 | 2 << 21 | 29 << 16 | 12 << 11 | 34 << 5 | 56 / 2;
  const std::vector<size_t> local = headers(zip, kLocalMagic), central = headers(zip, kCentralMagic);
  ASSERT_EQ(central.size(), files.size());
  ASSERT_EQ(local.size(), files.size());
  auto name_at = files.begin();
  for (size_t i = 0; i < central.size(); ++i, ++name_at) {
    const size_t c = central[i];
    const std::string name(zip.begin() + c + 46, zip.begin() + c + 46 + le(zip, c + 28, 2));
    SCOPED_TRACE(name);
    EXPECT_EQ(name, "party-1.0/" + name_at->first) << "entries in the files' order";
    const bool utf8 = name.find("\xc3") != std::string::npos;
    const uint32_t mode = name_at->first == "velmora2k.exe" ? 0100755 : 0100644;
    EXPECT_EQ(le(zip, c + 4, 2), 3u << 8 | 20) << "made by Unix";
    EXPECT_EQ(le(zip, c + 8, 2), (utf8 ? 0x800u : 0u) | 2u) << "UTF-8 flag, maximum compression";
    EXPECT_EQ(le(zip, c + 10, 2), 8u) << "deflate";
    EXPECT_EQ(le(zip, c + 12, 4), dos);
    EXPECT_EQ(le(zip, c + 30, 2), 0u) << "no extra field";
    EXPECT_EQ(le(zip, c + 38, 4), mode << 16);
    EXPECT_EQ(le(zip, local[i] + 28, 2), 0u) << "no local extra field";
    EXPECT_EQ(le(zip, local[i] + 10, 4), dos);
  }
}

TEST(KitZip, TimesRoundUpToEvenSecondsWithinTheFormat) {
  struct Case {
    int64_t time;
    uint32_t dos;
  };
  const Case cases[] = {
      {0, 1 << 21 | 1 << 16},                                                          // 1970: 1980-01-01
      {1709251198, 44u << 25 | 2 << 21 | 29 << 16 | 23 << 11 | 59 << 5 | 29},         // 2024-02-29 23:59:58
      {1709251199, 44u << 25 | 3 << 21 | 1 << 16},                                    // an odd second: next day
      {int64_t{1} << 40, 127u << 25 | 12 << 21 | 31 << 16 | 23 << 11 | 59 << 5 | 29},  // past 2107
  };
  for (const Case& c : cases) {
    const Bytes zip = written({{"a", {}}}, "", c.time);
    EXPECT_EQ(le(zip, headers(zip, kCentralMagic).at(0) + 12, 4), c.dos) << c.time;
  }
}

TEST(KitZip, SameBytesEveryTimeAndUnzipAcceptsThem) {
  const Bytes zip = written(sample(), "party-1.0");
  EXPECT_EQ(written(sample(), "party-1.0"), zip);
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "kit_zip_test.zip";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(zip.data()), zip.size());
  const std::string quoted = "'" + path.string() + "'";
  EXPECT_EQ(std::system(("unzip -tq " + quoted + " >/dev/null").c_str()), 0);
  EXPECT_EQ(std::system(("unzip -Z " + quoted + " | grep -q '^-rwxr-xr-x .*party-1.0/velmora2k.exe$'").c_str()), 0);
  EXPECT_EQ(std::system(("unzip -Z " + quoted + " | grep -q '^-rw-r--r-- .*party-1.0/party.txt$'").c_str()), 0);
  std::filesystem::remove(path);
}

TEST(KitZip, ReadingPassesOverFoldersHiddenFilesAndMacData) {
  Bytes zip = written({{".DS_Store", {1}},
                       {"__MACOSX/._party.txt", {2}},
                       {"pages/.git/config", {3}},
                       {"dirx", {}},
                       {"caf#.txt", {4}}});
  rename(zip, "dirx", "dir/");
  rename(zip, "caf#", "caf\x82");  // code page 437's e acute, without the UTF-8 flag
  Files files;
  std::string error;
  ASSERT_TRUE(kit::zip_read(zip, files, error)) << error;
  EXPECT_EQ(files, (Files{{"caf\xc3\xa9.txt", {4}}}));
  // A zip of nothing (an end record alone) holds no files, as a zip whose
  // every entry is passed over does: written and read back alike.
  files = {{"kept", {1}}};
  ASSERT_TRUE(kit::zip_read(written({}), files, error)) << error;
  EXPECT_TRUE(files.empty());
}

TEST(KitZip, HostileAndDamagedZipsAreRefusedWhole) {
  const Files two = {{"aa/x", {1, 2, 3}}, {"zz/y", kit::files_bytes(std::string(1000, 'z'))}};
  Files many;
  for (size_t i = 0; i <= kit::kFilesMaxCount; ++i) many["f" + std::to_string(1000 + i)] = {};
  struct Case {
    const char* what;
    Files files;
    std::function<void(Bytes&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"parent folder", two, [](Bytes& z) { rename(z, "aa/x", "../x"); },
       "entry \"../x\" reaches outside the folder (\"..\"); pack the folder's files with paths relative to it"},
      {"absolute path", two, [](Bytes& z) { rename(z, "aa/x", "/a/x"); }, "entry \"/a/x\" is an absolute path;"},
      {"drive letter", two, [](Bytes& z) { rename(z, "aa/x", "C:/x"); }, "entry \"C:/x\" is an absolute path;"},
      {"backslash", two, [](Bytes& z) { rename(z, "aa/x", "..\\x"); }, "entry \"..\\x\" holds a backslash"},
      {"encrypted", two, [](Bytes& z) { patch_both(z, 6, 8, 2, 1 | 2); },
       "entry \"aa/x\" is encrypted; pack the zip without a password"},
      {"cut short", two, [](Bytes& z) { z.resize(z.size() / 2); }, "not a zip, or cut short;"},
      {"end record cut", two, [](Bytes& z) { z.resize(z.size() - 1); }, "not a zip, or cut short;"},
      {"zip bomb", two, [](Bytes& z) { patch_both(z, 22, 24, 4, 300u << 20); },
       "more than 256 MiB unpacked; keep the folder's files under 256 MiB together"},
      {"size understated", two, [](Bytes& z) { patch_both(z, 22, 24, 4, 2); }, "entry \"aa/x\" is damaged"},
      {"size overstated", two, [](Bytes& z) { patch_both(z, 22, 24, 4, 5000); }, "entry \"aa/x\" is damaged"},
      {"bad CRC", two, [](Bytes& z) { patch_both(z, 14, 16, 4, 0x12345678); }, "entry \"aa/x\" is damaged"},
      {"name twice", two, [](Bytes& z) { rename(z, "zz/y", "aa/x"); }, "entry \"aa/x\" is in the zip twice"},
      {"method", two, [](Bytes& z) { patch_both(z, 8, 10, 2, 12); }, "is packed with method 12, not deflate"},
      {"too many files", many, [](Bytes&) {}, "more than 256 files; keep the folder to 256 files"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes zip = written(c.files);
    c.damage(zip);
    Files files = {{"kept", {9}}};
    std::string error;
    EXPECT_FALSE(kit::zip_read(zip, files, error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(files, (Files{{"kept", {9}}})) << "nothing read in part";
  }
}

// Every byte of a zip is someone's input: any damage reads as files or as a
// message, never as a crash or a read out of bounds (the sanitizers watch).
TEST(KitZip, DamageAnywhereIsReadOrRefused) {
  const Bytes zip = written(sample(), "party");
  uint32_t seed = 1;
  const auto next = [&seed](uint32_t below) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % below;
  };
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    Bytes damaged = zip;
    for (uint32_t n = 1 + next(3); n > 0; --n) damaged[next(damaged.size())] = static_cast<uint8_t>(next(256));
    if (round % 5 == 0) damaged.resize(next(damaged.size()));
    Files files;
    std::string error;
    if (kit::zip_read(damaged, files, error)) continue;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(files.empty());
    ++refused;
  }
  EXPECT_GT(refused, 1000) << "the damage was not noticed";
}

TEST(KitZip, NamesThatCannotBeZippedAreRefused) {
  for (const char* name : {"../x", "/x", "a//b", "a\\b", "bad\xff"}) {
    Bytes zip = {1};
    std::string error;
    EXPECT_FALSE(kit::zip_write({{name, {}}}, "", 0, zip, error)) << name;
    EXPECT_TRUE(zip.empty());
    EXPECT_NE(error.find("a zip holds plain relative paths"), std::string::npos) << error;
  }
}

}  // namespace
