// Pictures as surfaces and pixel blocks: the pixels that arrive, the list
// that shutdown empties, the log line, and pictures that cannot become a
// surface.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx2d/surfaces.h"
#include "gfx_support.h"
#include "platform/display.h"
#include "res_support.h"
#include "resources/mempool.h"

namespace {

using gfx_test::pixels_of;
using gfx_test::test_picture;
using gfx_test::write_png;

// An 8-bit grey PNG: one byte per pixel, which the widening leaves as it is.
void write_grey_png(const char* name, int w, int h, uint8_t value) {
  FILE* f = std::fopen(name, "wb");
  ASSERT_NE(f, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<size_t>(w), value);
  for (int y = 0; y < h; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

class SurfacesTest : public res_test::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    surface_list_destroy();
    surface_list.count = 0;
  }
  void TearDown() override {
    surface_list_destroy();
    surface_list.count = 0;
    ResourceTest::TearDown();
  }
};

TEST_F(SurfacesTest, SurfacesHoldThePixelsAndAreListedUntilDestroyed) {
  const std::vector<uint32_t> px = test_picture(5, 3);
  write_png("a.png", px, 5, 3);
  write_png("b.png", test_picture(1, 1), 1, 1);
  ptc::Surface* a = surface_from_image("a.png");
  ptc::Surface* b = surface_from_image("b.png");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->width(), 5);
  EXPECT_EQ(a->height(), 3);
  EXPECT_EQ(pixels_of(*a), px);
  ASSERT_EQ(surface_list.count, 2u);
  EXPECT_EQ(surface_list.entries[0], a);
  EXPECT_EQ(surface_list.entries[1], b);
  surface_list_destroy();
  EXPECT_EQ(surface_list.entries[0], nullptr);
  EXPECT_EQ(surface_list.entries[1], nullptr);
}

// The loader lower-cases the name it is given: a literal (read-only memory)
// must still work, and stays as it was.
TEST_F(SurfacesTest, NameInCapitalsIsLoadedInLowerCase) {
  write_png("pic.png", test_picture(2, 2), 2, 2);
  const char* name = "Pic.PNG";
  ptc::Surface* s = surface_from_image(name);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width(), 2);
  EXPECT_STREQ(name, "Pic.PNG");
}

// The pieces "n: NAME ", "x: W ", "y: H\n" make one line: only the last
// ends it (the loader's own texts fall in between).
TEST_F(SurfacesTest, LoadWritesOneLineWithNameAndSize) {
  write_png("mouse.png", test_picture(12, 16), 12, 16);
  enable_log();
  surface_from_image("mouse.png");
  const std::string log = log_text();
  const size_t name = log.find("n: mouse.png ");
  ASSERT_NE(name, std::string::npos) << log;
  EXPECT_NE(log.find("x: 12 y: 16\n", name), std::string::npos) << log;
}

// 8-bit grey fills only the bytes its block has; the rest stays zero.
TEST_F(SurfacesTest, NarrowPictureIsNotReadPastItsBlock) {
  write_grey_png("grey.png", 8, 4, 0x7F);
  ptc::Surface* s = surface_from_image("grey.png");
  ASSERT_NE(s, nullptr);
  const std::vector<uint32_t> px = pixels_of(*s);
  for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(px[i], i < 8 ? 0x7F7F7F7Fu : 0u) << i;
}

TEST_F(SurfacesTest, PictureWithoutSurfaceIsFatal) {
  EXPECT_EXIT(surface_from_image("pic.xyz"), ::testing::ExitedWithCode(1),
              "Creation of surface from pic.xyz failed");
}

TEST_F(SurfacesTest, TextureIsAPoolBlockOfThePixels) {
  const std::vector<uint32_t> px = test_picture(4, 2);
  write_png("chrome.png", px, 4, 2);
  const uint32_t blocks_before = g_pool->used;
  auto* block = static_cast<uint32_t*>(texture_from_image("chrome.png"));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::vector<uint32_t>(block, block + 8), px);
  EXPECT_EQ(g_pool->used, blocks_before + 1);  // the picture's own block went back
  EXPECT_EQ(surface_list.count, 0u);
  mempool_free(block);
}

}  // namespace
