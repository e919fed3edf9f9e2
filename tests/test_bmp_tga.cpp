// The BMP and TGA decoders: files written by an independent encoder (both
// row orders, row padding, identification fields, colour maps, run-length
// packets), the log lines, and files that are damaged or hostile.
#include <climits>

#include "picture_support.h"
#include "resources/decodekit.h"

namespace {

using pic_test::block;
using pic_test::bytes;
using pic_test::joined;
using pic_test::picture_file;
using pic_test::put_u16;
using pic_test::red_blue_swapped;
using res_test::put_u32;

struct encoded_picture {
  const char* file;
  const char* expected;  // .rgb, .rgba or .idx beside it
  int width;
  int height;
  int bpp;
  int kind;
};

const encoded_picture kEncoded[] = {
    {"bmp8_13x7.bmp", ".idx", 13, 7, 8, kImageBmp},
    {"bmp8_13x7_top.bmp", ".idx", 13, 7, 8, kImageBmp},
    {"bmp24_13x7.bmp", ".rgb", 13, 7, 24, kImageBmp},
    {"bmp24_13x7_top.bmp", ".rgb", 13, 7, 24, kImageBmp},
    {"bmp24_16x5.bmp", ".rgb", 16, 5, 24, kImageBmp},
    {"tga24_13x7_bottom.tga", ".rgb", 13, 7, 24, kImageTga},
    {"tga24_13x7_top.tga", ".rgb", 13, 7, 24, kImageTga},
    {"tga32_13x7_bottom.tga", ".rgba", 13, 7, 32, kImageTga},
    {"tga32_13x7_top.tga", ".rgba", 13, 7, 32, kImageTga},
    {"tga24_13x7_rle.tga", ".rgb", 13, 7, 24, kImageTga},
    {"tga32_13x7_rle_top.tga", ".rgba", 13, 7, 32, kImageTga},
    {"tga8_13x7_mapped.tga", ".idx", 13, 7, 8, kImageTga},
};

bytes expected_pixels(const encoded_picture& e) {
  const std::string file = e.file;
  const bytes given = picture_file(file.substr(0, file.size() - 4) + e.expected);
  const std::string kind = e.expected;
  if (kind == ".rgb") return red_blue_swapped(given, 3);
  if (kind == ".rgba") return red_blue_swapped(given, 4);
  return given;
}

class BmpTgaTest : public pic_test::PictureTest {};

TEST_F(BmpTgaTest, EncoderMadeFilesGiveTheEncodersPixelsTopRowFirst) {
  for (const encoded_picture& e : kEncoded) {
    SCOPED_TRACE(e.file);
    const cimage& pic = load_bytes(e.file, picture_file(e.file));
    EXPECT_EQ(pic.kind, e.kind);
    EXPECT_EQ(pic.width, e.width);
    EXPECT_EQ(pic.height, e.height);
    EXPECT_EQ(pic.bpp, e.bpp);
    EXPECT_EQ(block(pic), expected_pixels(e));
  }
}

// ---------------------------------------------------------------- BMP

// Headers of 54 bytes, then filler up to the data offset, then the data.
bytes bmp(int32_t width, int32_t height, uint16_t bits, const bytes& data, uint32_t compression = 0,
          uint32_t offset = 54) {
  bytes b(54, 0);
  b[0] = 'B';
  b[1] = 'M';
  put_u32(b, 2, static_cast<uint32_t>(offset + data.size()));
  put_u32(b, 10, offset);
  put_u32(b, 14, 40);
  put_u32(b, 18, static_cast<uint32_t>(width));
  put_u32(b, 22, static_cast<uint32_t>(height));
  put_u16(b, 26, 1);
  put_u16(b, 28, bits);
  put_u32(b, 30, compression);
  if (offset > b.size()) b.resize(offset, 0xAB);
  return joined(b, data);
}

TEST_F(BmpTgaTest, BmpRowsStartAtTheDataOffsetAndLoseTheirPadding) {
  // Bottom-up, 2 x 2 at 24 bits: rows of 6 bytes padded to 8.
  const bytes rows = {1, 2, 3, 4, 5, 6, 0xEE, 0xEE, 7, 8, 9, 10, 11, 12, 0xEE, 0xEE};
  const cimage& pic = load_bytes("pad.bmp", bmp(2, 2, 24, rows, 0, 62));
  EXPECT_EQ(pic.size, 12u);
  EXPECT_EQ(block(pic), bytes({7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}));
}

TEST_F(BmpTgaTest, BmpLogsItsSizeAndWarnsOfOtherBitCounts) {
  enable_log();
  load_bytes("top.bmp", picture_file("bmp24_13x7_top.bmp"));
  EXPECT_NE(log_text().find("KORAL_image: loading a bitmap 13 x -7 y 24 bpp\n"), std::string::npos);
  EXPECT_EQ(log_text().find("BitCount other than 8 or 24"), std::string::npos);

  // 32 bits: loaded all the same, rows of 8 bytes, the record says 8 bits.
  enable_log();
  const bytes rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  const cimage& deep = load_bytes("deep.bmp", bmp(2, 2, 32, rows));
  EXPECT_EQ(deep.bpp, 8);
  EXPECT_EQ(deep.size, 16u);
  EXPECT_EQ(block(deep), bytes({9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_NE(log_text().find("KORAL_image: loading a bitmap 2 x 2 y 32 bpp\n"
                            "KORAL_image: you were attempting to load a bitmap with\n"
                            "KORAL_image: BitCount other than 8 or 24 FILE:deep.bmp!\n"),
            std::string::npos)
      << log_text();

  // 16 bits, 3 pixels: 6 bytes a row, padded to 8 in the file.
  const cimage& mid = load_bytes("mid.bmp", bmp(3, 1, 16, {1, 2, 3, 4, 5, 6, 0xEE, 0xEE}));
  EXPECT_EQ(block(mid), bytes({1, 2, 3, 4, 5, 6}));
}

// A file that ends early, or an archive entry followed by another: what the
// entry does not hold stays zero.
TEST_F(BmpTgaTest, BmpShortDataLeavesZeros) {
  const bytes bottom_row_only = bmp(1, 2, 24, {1, 2, 3, 0xEE});
  EXPECT_EQ(block(load_bytes("short.bmp", bottom_row_only)), bytes({0, 0, 0, 1, 2, 3}));

  ASSERT_EQ(open_archive({{"short.bmp", bottom_row_only}, {"next.bin", bytes(64, 0x77)}}), pak_status::opened);
  EXPECT_EQ(block(load("short.bmp")), bytes({0, 0, 0, 1, 2, 3}));
}

TEST_F(BmpTgaTest, BadBitmapsEndTheRunNamingTheFile) {
  bytes not_bm = bmp(1, 1, 24, bytes(4, 1));
  not_bm[0] = 'X';
  bytes core_header = bmp(1, 1, 24, bytes(4, 1));
  put_u32(core_header, 14, 12);
  const std::vector<pic_test::refused_file> cases = {
      {"zero width", bmp(0, 4, 24, {})},
      {"zero height", bmp(4, 0, 24, {})},
      {"negative width", bmp(-4, 4, 24, {})},
      {"too wide", bmp(static_cast<int32_t>(kPictureMaxSide) + 1, 1, 8, {})},
      {"too tall top-down", bmp(1, -static_cast<int32_t>(kPictureMaxSide) - 1, 8, {})},
      {"the lowest height", bmp(1, INT32_MIN, 8, {})},
      {"zero bit count", bmp(4, 4, 0, {})},
      {"a size past the limit", bmp(16384, 16384, 32, {})},
      {"a bit count that overflows", bmp(16384, 16384, 65535, {})},
      {"run-length 8 bits", bmp(4, 4, 8, bytes(16, 1), 1)},
      {"run-length 4 bits", bmp(4, 4, 4, bytes(8, 1), 2)},
      {"JPEG inside", bmp(4, 4, 24, bytes(48, 1), 4)},
      {"PNG inside", bmp(4, 4, 24, bytes(48, 1), 5)},
      {"not BM", not_bm},
      {"an info header of 12 bytes", core_header},
      {"empty", {}},
  };
  expect_all_refused("bad.bmp", cases);
}

TEST_F(BmpTgaTest, BitFieldBitmapsArePlainPixels) {
  const cimage& pic = load_bytes("fields.bmp", bmp(1, 1, 32, {1, 2, 3, 4}, 3));
  EXPECT_EQ(block(pic), bytes({1, 2, 3, 4}));
}

// ---------------------------------------------------------------- TGA

bytes tga(uint16_t width, uint16_t height, uint8_t depth, uint8_t type, uint8_t descriptor, const bytes& data,
          const bytes& id = {}) {
  bytes h(18, 0);
  h[0] = static_cast<uint8_t>(id.size());
  h[2] = type;
  put_u16(h, 12, width);
  put_u16(h, 14, height);
  h[16] = depth;
  h[17] = descriptor;
  return joined(joined(h, id), data);
}

constexpr uint8_t kTop = 0x20;

TEST_F(BmpTgaTest, TgaLogsOneLine) {
  enable_log();
  load_bytes("log.tga", picture_file("tga24_13x7_top.tga"));
  const std::string text = log_text_without_pool();
  EXPECT_EQ(text.rfind("cimage->tga: Loading a png picture - ", 0), 0u) << text;
  EXPECT_NE(text.find("sizex:13 sizey:7 size:273 bpp:24\n"), std::string::npos) << text;
}

TEST_F(BmpTgaTest, TgaColourMapIsSkipped) {
  bytes file = tga(2, 1, 8, 1, kTop, {9, 8}, {'i', 'd'});
  // A map of 3 entries of 15 bits (2 bytes each), inserted before the pixels.
  file[1] = 1;
  put_u16(file, 5, 3);
  file[7] = 15;
  file.insert(file.begin() + 20, {0x11, 0x11, 0x22, 0x22, 0x33, 0x33});
  const cimage& pic = load_bytes("map.tga", file);
  EXPECT_EQ(block(pic), bytes({9, 8}));
}

TEST_F(BmpTgaTest, TgaRunLengthPacketsRunAcrossRows) {
  // 3 x 2 at 24 bits, top row first: one run of 4 pixels, then 2 raw pixels.
  const bytes packets = {0x83, 1, 2, 3, 0x01, 4, 5, 6, 7, 8, 9};
  const cimage& pic = load_bytes("rle.tga", tga(3, 2, 24, 10, kTop, packets));
  EXPECT_EQ(block(pic), bytes({1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  // Bottom row first, a run longer than the picture stops at its end.
  const cimage& flipped = load_bytes("rle.tga", tga(1, 2, 8, 11, 0, {0x00, 5, 0xFF, 6}));
  EXPECT_EQ(block(flipped), bytes({6, 5}));
}

TEST_F(BmpTgaTest, TgaShortDataLeavesZeros) {
  const struct {
    const char* what;
    bytes file;
    bytes pixels;
  } cases[] = {
      {"plain, top row first", tga(2, 2, 8, 3, kTop, {1, 2, 3}), {1, 2, 3, 0}},
      {"plain, bottom row first", tga(2, 2, 8, 3, 0, {1, 2, 3}), {3, 0, 1, 2}},
      {"a run without its pixel", tga(2, 1, 16, 10, kTop, {0x81, 7}), {0, 0, 0, 0}},
      {"raw pixels cut short", tga(2, 1, 16, 10, kTop, {0x01, 7, 8, 9}), {7, 8, 0, 0}},
      {"a header only", tga(2, 1, 8, 2, kTop, {}), {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(block(load_bytes("short.tga", c.file)), c.pixels);
  }
  ASSERT_EQ(open_archive({{"short.tga", cases[0].file}, {"next.bin", bytes(64, 0x77)}}), pak_status::opened);
  EXPECT_EQ(block(load("short.tga")), cases[0].pixels);
}

TEST_F(BmpTgaTest, TgaDepthsBelowAByteMultipleTakeWholeBytes) {
  const cimage& pic = load_bytes("d15.tga", tga(2, 1, 15, 2, kTop, {1, 2, 3, 4}));
  EXPECT_EQ(pic.bpp, 15);
  EXPECT_EQ(pic.size, 4u);
  EXPECT_EQ(block(pic), bytes({1, 2, 3, 4}));
}

TEST_F(BmpTgaTest, BadTargasEndTheRunNamingTheFile) {
  const std::vector<pic_test::refused_file> cases = {
      {"no image data (type 0)", tga(2, 2, 24, 0, 0, bytes(12, 1))},
      {"an unknown type", tga(2, 2, 24, 4, 0, bytes(12, 1))},
      {"a compressed type of no plain twin", tga(2, 2, 24, 32, 0, bytes(12, 1))},
      {"zero width", tga(0, 2, 24, 2, 0, {})},
      {"zero height", tga(2, 0, 24, 2, 0, {})},
      {"zero depth", tga(2, 2, 0, 2, 0, {})},
      {"too wide", tga(static_cast<uint16_t>(kPictureMaxSide + 1), 1, 8, 2, 0, {})},
      {"a size past the limit", tga(16384, 16384, 32, 2, 0, {})},
      {"empty", {}},
  };
  expect_all_refused("bad.tga", cases);
}

}  // namespace
