// The file layer: logged open, close and read, entry-relative positions and
// the typed little-endian reads.
#include <cstring>

#include "res_support.h"
#include "resources/cfile.h"

namespace {

using res_test::bytes;
using res_test::read_file;
using res_test::text_bytes;
using res_test::write_file;

class CfileTest : public res_test::ResourceTest {};

TEST_F(CfileTest, OpenOfAnArchivedNameLogsTheEntryFirst) {
  ASSERT_EQ(open_archive({{"a.txt", text_bytes("abc")}, {"page.txt", text_bytes("text")}}), pak_status::opened);
  enable_log();
  cfile f;
  f.open("page.txt", "rb");
  f.close();
  EXPECT_EQ(log_text(), "fptr: " + std::to_string(pak_dir[1]->Fptr) +
                            "\ncfile: attempting to open file page.txt in mode READ_BIN\n"
                            "cfile: close action was succesfull\n");
}

TEST_F(CfileTest, EachKnownModeIsNamedAndOthersLeaveTheLineOpen) {
  write_file("f", text_bytes("x"));
  const struct {
    const char* mode;
    const char* name;
  } modes[] = {{"wb", "WRITE_BIN\n"}, {"wt", "WRITE_TXT\n"}, {"rb", "READ_BIN\n"}, {"rt", "READ_TXT\n"},
               {"ab", "ATTACH_BIN\n"}, {"at", "ATTACH_TXT\n"}, {"r", ""}, {"r+b", ""}};
  for (const auto& m : modes) {
    SCOPED_TRACE(m.mode);
    enable_log();
    cfile f;
    f.open("f", m.mode);
    EXPECT_EQ(log_text(), std::string("cfile: attempting to open file f in mode ") + m.name);
    f.close();
  }
}

TEST_F(CfileTest, ReadsLogTheirCount) {
  write_file("data.bin", bytes(60, 7));
  cfile f;
  f.open("data.bin", "rb");
  enable_log();
  uint8_t buffer[100];
  f.read(buffer, 40);
  f.read(buffer, 100);
  EXPECT_EQ(log_text(),
            "cfile: have read the required amount of bytes\n"
            "cfile: have read ONLY 20 bytes from 100 required\n");
  f.close();
}

TEST_F(CfileTest, SizeSeekTellAndSkipAreRelativeToTheEntry) {
  const std::vector<pak_item> items = {
      {"first", text_bytes("0123456789")}, {"middle", text_bytes("abcdefghij0123")}, {"last", text_bytes("XYZ")}};
  ASSERT_EQ(open_archive(items), pak_status::opened);
  for (const pak_item& item : items) {
    SCOPED_TRACE(item.name);
    cfile f;
    f.open(item.name.c_str(), "rb");
    EXPECT_EQ(f.skip(1), 0);
    EXPECT_EQ(f.size(), static_cast<long>(item.data.size()));
    EXPECT_EQ(f.tell(), 1);
    EXPECT_EQ(f.read_u8(), item.data[1]);
    EXPECT_EQ(f.seek(-1, SEEK_END), 0);
    EXPECT_EQ(f.read_u8(), item.data.back());
    f.close();
  }
  EXPECT_EQ(pak_dir[2]->Fptr - pak_dir[1]->Fptr - 1, items[1].data.size());
}

TEST_F(CfileTest, TypedReadsAreLittleEndianAndZeroAtTheEnd) {
  const float f32 = -1.5f;
  uint32_t f32_bits;
  std::memcpy(&f32_bits, &f32, sizeof f32_bits);
  bytes data = {0x34, 0x12, 0xAB};
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<uint8_t>(f32_bits >> (8 * i)));
  data.push_back(0x99);
  write_file("typed.bin", data);
  cfile f;
  f.open("typed.bin", "rb");
  EXPECT_EQ(f.read_u16(), 0x1234);
  EXPECT_EQ(f.read_u8(), 0xAB);
  EXPECT_EQ(f.read_f32(), -1.5f);
  EXPECT_EQ(f.read_u16(), 0);  // one byte left: no whole value
  EXPECT_EQ(f.read_u8(), 0);
  EXPECT_EQ(f.read_f32(), 0.0f);
  f.close();
}

TEST_F(CfileTest, CloseWithoutStreamOnlyLogs) {
  write_file("f", text_bytes("x"));
  cfile f;
  f.open("f", "rb");
  f.close();
  EXPECT_EQ(f.stream, nullptr);
  enable_log();
  f.close();
  cfile never;
  never.close();
  EXPECT_EQ(log_text(), "cfile: couldn't close file!\ncfile: couldn't close file!\n");
}

TEST_F(CfileTest, FailedOpenUnderReturningReportsLeavesNoStream) {
  report_returns_set(1);
  cfile f;
  f.open("absent.bin", "rb");
  EXPECT_EQ(f.stream, nullptr);
  uint8_t b[4] = {1, 1, 1, 1};
  f.read(b, 4);
  EXPECT_EQ(f.size(), -1);
  EXPECT_EQ(f.tell(), -1);
  EXPECT_EQ(f.read_u16(), 0);
  EXPECT_EQ(backend_.boxes().size(), 1u);
}

}  // namespace
