// Fonts: the one-bit font's drawing and loading, the glyph sheet's cells
// and saturating add, the colour-key pass, and both drawings' text cut and
// clipping at the destination's edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "gfx2d/font.h"
#include "gfx_support.h"
#include "platform/display.h"
#include "res_support.h"

namespace {

using gfx_test::fill;
using gfx_test::kFormat;
using gfx_test::pixels_of;
using gfx_test::put;

constexpr uint32_t kBackground = 0x12345678;
const std::vector<uint8_t> kGlyphA = {0x18, 0x24, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x00};

void set_glyph(unsigned char c, const std::vector<uint8_t>& rows) {
  for (size_t r = 0; r < 8; ++r) font8[c * 8 + r] = r < rows.size() ? rows[r] : 0;
}

class Font8Test : public res_test::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    font8.fill(0);
    set_glyph('A', kGlyphA);
    set_glyph('#', std::vector<uint8_t>(8, 0xFF));
    set_glyph('x', {0x80});
  }
};

TEST_F(Font8Test, LetterTouchesOnlyItsSetBits) {
  ptc::Surface s(640, 480, kFormat);
  fill(s, kBackground);
  text8_draw(s, 10, 460, "A");
  text8_draw(s, 10, 0, "%s", "");
  const std::vector<uint32_t> px = pixels_of(s);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool inside = x >= 10 && x < 18 && y >= 460 && y < 468;
      const bool set = inside && (kGlyphA[y - 460] & (0x80 >> (x - 10)));
      ASSERT_EQ(px[y * 640 + x], set ? kFont8Colour : kBackground) << x << "," << y;
    }
  }
}

// Glyphs with only their top left pixel set on a one-row surface show
// which characters were drawn: 127, the rest of a longer text is cut; bytes
// 128-255 have no glyph in the table but move the pen on.
TEST_F(Font8Test, TextIsCutAt127CharactersAndHighBytesDrawNothing) {
  ptc::Surface s(1100, 1, kFormat);
  text8_draw(s, 0, 0, "%s", std::string(200, 'x').c_str());
  std::vector<uint32_t> px = pixels_of(s);
  for (int i = 0; i < 127; ++i) ASSERT_EQ(px[i * 8], kFont8Colour) << i;
  EXPECT_EQ(px[127 * 8], 0u);
  fill(s, 0);
  text8_draw(s, 0, 0, "\x80\xFF" "x");
  px = pixels_of(s);
  EXPECT_EQ(std::count(px.begin(), px.end(), kFont8Colour), 1);
  EXPECT_EQ(px[16], kFont8Colour);
}

// Nothing is drawn right of or below the destination, nor left of column 0
// or above row 0, and nothing wraps into a neighbouring row.
TEST_F(Font8Test, TextIsClippedNotWrapped) {
  ptc::Surface s(640, 480, kFormat);
  text8_draw(s, 4, 0, "%s", std::string(100, '#').c_str());
  text8_draw(s, 600, 476, "%s", std::string(20, '#').c_str());
  text8_draw(s, -4, 100, "#");
  const std::vector<uint32_t> px = pixels_of(s);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool drawn = (y < 8 && x >= 4) || (y >= 476 && x >= 600) || (y >= 100 && y < 108 && x < 4);
      ASSERT_EQ(px[y * 640 + x], drawn ? kFont8Colour : 0u) << x << "," << y;
    }
  }
}

TEST_F(Font8Test, LoadReadsTheFirst1024BytesAndKeepsTheRestOfAShortFile) {
  res_test::bytes data(1100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
  res_test::write_file("short.fnt", data);
  font8_load("short.fnt");
  EXPECT_TRUE(std::equal(font8.begin(), font8.end(), data.begin()));
  res_test::write_file("short.fnt", res_test::bytes(10, 0));
  font8_load("short.fnt");
  EXPECT_EQ(font8[9], 0);
  EXPECT_EQ(font8[10], data[10]);
}

// Glyph sheet: every pixel of cell g non-zero and distinct,
// (g + 1) << 16 | row << 8 | column; the gaps between cells 0.
class GlyphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* p = static_cast<uint32_t*>(sheet_.lock());
    for (int r = 0; r < 32; ++r) {
      for (int x = 0; x < 3300; ++x) {
        const int k = x % kGlyphCellStep;
        p[r * 3300 + x] = k < kGlyphCellWidth ? cell_pixel(x / kGlyphCellStep, k, r) : 0;
      }
    }
    sheet_.unlock();
    fontimg = &sheet_;
  }
  void TearDown() override { fontimg = nullptr; }

  static uint32_t cell_pixel(int g, int k, int r) { return static_cast<uint32_t>((g + 1) << 16 | r << 8 | k); }

  ptc::Surface sheet_{3300, 32, kFormat};
};

TEST(GlyphCell, CharacterToCell) {
  const int cases[][2] = {{'!', 0},  {'0', 15}, {'A', 32}, {'^', 61}, {'_', 62}, {'`', 63}, {'a', 62},
                          {'b', 63}, {'z', 87}, {'~', 91}, {127, 92}, {' ', -1}, {1, -1},   {128, -1},
                          {255, -1}};
  for (const auto& tc : cases) EXPECT_EQ(glyph_cell(static_cast<char>(tc[0])), tc[1]) << tc[0];
}

TEST_F(GlyphTest, SpaceThenLetterDrawsCell32AfterOneAdvance) {
  ptc::Surface s(640, 480, kFormat);
  glyph_text_draw(s, 0, 0, " A");
  const std::vector<uint32_t> px = pixels_of(s);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool cell = x >= 11 && x < 35 && y < 32;
      ASSERT_EQ(px[y * 640 + x], cell ? cell_pixel(32, x - 11, y) : 0u) << x << "," << y;
    }
  }
}

TEST_F(GlyphTest, SharedCellsDrawAlike) {
  for (const auto& pair : {std::pair{"_", "a"}, std::pair{"`", "b"}}) {
    ptc::Surface a(640, 40, kFormat), b(640, 40, kFormat);
    glyph_text_draw(a, 5, 3, "%s", pair.first);
    glyph_text_draw(b, 5, 3, "%s", pair.second);
    EXPECT_EQ(pixels_of(a), pixels_of(b)) << pair.first;
  }
}

// The pens of an 80-character line at (0, 460) run past column 639 and the
// cells past row 479: the last column holds the three cells whose pens lie
// at 616, 627 and 638, and no row above 460 is touched.
TEST_F(GlyphTest, LongLineIsClippedNotWrapped) {
  ptc::Surface s(640, 480, kFormat);
  glyph_text_draw(s, 0, 460, "%s", std::string(80, 'A').c_str());
  const std::vector<uint32_t> px = pixels_of(s);
  EXPECT_TRUE(std::all_of(px.begin(), px.begin() + 460 * 640, [](uint32_t p) { return p == 0; }));
  EXPECT_EQ(px[470 * 640 + 639], cell_pixel(32, 23, 10) + cell_pixel(32, 12, 10) + cell_pixel(32, 1, 10));
}

// Byte-wise saturating add, the fourth byte included, against a per-byte
// reference: a one-pixel sheet drawn onto one destination pixel. A sheet
// pixel 0 leaves the destination as it is.
TEST_F(GlyphTest, SaturatingAddPerByte) {
  ptc::Surface one(1, 1, kFormat);
  fontimg = &one;
  ptc::Surface s(640, 1, kFormat);
  auto drawn = [&](uint32_t d, uint32_t src) {
    put(one, 0, 0, src);
    put(s, 0, 0, d);
    glyph_text_draw(s, 0, 0, "!");
    return pixels_of(s)[0];
  };
  EXPECT_EQ(drawn(0x00F0F0F0, 0x00102030), 0x00FFFFFFu);
  EXPECT_EQ(drawn(0x00000000, 0x00102030), 0x00102030u);
  EXPECT_EQ(drawn(0x12345678, 0), 0x12345678u);
  std::mt19937 rng(7);
  for (int i = 0; i < 2000; ++i) {
    const uint32_t d = rng(), src = rng() | 1;
    uint32_t want = 0;
    for (int k = 0; k < 32; k += 8) want |= std::min(((d >> k) & 0xFF) + ((src >> k) & 0xFF), 255u) << k;
    ASSERT_EQ(drawn(d, src), want) << std::hex << d << " + " << src;
  }
}

TEST(ColourKey, RedWithoutGreenBecomesTransparent) {
  const uint32_t cases[][2] = {
      {0x00FF00FF, 0},          {0x00010000, 0},          {0xAA800000, 0},
      {0x00FF0100, 0x00FF0100}, {0x000000FF, 0x000000FF}, {0x00000000, 0x00000000},
  };
  ptc::Surface s(static_cast<int>(std::size(cases)), 1, kFormat);
  for (size_t i = 0; i < std::size(cases); ++i) put(s, static_cast<int>(i), 0, cases[i][0]);
  font_colour_key(s);
  const std::vector<uint32_t> px = pixels_of(s);
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(px[i], cases[i][1]) << std::hex << cases[i][0];
}

TEST(ColourKey, VisitsAtMostTheSheetOrTheImage) {
  ptc::Surface small(10, 10, kFormat);
  fill(small, 0x00FF0000);
  font_colour_key(small);
  EXPECT_EQ(pixels_of(small), std::vector<uint32_t>(100, 0u));
  ptc::Surface large(3300, 33, kFormat);
  fill(large, 0x00FF0000);
  font_colour_key(large);
  const std::vector<uint32_t> px = pixels_of(large);
  EXPECT_EQ(px[kFontSheetPixels - 1], 0u);
  EXPECT_EQ(px[kFontSheetPixels], 0x00FF0000u);
}

}  // namespace
