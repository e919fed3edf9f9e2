// Tests of the rasteriser: rounding, projection, rows, spans, clipping,
// texture wrap, the depth test and lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "render3d/marching.h"
#include "render3d/raster.h"

namespace {

constexpr int kW = 150;
constexpr int kH = 130;

int32_t fx(double v) {
  return static_cast<int32_t>(v * 65536.0);
}

uint32_t texel(int u, int v) {
  return 0x00010000u | static_cast<uint32_t>(v) << 8 | static_cast<uint32_t>(u);
}

constexpr uint32_t kBackground = 0x00123456;

// A 150 x 130 target with a guard row above and below it.
class Raster : public ::testing::Test {
 protected:
  void SetUp() override {
    pixels.assign((kH + 2) * kW, zpixel{0, kBackground});
    texture.resize(kTextureSide * kTextureSide);
    for (int v = 0; v < kTextureSide; ++v)
      for (int u = 0; u < kTextureSide; ++u) texture[v * kTextureSide + u] = texel(u, v);
    raster.target = pixels.data() + kW;
    raster.texture = texture.data();
    raster.width = kW;
    raster.last_row = kH - 1;
    raster.centre_x = kW / 2;
    raster.centre_y = kH / 2;
    raster.flat_colour = 0x00FF0000;
  }
  void TearDown() override { tri_count = 0; }

  const zpixel& at(int x, int y) const { return raster.target[y * kW + x]; }
  bool drawn(int x, int y) const { return at(x, y).colour != kBackground; }
  bool row_drawn(int y) const {
    for (int x = 0; x < kW; ++x)
      if (drawn(x, y)) return true;
    return false;
  }
  bool guards_clean() const {
    for (int x = 0; x < kW; ++x) {
      const zpixel& above = pixels[x];
      const zpixel& below = pixels[(kH + 1) * kW + x];
      if (above.colour != kBackground || above.depth != 0 || below.colour != kBackground || below.depth != 0) return false;
    }
    return true;
  }
  int drawn_count() const {
    int n = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) n += drawn(x, y);
    return n;
  }

  std::vector<zpixel> pixels;
  std::vector<uint32_t> texture;
};

scrvertex vertex(double x, double y, int32_t depth = -1000000, int32_t u = 0, int32_t v = 0) {
  return scrvertex{depth, fx(x), fx(y), u, v};
}

TEST(Round16, HalvesRoundDown) {
  struct Case {
    int32_t in, out;
  };
  const Case cases[] = {
      {fx(2.5), 2},  {2 * 65536 + 32769, 3}, {fx(-0.5), -1}, {fx(-0.4), 0}, {fx(7), 7},
      {fx(-7), -7},  {10 * 65536 + 32768, 10}, {-65536 - 1, -1}, {INT32_MIN, -32768}, {INT32_MAX, 32768},
  };
  for (const Case& c : cases) EXPECT_EQ(round16(c.in), c.out) << c.in;
}

TEST_F(Raster, ProjectionAndDepth) {
  scrvertex centre{}, right{}, up{}, near{}, far{};
  project(vec3{0, 0, 0}, centre);
  EXPECT_EQ(centre.x, 75 << 16);
  EXPECT_EQ(centre.y, 65 << 16);
  EXPECT_EQ(centre.depth, -1431655);  // 2^31 / 1500 = 1431655.77, toward zero
  project(vec3{10, 0, 0}, right);
  project(vec3{0, 10, 0}, up);
  EXPECT_EQ(right.x, fx(75 - 2560.0 / 150));  // positive x lands left of centre
  EXPECT_LT(up.y, centre.y);                 // and positive y above it
  project(vec3{0, 0, 50}, near);
  project(vec3{0, 0, -50}, far);
  EXPECT_GT(static_cast<uint32_t>(near.depth), static_cast<uint32_t>(far.depth));
  // A point too near the depth pole does not convert: it gives INT32_MIN.
  scrvertex pole{};
  project(vec3{0, 0, -1500}, pole);
  EXPECT_EQ(pole.depth, INT32_MIN);
}

TEST_F(Raster, DegenerateAndAboveTheWindowDrawNothing) {
  scrvertex a = vertex(10, 20), b = vertex(90, 20), c = vertex(50, 20);
  tri_tex(a, b, c);
  tri_flat(a, b, c);
  scrvertex d = vertex(10, -30), e = vertex(90, -20), f = vertex(50, -0.1);
  tri_tex(d, e, f);
  tri_flat(d, e, f);
  EXPECT_EQ(drawn_count(), 0);
}

TEST_F(Raster, StartRowAndLastRow) {
  struct Case {
    int32_t top;
    int first_row;
  };
  const Case cases[] = {{10 * 65536 + 32768, 10}, {10 * 65536 + 32769, 11}};
  for (const Case& c : cases) {
    SetUp();
    // Flat top: the first row is the full width of the triangle.
    scrvertex p{-1000000, fx(20), c.top, 0, 0}, q{-1000000, fx(100), c.top, 0, 0}, r = vertex(60, 40);
    tri_tex(p, q, r);
    EXPECT_FALSE(row_drawn(c.first_row - 1)) << c.top;
    EXPECT_TRUE(row_drawn(c.first_row)) << c.top;
  }
  SetUp();
  scrvertex p = vertex(60, 10), q = vertex(20, 40), r = vertex(100, 40);
  tri_flat(p, q, r);
  EXPECT_TRUE(row_drawn(39));
  EXPECT_FALSE(row_drawn(40));
}

TEST_F(Raster, SpanClipsAtBothEnds) {
  const span_steps step{1 << 16, 2 << 16, 7};
  span_tex(20, {-3, 10 << 16, 20 << 16, 1000}, {5, 0, 0, 0}, step);
  EXPECT_EQ(at(0, 20).colour, texel(13, 26));
  EXPECT_EQ(at(0, 20).depth, 1021u);
  EXPECT_EQ(at(4, 20).colour, texel(17, 34));
  EXPECT_EQ(at(4, 20).depth, 1049u);
  EXPECT_FALSE(drawn(5, 20));
  EXPECT_FALSE(drawn(kW - 1, 19));  // nothing wrapped back into the row above

  // The ends may come in either order.
  span_tex(30, {160, 0, 0, 500}, {140, 0, 0, 500}, span_steps{0, 0, 0});
  EXPECT_TRUE(drawn(140, 30));
  EXPECT_TRUE(drawn(149, 30));
  EXPECT_FALSE(drawn(139, 30));
  EXPECT_FALSE(drawn(0, 31));

  span_flat(40, 5, 180, -3, 100);  // depth step (180 - 100) / 8 = 10
  EXPECT_EQ(at(0, 40).depth, 130u);
  EXPECT_EQ(at(4, 40).depth, 170u);
  EXPECT_FALSE(drawn(5, 40));

  // Spans of no width, off the window or on rows outside it draw nothing.
  span_flat(50, 7, 10, 7, 20);
  span_tex(50, {7, 0, 0, 10}, {7, 0, 0, 10}, step);
  span_tex(50, {151, 0, 0, 10}, {170, 0, 0, 10}, step);
  span_flat(50, -10, 10, -1, 20);
  span_flat(-1, 0, 10, 100, 20);
  span_tex(kH, {0, 0, 0, 10}, {100, 0, 0, 10}, step);
  EXPECT_FALSE(row_drawn(50));
  EXPECT_TRUE(guards_clean());
}

TEST_F(Raster, TextureCoordinatesWrap) {
  const span_steps none{0, 0, 0};
  span_tex(5, {10, fx(-1), fx(256), 5}, {11, 0, 0, 5}, none);
  EXPECT_EQ(at(10, 5).colour, texel(255, 0));
  span_tex(6, {10, fx(511), fx(-256), 5}, {11, 0, 0, 5}, none);
  EXPECT_EQ(at(10, 6).colour, texel(255, 0));
}

TEST_F(Raster, DepthTestKeepsTheFirstOnEqualDepthAndTheNearerOtherwise) {
  raster.flat_colour = 0x000000AA;
  span_flat(10, 0, -1400000, 20, -1400000);
  raster.flat_colour = 0x000000BB;
  span_flat(10, 0, -1400000, 20, -1400000);
  EXPECT_EQ(at(5, 10).colour, 0x000000AAu);

  // Depths are negative; read unsigned, the nearer one is larger.
  scrvertex near{}, far{};
  project(vec3{0, 0, 40}, near);
  project(vec3{0, 0, -40}, far);
  raster.flat_colour = 0x00000001;
  span_flat(20, 0, far.depth, 20, far.depth);
  raster.flat_colour = 0x00000002;
  span_flat(20, 0, near.depth, 20, near.depth);
  raster.flat_colour = 0x00000003;
  span_flat(20, 0, far.depth, 20, far.depth);
  EXPECT_EQ(at(5, 20).colour, 0x00000002u);
  EXPECT_EQ(at(5, 20).depth, static_cast<uint32_t>(near.depth));
}

TEST_F(Raster, LinesStayOffTheBorderRowsAndColumnZero) {
  for (int i = 0; i < kW * kH; ++i) raster.target[i].depth = 1;
  line_z(fx(-20), fx(0), 5, fx(300), fx(0), 5);          // along row 0
  line_z(fx(-20), fx(kH - 1), 5, fx(300), fx(kH - 1), 5);  // along the last row
  line_z(fx(0), fx(-20), 5, fx(0), fx(300), 5);          // down column 0
  line_z(fx(-10), fx(-10), 5, fx(200), fx(200), 5);      // across everything
  line_z(fx(149), fx(-5), 5, fx(-3), fx(140), 5);
  for (int x = 0; x < kW; ++x) {
    EXPECT_FALSE(drawn(x, 0)) << x;
    EXPECT_FALSE(drawn(x, kH - 1)) << x;
  }
  for (int y = 0; y < kH; ++y) EXPECT_FALSE(drawn(0, y)) << y;
  EXPECT_TRUE(drawn(50, 50));
  EXPECT_EQ(at(50, 50).colour, kWireColour);
  EXPECT_EQ(at(50, 50).depth, 1u);  // lines test depth but do not store it
  EXPECT_TRUE(guards_clean());
}

TEST_F(Raster, DrawTrianglesByMode) {
  slot_pos[0] = vec3{-20, -20, 0};
  slot_pos[1] = vec3{20, -20, 0};
  slot_pos[2] = vec3{0, 20, 0};
  for (int s = 0; s < 3; ++s) slot_uv[s] = texcoord{7, 9};
  tri_list[0] = tri{0, 1, 2, vec3{0, 0, -0.5f}};
  tri_count = 1;
  struct Case {
    int mode;
    uint32_t colour;  // at the centre; 0 = nothing drawn anywhere
  };
  const Case cases[] = {
      {kRenderEnv, texel(7, 9)}, {kRenderFlat, 0x007F0000}, {kRenderWire, 0}, {0, 0}, {5, 0}, {32, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    draw_triangles(c.mode);
    if (c.mode == kRenderWire) {
      EXPECT_GT(drawn_count(), 0);
      EXPECT_FALSE(drawn(75, 65));
    } else if (c.colour == 0) {
      EXPECT_EQ(drawn_count(), 0) << c.mode;
    } else {
      EXPECT_EQ(at(75, 65).colour, c.colour) << c.mode;
    }
  }
}

}  // namespace
