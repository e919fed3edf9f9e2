// The picture record, the dispatch by extension, the widening to 32 bits and
// the PNG decoder (the basic files of the PNG suite and files written here).
#include <png.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <deque>
#include <functional>

#include "picture_support.h"
#include "res_support.h"
#include "resources/cimage.h"
#include "resources/mempool.h"
#include "resources/png.h"

namespace {

using res_test::bytes;
using res_test::read_file;
using res_test::text_bytes;
using res_test::write_file;

const std::string kSuite = std::string(VELMORA_SOURCE_DIR) + "/tests/data/pngsuite/";

// Rows of a PNG as libpng's whole-image read delivers them (no transformation).
struct raw_rows {
  uint32_t width = 0;
  uint32_t height = 0;
  int bpp = 0;
  bytes rows;
};

raw_rows read_reference(const std::string& path) {
  raw_rows ref;
  FILE* f = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  ref.width = png_get_image_width(png, info);
  ref.height = png_get_image_height(png, info);
  ref.bpp = png_get_bit_depth(png, info) * png_get_channels(png, info);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const size_t rowbytes = png_get_rowbytes(png, info);
  ref.rows.resize(rowbytes * ref.height);
  std::vector<png_bytep> ptrs;
  for (uint32_t r = 0; r < ref.height; ++r) ptrs.push_back(ref.rows.data() + r * rowbytes);
  png_read_image(png, ptrs.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return ref;
}

std::vector<png_color> palette_of(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_read_info(png, info);
  png_colorp colours = nullptr;
  int count = 0;
  png_get_PLTE(png, info, &colours, &count);
  std::vector<png_color> palette(colours, colours + count);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return palette;
}

void write_png(const std::string& path, uint32_t width, uint32_t height, int depth, int colour, bool interlaced,
               const bytes& rows) {
  FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, width, height, depth, colour, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), 7};
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << depth);
  png_write_info(png, info);
  const size_t rowbytes = rows.size() / height;
  std::vector<png_bytep> ptrs;
  for (uint32_t r = 0; r < height; ++r) ptrs.push_back(const_cast<png_bytep>(rows.data() + r * rowbytes));
  png_write_image(png, ptrs.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// What load delivers for raw rows: first and third byte of each pixel
// exchanged at 24 and 32 bits per pixel.
bytes swapped(bytes rows, int bpp) {
  const size_t step = bpp == 24 ? 3 : bpp == 32 ? 4 : 0;
  for (size_t i = 0; step && i + step <= rows.size(); i += step) std::swap(rows[i], rows[i + 2]);
  return rows;
}

// The fixture that loads pictures and releases their blocks.
using CimageTest = pic_test::PictureTest;
using pic_test::block;

struct suite_file {
  const char* name;
  int bpp;
};

const suite_file kSuiteFiles[] = {
    {"basn0g01", 1},  {"basn0g02", 2},  {"basn0g04", 4},  {"basn0g08", 8},  {"basn0g16", 16},
    {"basn2c08", 24}, {"basn2c16", 48}, {"basn3p01", 1},  {"basn3p02", 2},  {"basn3p04", 4},
    {"basn3p08", 8},  {"basn4a08", 16}, {"basn4a16", 32}, {"basn6a08", 32}, {"basn6a16", 64},
};

TEST_F(CimageTest, SuiteFilesGiveTheirRowsAndWidenBySize) {
  for (const suite_file& s : kSuiteFiles) {
    SCOPED_TRACE(s.name);
    const raw_rows ref = read_reference(kSuite + s.name + ".png");
    std::filesystem::copy_file(kSuite + s.name + ".png", std::string(s.name) + ".png");
    cimage& pic = load(std::string(s.name) + ".png");
    EXPECT_EQ(pic.kind, kImagePng);
    EXPECT_EQ(pic.width, 32);
    EXPECT_EQ(pic.height, 32);
    EXPECT_EQ(pic.bpp, s.bpp);
    EXPECT_EQ(pic.size, 32u * 32u * s.bpp / 8u);
    const bytes delivered = swapped(ref.rows, s.bpp);
    ASSERT_EQ(block(pic), delivered);

    pic.to32();
    EXPECT_EQ(pic.bpp, s.bpp);
    if (s.bpp == 24 || s.bpp == 16) {
      ASSERT_EQ(pic.size, 32u * 32u * 4u);
      const size_t step = s.bpp / 8;
      for (size_t i = 0; i < 32 * 32; ++i) {
        const uint8_t* src = &delivered[i * step];
        const uint8_t* px = pic.pixels + 4 * i;
        const uint8_t expected[4] = {
            s.bpp == 24 ? src[0] : static_cast<uint8_t>(src[0] * 8),
            s.bpp == 24 ? src[1] : static_cast<uint8_t>((src[0] & 0xE0) * 4),
            s.bpp == 24 ? src[2] : uint8_t{0},
            0,
        };
        ASSERT_EQ(0, std::memcmp(px, expected, 4)) << "pixel " << i;
      }
    } else {
      EXPECT_EQ(block(pic), delivered);
    }
  }
}

TEST_F(CimageTest, InterlacedSuiteFilesMatchTheirPlainTwins) {
  for (const char* name : {"basn0g08", "basn0g16", "basn2c08", "basn2c16", "basn3p08", "basn4a08", "basn4a16",
                           "basn6a08", "basn6a16"}) {
    SCOPED_TRACE(name);
    std::filesystem::copy_file(kSuite + name + ".png", "plain.png", std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(kSuite + "i" + name + ".png", "inter.png",
                               std::filesystem::copy_options::overwrite_existing);
    const cimage& plain = load("plain.png");
    const cimage& inter = load("inter.png");
    EXPECT_EQ(inter.bpp, plain.bpp);
    if (name[4] != '3') {
      EXPECT_EQ(block(inter), block(plain));
      continue;
    }
    // The twins order their palettes differently: compare the colours.
    const std::vector<png_color> plain_colours = palette_of("plain.png");
    const std::vector<png_color> inter_colours = palette_of("inter.png");
    ASSERT_EQ(inter.size, plain.size);
    for (uint32_t i = 0; i < plain.size; ++i) {
      const png_color a = plain_colours.at(plain.pixels[i]);
      const png_color b = inter_colours.at(inter.pixels[i]);
      ASSERT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue) << "pixel " << i;
    }
  }
}

// Pictures written here, plain and interlaced, odd sizes so that rows of
// depths below 8 end in padding bits; both must give back the rows written.
TEST_F(CimageTest, WrittenPicturesComeBackRowForRow) {
  const struct {
    int colour;
    int depth;
    int channels;
  } formats[] = {
      {PNG_COLOR_TYPE_GRAY, 1, 1},  {PNG_COLOR_TYPE_GRAY, 2, 1},       {PNG_COLOR_TYPE_GRAY, 4, 1},
      {PNG_COLOR_TYPE_PALETTE, 1, 1}, {PNG_COLOR_TYPE_PALETTE, 4, 1},  {PNG_COLOR_TYPE_PALETTE, 8, 1},
      {PNG_COLOR_TYPE_RGB, 8, 3},   {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4}, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, 2},
  };
  const uint32_t width = 13, height = 9;
  for (const auto& f : formats) {
    SCOPED_TRACE("colour " + std::to_string(f.colour) + " depth " + std::to_string(f.depth));
    const uint32_t bits = width * f.depth * f.channels;
    const size_t rowbytes = (bits + 7) / 8;
    bytes rows(rowbytes * height);
    uint32_t seed = 12345;
    for (size_t r = 0; r < height; ++r) {
      for (size_t i = 0; i < rowbytes; ++i) {
        seed = seed * 1103515245u + 12345u;
        rows[r * rowbytes + i] = static_cast<uint8_t>(seed >> 16);
      }
      if (bits % 8) rows[r * rowbytes + rowbytes - 1] &= static_cast<uint8_t>(0xFF << (8 - bits % 8));
    }
    write_png("plain.png", width, height, f.depth, f.colour, false, rows);
    write_png("inter.png", width, height, f.depth, f.colour, true, rows);
    const int bpp = f.depth * f.channels;
    const cimage& plain = load("plain.png");
    const cimage& inter = load("inter.png");
    EXPECT_EQ(plain.bpp, bpp);
    EXPECT_EQ(plain.size, rows.size());
    EXPECT_EQ(block(plain), swapped(rows, bpp));
    EXPECT_EQ(block(inter), swapped(rows, bpp));
  }
}

TEST_F(CimageTest, PngPixelsArriveBlueFirst) {
  write_png("rgb.png", 2, 2, 8, PNG_COLOR_TYPE_RGB, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  cimage& rgb = load("rgb.png");
  EXPECT_EQ(rgb.bpp, 24);
  EXPECT_EQ(rgb.size, 12u);
  EXPECT_EQ(block(rgb), bytes({3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

  write_png("rgba.png", 1, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA, false, {0x11, 0x22, 0x33, 0x44});
  cimage& rgba = load("rgba.png");
  rgba.to32();
  EXPECT_EQ(rgba.bpp, 32);
  uint32_t pixel;
  std::memcpy(&pixel, rgba.pixels, 4);
  EXPECT_EQ(pixel, 0x44112233u);
}

TEST_F(CimageTest, To32WidensByDepth) {
  const struct {
    int bpp;
    bytes in;
    bytes out;
  } cases[] = {
      {24, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 0, 4, 5, 6, 0}},
      {24, {1, 2, 3, 4}, {1, 2, 3, 0}},  // a partial pixel is dropped
      {16, {0x00, 0xFF, 0x1F, 0x00, 0xE0, 0x12, 0xFF, 0xFF, 0x21, 0x80},
       {0x00, 0x00, 0, 0, 0xF8, 0x00, 0, 0, 0x00, 0x80, 0, 0, 0xF8, 0x80, 0, 0, 0x08, 0x80, 0, 0}},
      {32, {1, 2, 3, 4}, {1, 2, 3, 4}},
      {8, {1, 2, 3}, {1, 2, 3}},
      {48, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bpp);
    cimage pic;
    pic.bpp = c.bpp;
    pic.size = static_cast<uint32_t>(c.in.size());
    pic.pixels = static_cast<uint8_t*>(mempool_alloc(pic.size));
    std::memcpy(pic.pixels, c.in.data(), c.in.size());
    const uint32_t blocks = g_pool->used;
    pic.to32();
    EXPECT_EQ(pic.bpp, c.bpp);
    EXPECT_EQ(block(pic), c.out);
    EXPECT_EQ(g_pool->used, blocks);
    mempool_free(pic.pixels);
  }
}

TEST_F(CimageTest, NamesAreLowerCasedInTheCallersTextAndLookedUpSo) {
  write_png("disk.png", 1, 1, 8, PNG_COLOR_TYPE_RGB, false, {1, 2, 3});
  write_png("archived.png", 2, 1, 8, PNG_COLOR_TYPE_RGB, false, {1, 2, 3, 4, 5, 6});
  // Every letter changes; the neighbours of "A" to "Z" and bytes of 128 and
  // above stay.
  const std::string lower = "@abcdefghijklmnopqrstuvwxyz[`{\xC9.png";
  ASSERT_EQ(open_archive({{lower, read_file("archived.png")}}), pak_status::opened);
  char name[] = "@ABCDEFGHIJKLMNOPQRSTUVWXYZ[`{\xC9.PNG";
  report_returns_set(1);  // a name not found fails the load instead of ending the run
  cimage pic;
  ASSERT_TRUE(pic.load(name));
  EXPECT_EQ(std::string(name), lower);
  EXPECT_EQ(pic.width, 2);
  mempool_free(pic.pixels);
}

TEST_F(CimageTest, UnknownTypesLeaveTheRecordUntouched) {
  for (const char* n : {"", "png", ".pn", "x.jpeg", "x.pngx", "x.gif", "x.PNG.txt"}) {
    SCOPED_TRACE(n);
    enable_log();
    std::vector<char> name(n, n + std::strlen(n) + 1);
    cimage pic;
    pic.width = 7;
    EXPECT_FALSE(pic.load(name.data()));
    EXPECT_EQ(pic.width, 7);
    EXPECT_EQ(pic.pixels, nullptr);
    EXPECT_EQ(log_text(), "cimage: tried to load a UNKNOWN image type!\n");
  }
}

TEST_F(CimageTest, PngLoadLogsOneLine) {
  write_png("p.png", 3, 2, 8, PNG_COLOR_TYPE_RGB_ALPHA, false, bytes(24, 9));
  ASSERT_EQ(open_archive({{"p.png", read_file("p.png")}}), pak_status::opened);
  enable_log();
  load("p.png");
  EXPECT_EQ(log_text_without_pool(), "cimage->png: Loading a png picture - fptr: " + std::to_string(pak_dir[0]->Fptr) +
                                         "\nx:3 y:2 bpch:8 channels:4 - OK.\n");
}

void put_be32(bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A PNG signature and header chunk claiming the given size, then the start
// of an empty image data chunk (where header reading stops).
bytes png_header(uint32_t width, uint32_t height, uint8_t colour) {
  bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  put_be32(b, width);
  put_be32(b, height);
  for (uint8_t v : {uint8_t{8}, colour, uint8_t{0}, uint8_t{0}, uint8_t{0}}) b.push_back(v);
  put_be32(b, static_cast<uint32_t>(crc32(0, b.data() + 12, 17)));
  put_be32(b, 0);
  for (char c : {'I', 'D', 'A', 'T'}) b.push_back(static_cast<uint8_t>(c));
  return b;
}

// Damaged and hostile files: each ends the run with the libpng read error, or,
// while reports return, leaves the record empty and nothing allocated.
struct bad_png {
  const char* what;
  std::function<bytes(const bytes&)> make;  // from a valid file
};

const bad_png kBadPngs[] = {
    {"truncated", [](const bytes& b) { return bytes(b.begin(), b.begin() + b.size() * 2 / 3); }},
    {"corrupted image data",
     [](const bytes& b) {
       bytes c = b;
       c[c.size() - 30] ^= 0x5A;
       return c;
     }},
    {"not a png", [](const bytes&) { return text_bytes("this is text, not a picture\n"); }},
    {"wider than the side limit", [](const bytes&) { return png_header(kPngMaxSide + 1, 1, 2); }},
    {"larger than the block limit", [](const bytes&) { return png_header(kPngMaxSide, kPngMaxSide, 6); }},
    {"empty", [](const bytes&) { return bytes(); }},
};

TEST_F(CimageTest, BadPngsEndTheRunWithTheReadError) {
  const bytes good = read_file(kSuite + "basn2c08.png");
  for (const bad_png& bad : kBadPngs) {
    SCOPED_TRACE(bad.what);
    write_file("bad.png", bad.make(good));
    EXPECT_EXIT(load("bad.png"), ::testing::ExitedWithCode(1), "KORAL ERROR !: cimage->png: libpng read error");
  }
}

TEST_F(CimageTest, BadPngsWithReturningReportsLeaveNothingBehind) {
  const bytes good = read_file(kSuite + "basn2c08.png");
  report_returns_set(1);
  for (const bad_png& bad : kBadPngs) {
    SCOPED_TRACE(bad.what);
    write_file("bad.png", bad.make(good));
    const uint32_t blocks = g_pool->used;
    const size_t boxes = backend_.boxes().size();
    char name[] = "bad.png";
    cimage pic;
    EXPECT_FALSE(pic.load(name));
    EXPECT_EQ(pic.pixels, nullptr);
    EXPECT_EQ(pic.size, 0u);
    EXPECT_EQ(g_pool->used, blocks);
    ASSERT_EQ(backend_.boxes().size(), boxes + 1);
    EXPECT_EQ(backend_.boxes().back(), "KORAL ERROR !: cimage->png: libpng read error\n");
  }
}

TEST_F(CimageTest, HugeHeadersAreRefusedBeforeAnyAllocation) {
  report_returns_set(1);
  for (const bytes& header : {png_header(kPngMaxSide + 1, 1, 2), png_header(kPngMaxSide, kPngMaxSide, 6)}) {
    write_file("huge.png", header);
    enable_log();
    char name[] = "huge.png";
    cimage pic;
    EXPECT_FALSE(pic.load(name));
    EXPECT_EQ(log_text().find("MEMPOOL : allocated"), std::string::npos) << log_text();
    EXPECT_NE(log_text().find("Libpng read error\n"), std::string::npos);
  }
}

// Each extension reaches its own decoder: a file only that decoder reads
// comes back with its kind and size (any other decoder would refuse it).
TEST_F(CimageTest, EveryKnownExtensionReachesItsDecoder) {
  const struct {
    const char* name;
    bytes file;
    int32_t kind, width, height;
  } cases[] = {
      {"p.jpg", pic_test::picture_file("colour_16x8.jpg"), kImageJpeg, 16, 8},
      {"p.bmp", pic_test::picture_file("bmp24_13x7.bmp"), kImageBmp, 13, 7},
      {"p.tga", pic_test::picture_file("tga24_13x7_top.tga"), kImageTga, 13, 7},
      {"p.raw", bytes(64000, 1), kImageRaw, 320, 200},
      {"p.pcx", pic_test::picture_file("pcx24_13x7.pcx"), kImagePcx, 13, 7},
      {"p.png", read_file(kSuite + "basn2c08.png"), kImagePng, 32, 32},
  };
  report_returns_set(1);  // a wrong decoder refuses instead of ending the run
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const cimage& pic = load_bytes(c.name, c.file);
    EXPECT_EQ((std::array{pic.kind, pic.width, pic.height}), (std::array{c.kind, c.width, c.height}));
  }
}

}  // namespace
