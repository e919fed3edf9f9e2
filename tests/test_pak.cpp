// The archive reader and the archive writer.
#include <zlib.h>

#include <climits>
#include <cstring>
#include <functional>

#include "platform/host.h"
#include "res_support.h"

namespace {

using res_test::bytes;
using res_test::read_file;
using res_test::text_bytes;
using res_test::write_file;

class PakTest : public res_test::ResourceTest {
 protected:
  static std::string read_all(FILE* f, size_t n) {
    std::string s(n, '\0');
    s.resize(std::fread(&s[0], 1, n, f));
    return s;
  }
};

// The three entries of the positioning tests: first, middle and last.
const std::vector<pak_item> kThree = {
    {"first.txt", text_bytes("0123456789")},
    {"middle.bin", text_bytes("abcdefghijklmnopqrst")},
    {"last.dat", text_bytes("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123")},
};

TEST_F(PakTest, ExampleLayoutGivesSizesFromTheNextFptr) {
  const std::vector<pak_item> items = {{"a", text_bytes("12345")}, {"bc", text_bytes("xyzw")}};
  ASSERT_EQ(open_archive(items), pak_status::opened);
  ASSERT_EQ(pak_count, 2u);
  EXPECT_EQ(pak_dir[0]->Fptr, 330u);
  EXPECT_EQ(pak_dir[1]->Fptr, 336u);
  EXPECT_EQ(pak_length, 340u);
  EXPECT_EQ(read_file("pak.pak")[335], 0);

  FILE* a = pak_fopen("a", "rb");
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(pak_seek(a, 0, SEEK_END), 0);
  EXPECT_EQ(pak_tell(a), 5);
  pak_seek(a, 0, SEEK_SET);
  EXPECT_EQ(read_all(a, 5), "12345");
  pak_fclose(a);

  FILE* bc = pak_fopen("bc", "rb");
  pak_seek(bc, 0, SEEK_END);
  EXPECT_EQ(pak_tell(bc), static_cast<long>(pak_length) - 336);
  pak_fclose(bc);
}

TEST_F(PakTest, OpenLogsHeaderAndDirectory) {
  enable_log();
  bytes pak = pak_build({{"a", text_bytes("12345")}});
  pak[0] = 'X';
  write_file("pak.pak", pak);
  pak_open("pak.pak");
  char crc[16];
  std::snprintf(crc, sizeof crc, "%8x", static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>("12345"), 5)));
  EXPECT_EQ(log_text_without_pool(), std::string(" doopa\n HI: 1 LO: 0\ncrc: ") + crc +
                            "\nfamount: 1\ncomment:Velmora2K invitation data archive\n"
                            "File nr    : 0\n    Flags  :        0\n    Fptr   :      299\n"
                            "    PakCRC : " + crc + "\n    UnpCRC : " + crc +
                            "\n    PakSize:        5\n    UnpSize:        5\n    Fname  :a\n");
}

TEST_F(PakTest, EmptyArchiveLeavesEverythingToTheDisk) {
  ASSERT_EQ(open_archive({}), pak_status::empty);
  EXPECT_FALSE(pak_is_open());
  write_file("disk.txt", text_bytes("disk"));
  enable_log();
  FILE* f = pak_fopen("disk.txt", "rb");
  EXPECT_EQ(read_all(f, 10), "disk");
  pak_fclose(f);
  EXPECT_EQ(log_text(), "");
}

TEST_F(PakTest, MissingArchiveIsSilent) {
  enable_log();
  EXPECT_EQ(pak_open("pak.pak"), pak_status::missing);
  EXPECT_FALSE(pak_is_open());
  EXPECT_EQ(log_text(), "");
}

TEST_F(PakTest, FirstOfTwoEqualNamesIsServed) {
  const std::vector<pak_item> items = {{"aa", text_bytes("first")}, {"ab", text_bytes("second")}};
  bytes pak = pak_build(items);
  pak[res_test::item_offset(items, 1) + kPakItemFixedBytes + 1] = 'a';
  write_file("pak.pak", pak);
  ASSERT_EQ(pak_open("pak.pak"), pak_status::opened);
  FILE* f = pak_fopen("aa", "rb");
  EXPECT_EQ(read_all(f, 5), "first");
  pak_fclose(f);
}

TEST_F(PakTest, NamesCompareWithLetterCase) {
  ASSERT_EQ(open_archive({{"Notes.txt", text_bytes("archived")}}), pak_status::opened);
  write_file("notes.txt", text_bytes("on disk"));
  enable_log();
  FILE* f = pak_fopen("notes.txt", "rb");
  EXPECT_EQ(read_all(f, 20), "on disk");
  pak_fclose(f);
  EXPECT_EQ(log_text(), "file notes.txt not found in library!\n");
}

TEST_F(PakTest, WriteModeMakesADiskFileOtherModesReadTheEntry) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  const bytes archive = read_file("pak.pak");

  FILE* w = pak_fopen("middle.bin", "wb");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::fputs("new", w), 1);
  pak_fclose(w);
  EXPECT_EQ(read_file("middle.bin"), text_bytes("new"));
  EXPECT_EQ(read_file("pak.pak"), archive);

  for (const char* mode : {"ab", "rt"}) {
    SCOPED_TRACE(mode);
    FILE* f = pak_fopen("middle.bin", mode);
    EXPECT_EQ(pak_tell(f), 0);
    EXPECT_EQ(std::fputc('!', f), EOF);  // read-only
    std::clearerr(f);
    pak_seek(f, 0, SEEK_SET);
    EXPECT_EQ(read_all(f, 5), "abcde");
    pak_fclose(f);
  }
  EXPECT_EQ(read_file("pak.pak"), archive);
}

TEST_F(PakTest, TellAndSeekAreRelativeToEachEntry) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  for (size_t e = 0; e < kThree.size(); ++e) {
    const pak_item& item = kThree[e];
    SCOPED_TRACE(item.name);
    const long size = static_cast<long>(item.data.size());
    FILE* f = pak_fopen(item.name.c_str(), "rb");
    EXPECT_EQ(pak_tell(f), 0);
    EXPECT_EQ(pak_seek(f, 3, SEEK_SET), 0);
    EXPECT_EQ(pak_tell(f), 3);
    EXPECT_EQ(std::fgetc(f), item.data[3]);
    EXPECT_EQ(pak_seek(f, 2, SEEK_CUR), 0);
    EXPECT_EQ(pak_tell(f), 6);
    EXPECT_EQ(std::fgetc(f), item.data[6]);
    EXPECT_EQ(pak_seek(f, -1, SEEK_END), 0);
    EXPECT_EQ(pak_tell(f), size - 1);
    EXPECT_EQ(std::fgetc(f), item.data.back());
    EXPECT_EQ(pak_seek(f, 0, SEEK_END), 0);
    EXPECT_EQ(pak_tell(f), size);
    EXPECT_NE(pak_seek(f, LONG_MAX, SEEK_SET), 0);  // no overflow, position kept
    EXPECT_EQ(pak_tell(f), size);
    // Past an entry that is not the last comes its zero separator.
    EXPECT_EQ(std::fgetc(f), e + 1 < kThree.size() ? 0 : EOF);
    pak_fclose(f);
  }
}

TEST_F(PakTest, PositionsBeforeTheFirstEntryArePlain) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  FILE* f = pak_fopen("middle.bin", "rb");
  std::fseek(f, 100, SEEK_SET);
  EXPECT_EQ(pak_tell(f), 100);
  EXPECT_EQ(pak_seek(f, 7, SEEK_SET), 0);
  EXPECT_EQ(std::ftell(f), 7);
  pak_fclose(f);
}

TEST_F(PakTest, ReadingRunsOnIntoTheNextEntry) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  FILE* f = pak_fopen("first.txt", "rb");
  EXPECT_EQ(read_all(f, 13), std::string("0123456789") + '\0' + "ab");
  EXPECT_EQ(pak_tell(f), 2);  // now relative to middle.bin
  pak_seek(f, 0, SEEK_END);
  EXPECT_EQ(pak_tell(f), 20);
  pak_fclose(f);
}

TEST_F(PakTest, ArchiveStreamsAreKnownByIdentityNotLength) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  write_file("same_length.bin", bytes(pak_length, 'x'));
  FILE* f = pak_fopen("same_length.bin", "rb");
  std::fseek(f, static_cast<long>(pak_dir[1]->Fptr) + 4, SEEK_SET);
  EXPECT_EQ(pak_tell(f), static_cast<long>(pak_dir[1]->Fptr) + 4);
  EXPECT_EQ(pak_seek(f, 2, SEEK_SET), 0);
  EXPECT_EQ(std::ftell(f), 2);
  pak_fclose(f);

  // A closed archive stream is forgotten: whatever stream reuses its
  // address later is a plain stream.
  FILE* entry = pak_fopen("middle.bin", "rb");
  pak_fclose(entry);
  FILE* disk = pak_fopen("same_length.bin", "rb");
  std::fseek(disk, static_cast<long>(pak_dir[1]->Fptr) + 4, SEEK_SET);
  EXPECT_EQ(pak_tell(disk), static_cast<long>(pak_dir[1]->Fptr) + 4);
  pak_fclose(disk);
}

TEST_F(PakTest, TooManyOpenStreamsAreReported) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  report_returns_set(1);
  std::vector<FILE*> open;
  for (uint32_t i = 0; i < kPakStreams; ++i) open.push_back(pak_fopen("last.dat", "rb"));
  EXPECT_EQ(pak_fopen("last.dat", "rb"), nullptr);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_NE(backend_.boxes()[0].find("too many archive streams"), std::string::npos);
  pak_fclose(open.back());
  open.back() = pak_fopen("last.dat", "rb");
  EXPECT_NE(open.back(), nullptr);
  for (FILE* f : open) pak_fclose(f);
}

TEST_F(PakTest, NameFoundNowhereEndsTheRunWithAMessage) {
  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  enable_log();
  EXPECT_EXIT(pak_fopen("nowhere.txt", "rb"), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: file nowhere.txt not found!");
  EXPECT_NE(log_text().find("file nowhere.txt not found in library!\nfile nowhere.txt not found!\n"),
            std::string::npos);

  report_returns_set(1);
  EXPECT_EQ(pak_fopen("nowhere.txt", "rb"), nullptr);
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0], "KORAL ERROR !: file nowhere.txt not found!\n");
}

// Without its archive the run still serves every name from disk, but a name
// found nowhere then also tells why the archive gave nothing (missing or
// damaged, with its full path) and what to do; with a good archive the box
// stays the plain one.
TEST_F(PakTest, NameFoundNowhereWithoutTheArchiveTellsAboutTheArchive) {
  const std::string advice = platform::host_missing_data_advice();
  const std::string where = dir_ + "/pak.pak";
  report_returns_set(1);
  write_file("disk.txt", text_bytes("disk"));

  ASSERT_EQ(pak_open("pak.pak"), pak_status::missing);
  FILE* f = pak_fopen("disk.txt", "rb");
  ASSERT_NE(f, nullptr);
  pak_fclose(f);
  EXPECT_EQ(pak_fopen("on_load.png", "rb"), nullptr);

  bytes damaged = pak_build(kThree);
  damaged.resize(kPakHeaderBytes + 10);
  write_file("pak.pak", damaged);
  ASSERT_EQ(pak_open("pak.pak"), pak_status::refused);
  EXPECT_EQ(pak_fopen("on_load.png", "rb"), nullptr);

  ASSERT_EQ(open_archive(kThree), pak_status::opened);
  EXPECT_EQ(pak_fopen("on_load.png", "rb"), nullptr);

  ASSERT_EQ(backend_.boxes().size(), 3u);
  EXPECT_EQ(backend_.boxes()[0], "KORAL ERROR !: file on_load.png not found!\n\nThe data archive pak.pak is missing "
                                 "(looked for at " + where + ").\n" + advice);
  EXPECT_EQ(backend_.boxes()[1], "KORAL ERROR !: file on_load.png not found!\n\nThe data archive " + where +
                                     " is damaged: more items than the file could hold.\n" + advice);
  EXPECT_EQ(backend_.boxes()[2], "KORAL ERROR !: file on_load.png not found!\n");
  EXPECT_NE(advice.find("pak.pak"), std::string::npos) << advice;
}

// Damaged archives: each is refused whole, with its reason in one log line,
// nothing left allocated, and every name then served from disk.
struct damage {
  const char* what;
  std::function<bytes()> make;
  const char* reason;
};

bytes three_with(const std::function<void(bytes&)>& change) {
  bytes pak = pak_build(kThree);
  change(pak);
  return pak;
}

size_t fptr_at(size_t item) {
  return res_test::item_offset(kThree, item) + 4;
}

const damage kDamage[] = {
    {"file ends in the header",
     [] {
       bytes pak = pak_build(kThree);
       pak.resize(100);
       return pak;
     },
     "the header is cut off by the end of the file"},
    {"more items than slots",
     [] {
       bytes pak = three_with([](bytes& b) { res_test::put_u32(b, 10, kPakSlots + 1); });
       pak.resize(pak.size() + (kPakSlots + 1) * kPakMinItemBytes, 1);
       return pak;
     },
     "more items than the 1024 directory slots"},
    {"count beyond the file", [] { return three_with([](bytes& b) { res_test::put_u32(b, 10, 9); }); },
     "more items than the file could hold"},
    {"comment without NUL", [] { return three_with([](bytes& b) { std::memset(&b[14], 'c', kPakCommentBytes); }); },
     "the comment has no NUL"},
    {"name longer than 259",
     [] { return pak_build({{"a", text_bytes("1")}, {std::string(kPakMaxName + 1, 'n'), text_bytes("2")}}); },
     "a name is longer than 259 bytes"},
    {"name cut off by the end",
     [] {
       bytes pak = pak_build({{"abcdef", {}}});
       pak.resize(kPakHeaderBytes + kPakItemFixedBytes + 3);
       return pak;
     },
     "a name is cut off by the end of the file"},
    {"directory cut in its fields",
     [] {
       bytes pak = pak_build({{std::string(100, 'a'), text_bytes("0123456789")}});
       res_test::put_u32(pak, 10, 2);
       return pak;
     },
     "the directory is cut off by the end of the file"},
    {"Fptr beyond the file",
     [] {
       return three_with([](bytes& b) { res_test::put_u32(b, fptr_at(2), static_cast<uint32_t>(b.size() + 1)); });
     },
     "an Fptr lies beyond the end of the file"},
    {"Fptr values swapped",
     [] {
       return three_with([](bytes& b) {
         const uint32_t f0 = res_test::get_u32(b, fptr_at(0));
         res_test::put_u32(b, fptr_at(0), res_test::get_u32(b, fptr_at(1)));
         res_test::put_u32(b, fptr_at(1), f0);
       });
     },
     "the Fptr values do not ascend"},
    {"two equal Fptr values",
     [] { return three_with([](bytes& b) { res_test::put_u32(b, fptr_at(2), res_test::get_u32(b, fptr_at(1))); }); },
     "the Fptr values do not ascend"},
};

TEST_F(PakTest, DamagedArchivesAreRefusedWhole) {
  write_file("middle.bin", text_bytes("from disk"));
  for (const damage& d : kDamage) {
    SCOPED_TRACE(d.what);
    const uint32_t blocks = g_pool->used;
    write_file("pak.pak", d.make());
    enable_log();
    EXPECT_EQ(pak_open("pak.pak"), pak_status::refused);
    EXPECT_FALSE(pak_is_open());
    EXPECT_EQ(pak_count, 0u);
    EXPECT_EQ(pak_path, nullptr);
    EXPECT_EQ(g_pool->used, blocks);
    const std::string line = std::string("pak: archive pak.pak refused: ") + d.reason + "; every file comes from disk\n";
    EXPECT_NE(log_text().find(line), std::string::npos) << log_text();
    FILE* f = pak_fopen("middle.bin", "rb");
    EXPECT_EQ(read_all(f, 20), "from disk");
    pak_fclose(f);
  }
}

TEST_F(PakTest, EmptyLastEntryMayStartAtTheEnd) {
  ASSERT_EQ(open_archive({{"a", text_bytes("xy")}, {"empty", {}}}), pak_status::opened);
  EXPECT_EQ(pak_dir[1]->Fptr, pak_length);
  FILE* f = pak_fopen("empty", "rb");
  pak_seek(f, 0, SEEK_END);
  EXPECT_EQ(pak_tell(f), 0);
  pak_fclose(f);
}

TEST_F(PakTest, WriterFollowsTheArchiveConventions) {
  const std::vector<pak_item> items = {{"one", text_bytes("hello")}, {"two", text_bytes("world!")}};
  const bytes pak = pak_build(items);
  const auto crc_of = [](const std::string& s) {
    return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
  };
  EXPECT_EQ(std::string(pak.begin(), pak.begin() + 4), "PAK!");
  EXPECT_EQ(pak[4], 1);
  EXPECT_EQ(pak[5], 0);
  EXPECT_EQ(res_test::get_u32(pak, 6), crc_of("helloworld!"));
  EXPECT_EQ(res_test::get_u32(pak, 10), 2u);
  EXPECT_STREQ(reinterpret_cast<const char*>(&pak[14]), "Velmora2K invitation data archive");
  for (size_t i = 0; i < items.size(); ++i) {
    const size_t at = res_test::item_offset(items, i);
    const std::string data(items[i].data.begin(), items[i].data.end());
    EXPECT_EQ(res_test::get_u32(pak, at), 0u);                   // Flags
    EXPECT_EQ(res_test::get_u32(pak, at + 8), crc_of(data));     // PakCRC
    EXPECT_EQ(res_test::get_u32(pak, at + 12), crc_of(data));    // UnpCRC
    EXPECT_EQ(res_test::get_u32(pak, at + 16), data.size());     // PakSize
    EXPECT_EQ(res_test::get_u32(pak, at + 20), data.size());     // UnpSize
    const uint32_t fptr = res_test::get_u32(pak, at + 4);
    EXPECT_EQ(std::string(pak.begin() + fptr, pak.begin() + fptr + data.size()), data);
  }
  EXPECT_EQ(pak.size(), res_test::get_u32(pak, res_test::item_offset(items, 1) + 4) + 6u);
}

TEST_F(PakTest, WriterRefusesWhatTheReaderCannotServe) {
  struct check {
    std::vector<pak_item> items;
    bool accepted;
  };
  std::vector<pak_item> slots_full(kPakSlots);
  for (uint32_t i = 0; i < kPakSlots; ++i) slots_full[i].name = "f" + std::to_string(i);
  std::vector<pak_item> one_too_many = slots_full;
  one_too_many.push_back({"extra", {}});
  const check checks[] = {
      {{{"logo.png", {}}, {"README.TXT", {}}, {"Page.Txt", {}}}, true},
      {{{"Logo.png", {}}}, false},
      {{{"logo.PNG", {}}}, false},
      {{{"PHOTO.JPG", {}}}, false},
      {{{"a.Bmp", {}}}, false},
      {{{"a.tgA", {}}}, false},
      {{{"A.pcx", {}}}, false},
      {{{"A.raw", {}}}, false},
      {{{std::string(kPakMaxName, 'n'), {}}}, true},
      {{{std::string(kPakMaxName + 1, 'n'), {}}}, false},
      {slots_full, true},
      {one_too_many, false},
      {{{"same", {}}, {"other", {}}, {"same", {}}}, false},
  };
  for (const check& c : checks) {
    SCOPED_TRACE(c.items.size() == 1 ? c.items[0].name.substr(0, 20) : std::to_string(c.items.size()));
    std::string error;
    EXPECT_EQ(pak_check_items(c.items, error), c.accepted);
    EXPECT_EQ(error.empty(), c.accepted) << error;
    EXPECT_EQ(pak_write("out.pak", c.items, error), c.accepted);
    EXPECT_EQ(std::filesystem::exists("out.pak"), c.accepted);
    EXPECT_FALSE(std::filesystem::exists("out.pak.partial"));
    std::filesystem::remove("out.pak");
  }
}

}  // namespace
