// The RAW and PCX decoders: the length table of raw dumps, PCX files written
// by an independent encoder, the run-length rules, the palette after the
// byte 12, and files that are damaged or hostile.
#include <algorithm>

#include "picture_support.h"
#include "resources/decodekit.h"

namespace {

using pic_test::block;
using pic_test::bytes;
using pic_test::joined;
using pic_test::picture_file;
using pic_test::put_u16;
using pic_test::red_blue_swapped;

class RawPcxTest : public pic_test::PictureTest {
 protected:
  // A pool block allocated since `since` blocks were live, of the given size.
  const uint8_t* new_block(uint32_t since, uint32_t size) const {
    for (uint32_t i = since; i < g_pool->used; ++i) {
      if (g_pool->cells[i].size == size) return reinterpret_cast<const uint8_t*>(g_pool->cells[i].id);
    }
    return nullptr;
  }
};

bytes pattern(size_t n, uint32_t seed) {
  bytes b(n);
  for (uint8_t& v : b) {
    seed = seed * 1103515245u + 12345u;
    v = static_cast<uint8_t>(seed >> 16);
  }
  return b;
}

// ---------------------------------------------------------------- RAW

struct raw_case {
  uint32_t length;
  int bpp;
  int width;
  int height;
};

const raw_case kRawCases[] = {
    {64000, 8, 320, 200},    {65536, 8, 256, 256},    {128000, 16, 320, 200},  {131072, 16, 256, 256},
    {153600, 16, 320, 240},  {192000, 24, 320, 200},  {196608, 24, 256, 256},  {230400, 24, 320, 240},
    {256000, 32, 320, 200},  {262144, 32, 256, 256},  {307200, 32, 320, 240},  {614400, 16, 640, 480},
    {921600, 24, 640, 480},  {960000, 16, 800, 600},  {1228800, 32, 640, 480}, {1440000, 24, 800, 600},
    {1920000, 32, 800, 600},
};

TEST_F(RawPcxTest, RawLengthsGiveTheirSizesAndTheBytesAsTheyAre) {
  for (const raw_case& c : kRawCases) {
    SCOPED_TRACE(c.length);
    const bytes data = pattern(c.length, c.length);
    const cimage& pic = load_bytes("dump.raw", data);
    EXPECT_EQ(pic.kind, kImageRaw);
    EXPECT_EQ(pic.bpp, c.bpp);
    EXPECT_EQ(pic.width, c.width);
    EXPECT_EQ(pic.height, c.height);
    EXPECT_EQ(pic.size, c.length);
    EXPECT_TRUE(block(pic) == data);
  }
}

// An entry that is not the last: its size is one less than the distance to
// the next entry, and the next entry's bytes are not read.
TEST_F(RawPcxTest, RawEntryOf64000BytesIs320By200At8Bits) {
  const bytes data = pattern(64000, 5);
  ASSERT_EQ(open_archive({{"screen.raw", data}, {"next.bin", bytes(100, 0xEE)}}), pak_status::opened);
  const cimage& pic = load("SCREEN.RAW");
  EXPECT_EQ(pic.width, 320);
  EXPECT_EQ(pic.height, 200);
  EXPECT_EQ(pic.bpp, 8);
  EXPECT_TRUE(block(pic) == data);
}

TEST_F(RawPcxTest, RawLengthOutsideTheTableEndsNamingFileAndLength) {
  EXPECT_EXIT(load_bytes("odd.raw", bytes(64001, 1)), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: .*odd\\.raw is 64001 bytes long");
  for (uint32_t length : {0u, 1u, 63999u, 64001u, 2000000u}) {
    SCOPED_TRACE(length);
    expect_refused("odd.raw", bytes(length, 1), "odd.raw is " + std::to_string(length) + " bytes long");
  }
}

// ---------------------------------------------------------------- PCX

// A header of a picture at (xmin, ymin) to (xmax, ymax).
bytes pcx_header(uint16_t xmin, uint16_t ymin, uint16_t xmax, uint16_t ymax, uint8_t planes, uint16_t bytes_per_line) {
  bytes h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = 8;
  put_u16(h, 4, xmin);
  put_u16(h, 6, ymin);
  put_u16(h, 8, xmax);
  put_u16(h, 10, ymax);
  put_u16(h, 12, 300);
  put_u16(h, 14, 301);
  h[65] = planes;
  put_u16(h, 66, bytes_per_line);
  put_u16(h, 68, 1);
  return h;
}

bytes pcx(uint16_t width, uint16_t height, uint8_t planes, const bytes& data, uint16_t bytes_per_line = 0) {
  return joined(pcx_header(0, 0, width - 1, height - 1, planes, bytes_per_line ? bytes_per_line : width), data);
}

struct encoded_pcx {
  const char* stem;
  int width;
  int height;
  int bpp;
};

// Pillow pads rows to an even length: the 13-pixel files have 14-byte rows.
const encoded_pcx kEncodedPcx[] = {
    {"pcx8_13x7", 13, 7, 8},
    {"pcx8_16x5", 16, 5, 8},
    {"pcx24_13x7", 13, 7, 24},
    {"pcx24_16x5", 16, 5, 24},
};

TEST_F(RawPcxTest, EncoderMadeFilesGiveTheEncodersPixels) {
  for (const encoded_pcx& e : kEncodedPcx) {
    SCOPED_TRACE(e.stem);
    const std::string stem = e.stem;
    const uint32_t before = g_pool->used;
    const cimage& pic = load_bytes(stem + ".pcx", picture_file(stem + ".pcx"));
    EXPECT_EQ(pic.kind, kImagePcx);
    EXPECT_EQ(pic.width, e.width);
    EXPECT_EQ(pic.height, e.height);
    EXPECT_EQ(pic.bpp, e.bpp);
    if (e.bpp == 8) {
      EXPECT_EQ(block(pic), picture_file(stem + ".idx"));
      const uint8_t* palette = new_block(before, 768);
      ASSERT_NE(palette, nullptr);
      EXPECT_EQ(bytes(palette, palette + 768), picture_file(stem + ".pal"));
    } else {
      EXPECT_EQ(block(pic), red_blue_swapped(picture_file(stem + ".rgb"), 3));
    }
  }
}

TEST_F(RawPcxTest, RunByteRepeatsTheNextByteAndLowBytesAreLiterals) {
  // 0xC3 0x7F: three pixels of 0x7F; 0xBF: one pixel 0xBF; 0xC0: an empty run.
  const cimage& pic = load_bytes("run.pcx", pcx(6, 1, 1, {0xC3, 0x7F, 0xC0, 0x55, 0xBF, 0x00, 0xC1, 0xC5}));
  EXPECT_EQ(block(pic), bytes({0x7F, 0x7F, 0x7F, 0xBF, 0x00, 0xC5}));
  EXPECT_EQ(pic.size, 6u);
}

TEST_F(RawPcxTest, ThreePlanesGiveBlueGreenRedPixels) {
  // Two rows of 2 pixels: red, green and blue plane rows in turn.
  const bytes data = {1, 2, 3, 4, 5, 6, 0xC2, 7, 8, 9, 10, 11};
  const cimage& pic = load_bytes("planes.pcx", pcx(2, 2, 3, data));
  EXPECT_EQ(pic.size, 12u);
  EXPECT_EQ(block(pic), bytes({5, 3, 1, 6, 4, 2, 10, 8, 7, 11, 9, 7}));
}

TEST_F(RawPcxTest, PaletteIsReadOnlyAfterTheByte12) {
  const bytes colours = pattern(768, 9);
  struct {
    const char* what;
    bytes tail;
    bool read;
  } cases[] = {
      {"mark 12", joined({12}, colours), true},
      {"another byte", joined({13}, colours), false},
      {"nothing", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t before = g_pool->used;
    const cimage& pic = load_bytes("pal.pcx", pcx(3, 1, 1, joined({0xC3, 0x21}, c.tail)));
    EXPECT_EQ(block(pic), bytes({0x21, 0x21, 0x21}));
    const uint8_t* palette = new_block(before, 768);
    EXPECT_EQ(palette != nullptr, c.read);
    if (palette) {
      EXPECT_EQ(bytes(palette, palette + 768), colours);
    }
    // The record does not carry the palette: only the pixels are new besides it.
    EXPECT_EQ(g_pool->used, before + (c.read ? 2u : 1u));
  }
}

TEST_F(RawPcxTest, ShortPaletteKeepsZerosWhereNoBytesCame) {
  const uint32_t before = g_pool->used;
  load_bytes("pal.pcx", pcx(1, 1, 1, {0x40, 12, 1, 2, 3}));
  const uint8_t* palette = new_block(before, 768);
  ASSERT_NE(palette, nullptr);
  bytes expected(768, 0);
  expected[0] = 1, expected[1] = 2, expected[2] = 3;
  EXPECT_EQ(bytes(palette, palette + 768), expected);
}

TEST_F(RawPcxTest, HeaderAndRowsAreLogged) {
  enable_log();
  bytes file = pcx(2, 2, 3, bytes(12, 1));
  file[1] = 4;
  load_bytes("log.pcx", file);
  const std::string text = log_text_without_pool();
  const std::string expected =
      "10\n300\n301\n1\n"
      "KORAL_image->pcxinfo: version: 4\n"
      "KORAL_image->pcxinfo: encoding: 1\n"
      "KORAL_image->pcxinfo: bpp: 8\n"
      "KORAL_image->pcxinfo: xmax: 1\n"
      "KORAL_image->pcxinfo: ymax: 1\n"
      "KORAL_image->pcxinfo: bytes per line: 2\n"
      "KORAL_image->pcxinfo: planes: 3\n";
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  const size_t first = text.find("line: 0\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(text.find("line: 1\n", first), std::string::npos);
}

// Runs that pass the end of a row (three planes) or of the picture (one
// plane) stop there; the next plane row starts at the next encoded byte.
TEST_F(RawPcxTest, RunsStopAtTheEndOfTheRowOrPicture) {
  const cimage& planar = load_bytes("long.pcx", pcx(2, 1, 3, {0xC5, 0x11, 0xC5, 0x22, 0xC5, 0x33}));
  EXPECT_EQ(block(planar), bytes({0x33, 0x22, 0x11, 0x33, 0x22, 0x11}));

  const cimage& single = load_bytes("long.pcx", pcx(3, 2, 1, {0xFF, 0x44, 0x01}));
  EXPECT_EQ(block(single), bytes(6, 0x44));
}

TEST_F(RawPcxTest, DataEndingEarlyLeavesZeros) {
  struct {
    const char* what;
    bytes file;
    bytes pixels;
  } cases[] = {
      {"one plane", pcx(3, 2, 1, {1, 2, 3, 4}), {1, 2, 3, 4, 0, 0}},
      {"a run byte without its value", pcx(3, 1, 1, {9, 0xC2}), {9, 0, 0}},
      {"no data", pcx(2, 1, 1, {}), {0, 0}},
      // Row 1 must not keep row 0's plane bytes.
      {"three planes", pcx(1, 2, 3, {1, 2, 3, 4}), {3, 2, 1, 0, 0, 4}},
      {"a header only", pcx_header(0, 0, 1, 0, 1, 2), {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(block(load_bytes("short.pcx", c.file)), c.pixels);
  }
}

// Rows longer than the picture: every row is unpacked whole and its first
// width bytes kept, so the padding byte does not shift the rows.
TEST_F(RawPcxTest, RowsLongerThanTheWidthKeepTheirFirstPixels) {
  const cimage& single = load_bytes("pad.pcx", pcx(3, 2, 1, {1, 2, 3, 0x55, 4, 5, 6, 0x55}, 4));
  EXPECT_EQ(block(single), bytes({1, 2, 3, 4, 5, 6}));

  // A run across the row end stops at the end of the (4-byte) row.
  const cimage& runs = load_bytes("pad.pcx", pcx(3, 2, 1, {0xC6, 7, 8, 9, 10, 0x55}, 4));
  EXPECT_EQ(block(runs), bytes({7, 7, 7, 8, 9, 10}));

  const cimage& planar = load_bytes("pad.pcx", pcx(1, 1, 3, {1, 0x55, 2, 0x55, 3, 0x55}, 2));
  EXPECT_EQ(block(planar), bytes({3, 2, 1}));
}

TEST_F(RawPcxTest, NotPcxAndWrongPlaneCountsEndTheRun) {
  bytes not_pcx = pcx(2, 1, 1, {1, 2});
  not_pcx[0] = 11;
  EXPECT_EXIT(load_bytes("np.pcx", not_pcx), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: KORL_image->pcx:File np\\.pcx is not a pcx image!");
  EXPECT_EXIT(load_bytes("planes.pcx", pcx(2, 1, 2, {1, 2})), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: KORAL_image->pcx: wrong bpp number!");

  enable_log();
  expect_refused("np.pcx", not_pcx, "KORL_image->pcx:File np.pcx is not a pcx image!\n");
  expect_refused("empty.pcx", {}, "is not a pcx image!");
  EXPECT_NE(log_text().find("KORL_image->pcx: File np.pcx is not a pcx image!\n"), std::string::npos);
  for (uint8_t planes : {0, 2, 4, 255}) {
    SCOPED_TRACE(planes);
    expect_refused("planes.pcx", pcx(2, 1, planes, {1, 2}), "KORAL_image->pcx: wrong bpp number!\n");
  }
  EXPECT_NE(log_text().find("KORL_image->pcx: wrong bpp number in planes.pcx image!\n"), std::string::npos);
}

TEST_F(RawPcxTest, EmptyOrOversizedPicturesEndTheRunNamingTheFile) {
  const std::vector<pic_test::refused_file> cases = {
      {"xmax below xmin", pcx_header(5, 0, 3, 0, 1, 2)},
      {"ymax below ymin", pcx_header(0, 9, 0, 8, 1, 2)},
      {"wider than the side limit", pcx_header(0, 0, kPictureMaxSide, 0, 1, 2)},
      {"taller than the side limit", pcx_header(1, 1, 1, kPictureMaxSide + 1, 1, 2)},
      {"more than the byte limit", pcx_header(0, 0, 10000, 10000, 3, 2)},
  };
  expect_all_refused("big.pcx", cases);
}

TEST_F(RawPcxTest, LargestAcceptedSideLoads) {
  const cimage& pic = load_bytes("wide.pcx", pcx(static_cast<uint16_t>(kPictureMaxSide), 1, 1, {0xC9, 3}));
  EXPECT_EQ(pic.width, static_cast<int>(kPictureMaxSide));
  EXPECT_EQ(pic.pixels[8], 3);
  EXPECT_EQ(pic.pixels[9], 0);
}

}  // namespace
