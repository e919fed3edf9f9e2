// Tests of the scene: ball placement, the camera index sequence, the render
// window, and frames compared pixel by pixel and depth by depth with an
// independent, straightforward implementation of the per-frame pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "render3d/balls.h"
#include "render3d/marching.h"
#include "render3d/mctable.h"
#include "render3d/raster.h"
#include "render3d/scene.h"

namespace {

constexpr int kW = kWindow3dWidth;
constexpr int kH = kWindow3dHeight;
constexpr int kPixels = kW * kH;

// ---------------------------------------------------------------------------
// Reference: plain loops straight from the formulas, no precomputation, no
// skipped rows, every slot kept, attributed and turned.
namespace ref {

struct V {
  float x, y, z;
};
struct Ball {
  V base, cur;
  float angle[3], speed[3];
};
struct Tri {
  int a, b, c;
  V n;
};
struct Vtx {
  int32_t depth, x, y, u, v;
};
struct Px {
  uint32_t depth, colour;
};

int32_t wrap(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}
int32_t to_int(double d) {  // toward zero; out of range gives INT32_MIN
  if (std::isnan(d) || d >= 2147483648.0 || d <= -2147483649.0) return INT32_MIN;
  return static_cast<int32_t>(d);
}
int32_t div32(int32_t a, int32_t b) {
  return b == 0 ? 0 : wrap(int64_t{a} / b);
}
int32_t r16(int32_t v) {
  const int32_t whole = static_cast<int32_t>(std::floor(v / 65536.0));
  const int32_t frac = v - whole * 65536;
  return frac > 0x8000 ? whole + 1 : whole;
}

V sub(V a, V b) {
  return {float(double(a.x) - b.x), float(double(a.y) - b.y), float(double(a.z) - b.z)};
}
V crossp(V a, V b) {
  return {float(double(a.y) * b.z - double(a.z) * b.y), float(double(a.z) * b.x - double(a.x) * b.z),
          float(double(a.x) * b.y - double(a.y) * b.x)};
}
V unit(V a) {
  const double l = std::sqrt(double(a.x) * a.x + double(a.y) * a.y + double(a.z) * a.z);
  if (l == 0) return {0, 0, 0};
  const double k = 1 / l;
  return {float(a.x * k), float(a.y * k), float(a.z * k)};
}

struct Raster {
  std::vector<Px> px;
  const uint32_t* tex = nullptr;
  uint32_t flat = 0;
  int width = kW, last = kH - 1, cx = kW / 2, cy = kH / 2;

  bool pass(int x, int y, int32_t z) const { return px[y * width + x].depth < static_cast<uint32_t>(z); }

  void span_tex(int y, int xl, int32_t ul, int32_t vl, int32_t zl, int xr, int32_t ur, int32_t vr, int32_t zr,
                int32_t du, int32_t dv, int32_t dz) {
    if (y < 0 || y > last) return;
    if (xl > xr) {
      std::swap(xl, xr);
      std::swap(ul, ur);
      std::swap(vl, vr);
      std::swap(zl, zr);
    }
    if (xl > width || xr < 0 || xl == xr) return;
    if (xl < 0) {
      ul = wrap(ul + int64_t{-xl} * du);
      vl = wrap(vl + int64_t{-xl} * dv);
      zl = wrap(zl + int64_t{-xl} * dz);
      xl = 0;
    }
    if (xr > width) xr = width;
    for (int x = xl; x < xr; ++x) {
      if (pass(x, y, zl)) {
        const uint32_t tu = (static_cast<uint32_t>(ul) >> 16) & 255, tv = (static_cast<uint32_t>(vl) >> 16) & 255;
        px[y * width + x] = {static_cast<uint32_t>(zl), tex[tv * 256 + tu]};
      }
      ul = wrap(int64_t{ul} + du);
      vl = wrap(int64_t{vl} + dv);
      zl = wrap(int64_t{zl} + dz);
    }
  }

  void span_flat(int y, int xl, int32_t zl, int xr, int32_t zr) {
    if (y < 0 || y > last) return;
    if (xl > xr) {
      std::swap(xl, xr);
      std::swap(zl, zr);
    }
    if (xl > width || xr < 0 || xl == xr) return;
    const int32_t dz = div32(wrap(int64_t{zr} - zl), xr - xl);
    if (xl < 0) {
      zl = wrap(zl + int64_t{-xl} * dz);
      xl = 0;
    }
    if (xr > width) xr = width;
    for (int x = xl; x < xr; ++x) {
      if (pass(x, y, zl)) px[y * width + x] = {static_cast<uint32_t>(zl), flat};
      zl = wrap(int64_t{zl} + dz);
    }
  }

  // Textured (with u, v) or flat triangle.
  void triangle(Vtx p0, Vtx q0, Vtx r0, bool textured) {
    const Vtx* P = &p0;
    const Vtx* Q = &q0;
    const Vtx* R = &r0;
    if (P->y > R->y) std::swap(P, R);
    if (Q->y > R->y) std::swap(Q, R);
    if (P->y > Q->y) std::swap(P, Q);
    if (P->y == R->y || R->y < 0) return;
    const int32_t yP = r16(P->y), yQ = r16(Q->y), yR = r16(R->y);
    const int32_t hPQ = r16(wrap(int64_t{Q->y} - P->y));
    const int32_t hPR = r16(wrap(int64_t{R->y} - P->y));
    const int32_t hQR = r16(wrap(int64_t{R->y} - Q->y));
    int32_t du = 0, dv = 0, dz = 0;
    if (textured) {
      const int32_t D = wrap(int64_t{r16(wrap(int64_t{R->x} - P->x))} * hPQ -
                             int64_t{r16(wrap(int64_t{Q->x} - P->x))} * hPR);
      if (D != 0) {
        const double k = 1.0 / D;
        du = to_int((k * 65536) * ((double(R->u) - Q->u) * hPR - (double(R->u) - P->u) * hQR));
        dv = to_int((k * 65536) * ((double(R->v) - Q->v) * hPR - (double(R->v) - P->v) * hQR));
        dz = to_int(k * ((double(R->depth) - Q->depth) * hPR - (double(R->depth) - P->depth) * hQR));
      }
    }
    struct Edge {
      int32_t x, u, v, z;
    };
    auto start = [](const Vtx* a) { return Edge{a->x, wrap(int64_t{a->u} * 65536), wrap(int64_t{a->v} * 65536), a->depth}; };
    auto step = [](const Vtx* a, const Vtx* b, int32_t h) {
      return Edge{div32(wrap(int64_t{b->x} - a->x), h), div32(wrap(int64_t{wrap(int64_t{b->u} - a->u)} * 65536), h),
                  div32(wrap(int64_t{wrap(int64_t{b->v} - a->v)} * 65536), h), div32(wrap(int64_t{b->depth} - a->depth), h)};
    };
    auto add = [](Edge& e, const Edge& s) {
      e.x = wrap(int64_t{e.x} + s.x);
      e.u = wrap(int64_t{e.u} + s.u);
      e.v = wrap(int64_t{e.v} + s.v);
      e.z = wrap(int64_t{e.z} + s.z);
    };
    const Edge sPQ = step(P, Q, hPQ), sPR = step(P, R, hPR), sQR = step(Q, R, hQR);
    Edge lng = start(P), sht = start(P);
    auto row = [&](int y) {
      if (textured)
        span_tex(y, r16(sht.x), sht.u, sht.v, sht.z, r16(lng.x), lng.u, lng.v, lng.z, du, dv, dz);
      else
        span_flat(y, r16(sht.x), sht.z, r16(lng.x), lng.z);
    };
    for (int y = yP; y < yQ; ++y) {
      row(y);
      add(sht, sPQ);
      add(lng, sPR);
    }
    sht = start(Q);
    for (int y = yQ; y < yR; ++y) {
      row(y);
      add(sht, sQR);
      add(lng, sPR);
    }
  }

  Vtx project(V p, int32_t u, int32_t v) const {
    return {to_int((1 / std::fabs(p.z + 1500.0)) * -2147483648.0), to_int((256.0 * p.x / (p.z - 150.0) + cx) * 65536),
            to_int((256.0 * p.y / (p.z - 150.0) + cy) * 65536), u, v};
  }
};

struct Scene {
  std::vector<Ball> balls;
  std::vector<float> field = std::vector<float>(2744);
  std::vector<uint8_t> inside = std::vector<uint8_t>(2744);
  std::vector<V> slot = std::vector<V>(6591, V{0, 0, 0});
  std::vector<int32_t> su = std::vector<int32_t>(6591), sv = std::vector<int32_t>(6591);
  std::vector<Tri> tris;
  unsigned camera = 0;

  static int at(int x, int y, int z) { return x * 196 + y * 14 + z; }
  static int slot_of(int x, int y, int z, int axis) { return 3 * ((x * 13 + y) * 13 + z) + axis; }

  void move() {
    for (Ball& b : balls) {
      double c[3], s[3];
      for (int i = 0; i < 3; ++i) {
        c[i] = std::cos(b.angle[i] * (M_PI / 180));
        s[i] = std::sin(b.angle[i] * (M_PI / 180));
      }
      const double y1 = c[0] * b.base.y + s[0] * b.base.z, z1 = c[0] * b.base.z - s[0] * b.base.y;
      const double x2 = c[1] * b.base.x - s[1] * z1, z2 = c[1] * z1 + s[1] * b.base.x;
      b.cur = {float(c[2] * x2 + s[2] * y1), float(c[2] * y1 - s[2] * x2), float(z2)};
      for (int i = 0; i < 3; ++i) {
        b.angle[i] = float(double(b.angle[i]) + b.speed[i]);
        if (b.angle[i] > 360.0) b.angle[i] = 1.1f;
      }
    }
  }

  void sample() {
    for (int gx = 0; gx < 14; ++gx)
      for (int gy = 0; gy < 14; ++gy)
        for (int gz = 0; gz < 14; ++gz) {
          const double X = (gx - 7) * 7, Y = (gy - 7) * 7, Z = (gz - 7) * 7;
          double f = 0;
          for (const Ball& b : balls) {
            const float dxx = float((X - b.cur.x) * (X - b.cur.x));
            const float dyy = float((Y - b.cur.y) * (Y - b.cur.y));
            f += 1 / ((Z - b.cur.z) * (Z - b.cur.z) + dyy + dxx);
          }
          field[at(gx, gy, gz)] = float(f);
          inside[at(gx, gy, gz)] = f > 0.00918;
        }
  }

  void vertices() {
    for (int gx = 0; gx < 13; ++gx)
      for (int gy = 0; gy < 13; ++gy)
        for (int gz = 0; gz < 13; ++gz) {
          const int c = at(gx, gy, gz);
          const int n[3] = {at(gx + 1, gy, gz), at(gx, gy + 1, gz), at(gx, gy, gz + 1)};
          for (int k = 0; k < 3; ++k) {
            if (inside[c] == inside[n[k]]) continue;
            float p[3] = {float((gx - 7) * 7), float((gy - 7) * 7), float((gz - 7) * 7)};
            p[k] = float(p[k] + 7 * (0.00918 - field[c]) / (double(field[n[k]]) - field[c]));
            slot[slot_of(gx, gy, gz, k)] = {p[0], p[1], p[2]};
          }
        }
  }

  void cubes() {
    tris.clear();
    static const int corner[8][3] = {{1, 0, 1}, {0, 0, 1}, {0, 0, 0}, {1, 0, 0},
                                     {1, 1, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}};
    static const int edge[12][4] = {{0, 0, 1, 0}, {0, 0, 0, 2}, {0, 0, 0, 0}, {1, 0, 0, 2},
                                    {0, 1, 1, 0}, {0, 1, 0, 2}, {0, 1, 0, 0}, {1, 1, 0, 2},
                                    {1, 0, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {1, 0, 0, 1}};
    for (int a = 0; a < 12; ++a)
      for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 12; ++j) {
          int index = 0;
          for (int c = 0; c < 8; ++c)
            if (inside[at(a + corner[c][0], i + corner[c][1], j + corner[c][2])]) index += 1 << c;
          auto slot_for = [&](int e) {
            return slot_of(a + edge[e][0], i + edge[e][1], j + edge[e][2], edge[e][3]);
          };
          for (int t = 0; t < 15 && kTriTable[index][t] != -1; t += 3)
            tris.push_back({slot_for(kTriTable[index][t]), slot_for(kTriTable[index][t + 1]),
                            slot_for(kTriTable[index][t + 2]), {0, 0, 0}});
        }
  }

  void attributes() {
    for (int s = 0; s < 6591; ++s) {
      const V n = unit(slot[s]);
      su[s] = int32_t((1 - (double(n.z) + n.x)) * 128.0f);
      sv[s] = int32_t((1 - (double(0.3f) * n.z + double(1.7f) * n.y)) * 128.0f);
    }
    for (Tri& t : tris) t.n = unit(crossp(sub(slot[t.a], slot[t.b]), sub(slot[t.b], slot[t.c])));
  }

  void turn(const mat34& m) {
    for (V& p : slot) {
      float out[3];
      for (int r = 0; r < 3; ++r)
        out[r] = float((double(m.m[r][2]) * p.z + double(m.m[r][1]) * p.y) + double(m.m[r][0]) * p.x + m.m[r][3]);
      p = {out[0], out[1], out[2]};
    }
  }

  void frame(Raster& r, int mode, const std::array<mat34, kCamRecords>& path) {
    move();
    sample();
    vertices();
    cubes();
    attributes();
    turn(path[camera]);
    for (const Tri& t : tris) {
      const Vtx P = r.project(slot[t.a], su[t.a], sv[t.a]);
      const Vtx Q = r.project(slot[t.b], su[t.b], sv[t.b]);
      const Vtx R = r.project(slot[t.c], su[t.c], sv[t.c]);
      if (mode == 16) r.triangle(P, Q, R, true);
      if (mode == 8) {
        r.flat = (uint32_t(to_int(std::fabs(double(t.n.z)) * 255)) & 255) << 16;
        r.triangle(P, Q, R, false);
      }
    }
    camera += 2;
    if (camera > 599) camera = 1;
  }
};

}  // namespace ref

// ---------------------------------------------------------------------------

// Speeds are whole hundredths times the float constant 0.01f, rounded to
// float: 134 * 0.01f is 1.3399999..., not the float nearest 1.34.
struct PlacedBall {
  float x, y, z, w0, w1, w2;
};
const PlacedBall kThreeBalls[] = {
    {-16, -11, 0, 134 * 0.01f, 367 * 0.01f, 141 * 0.01f},
    {5, 5, 4, 112 * 0.01f, 408 * 0.01f, 378 * 0.01f},
    {2, 15, -9, 261 * 0.01f, 127 * 0.01f, 281 * 0.01f},
};

// The program's render window and blocks, made as the loading sequence makes them.
class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<window3d>(kW, kH);
    render_window = window.get();
    background.resize(kPixels);
    for (int i = 0; i < kPixels; ++i) background[i] = 0x00102030u + static_cast<uint32_t>(i) * 7u;
    output.assign(kWindow3dPxBytes / 4, 0xDEADBEEF);
    texture.resize(kTextureSide * kTextureSide);
    for (uint32_t i = 0; i < texture.size(); ++i) texture[i] = (i * 2654435761u) & 0x00FFFFFF;
    window3d_bg = background.data();
    window3d_px = output.data();
    envmap = texture.data();
    balls.count = 0;
    camera_index = 0;
    campath.fill(mat34_identity());
  }
  void TearDown() override {
    render_window = nullptr;
    window3d_bg = window3d_px = envmap = nullptr;
  }

  std::unique_ptr<window3d> window;
  std::vector<uint32_t> background, output, texture;
};

TEST(ScenePlacement, ThreeBallsFromTheGenerator) {
  balls.count = 0;
  scene_place_balls();
  ASSERT_EQ(balls.count, 3u);
  for (int n = 0; n < 3; ++n) {
    const cball& b = balls.ball[n];
    const PlacedBall& e = kThreeBalls[n];
    EXPECT_EQ(b.base.x, e.x) << n;
    EXPECT_EQ(b.base.y, e.y) << n;
    EXPECT_EQ(b.base.z, e.z) << n;
    EXPECT_EQ(b.speed[0], e.w0) << n;
    EXPECT_EQ(b.speed[1], e.w1) << n;
    EXPECT_EQ(b.speed[2], e.w2) << n;
    for (float a : b.angle) EXPECT_EQ(a, 1.1f);
  }
}

TEST_F(Scene, WindowSetsTheRasterState) {
  EXPECT_EQ(window->pixel_count, 19500u);
  EXPECT_EQ(raster.width, 150);
  EXPECT_EQ(raster.last_row, 129);
  EXPECT_EQ(raster.centre_x, 75);
  EXPECT_EQ(raster.centre_y, 65);
  window->buffer[7] = zpixel{99, 1};
  window->clear_to(background.data());
  EXPECT_EQ(window->buffer[7].depth, 0u);
  EXPECT_EQ(window->buffer[7].colour, background[7]);
  window->buffer[kPixels - 1].colour = 5;
  window->resolve_to(output.data());
  EXPECT_EQ(output[kPixels - 1], 5u);
  EXPECT_EQ(output[kPixels], 0xDEADBEEFu);  // only the window's pixels are written
}

TEST_F(Scene, FrameWithoutTrianglesShowsTheBackground) {
  refresh_window3d();
  EXPECT_TRUE(std::equal(background.begin(), background.end(), output.begin()));
}

// Record n carries the translation (n, 0, 0); with no balls every slot is at
// the origin, so after a frame slot 0 holds the translation of the record used.
TEST_F(Scene, CameraRecordSequence) {
  for (uint32_t n = 0; n < kCamRecords; ++n) campath[n].m[0][3] = static_cast<float>(n);
  std::vector<float> used;
  for (int frame = 1; frame <= 601; ++frame) {
    refresh_window3d();
    used.push_back(slot_pos[0].x);
  }
  EXPECT_EQ(used[1 - 1], 0.0f);
  EXPECT_EQ(used[2 - 1], 2.0f);
  EXPECT_EQ(used[300 - 1], 598.0f);
  EXPECT_EQ(used[301 - 1], 1.0f);
  EXPECT_EQ(used[600 - 1], 599.0f);
  EXPECT_EQ(used[601 - 1], 1.0f);
}

// A camera path of rotations about a tilted axis, with a small translation on
// every 37th record.
void synthetic_path() {
  const double ax = 1 / std::sqrt(14.0), ay = 2 / std::sqrt(14.0), az = 3 / std::sqrt(14.0);
  for (uint32_t n = 0; n < kCamRecords; ++n) {
    const double t = n * 1.7 * M_PI / 180, c = std::cos(t), s = std::sin(t), k = 1 - c;
    const double r[3][3] = {{c + ax * ax * k, ax * ay * k - az * s, ax * az * k + ay * s},
                            {ay * ax * k + az * s, c + ay * ay * k, ay * az * k - ax * s},
                            {az * ax * k - ay * s, az * ay * k + ax * s, c + az * az * k}};
    mat34& m = campath[n];
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) m.m[i][j] = static_cast<float>(r[i][j]);
      m.m[i][3] = n % 37 == 5 ? static_cast<float>(i * 3 - 2) : 0.0f;
    }
  }
}

ref::Scene reference_scene() {
  ref::Scene s;
  for (const PlacedBall& b : kThreeBalls)
    s.balls.push_back({{b.x, b.y, b.z}, {b.x, b.y, b.z}, {1.1f, 1.1f, 1.1f}, {b.w0, b.w1, b.w2}});
  return s;
}

bool same_bits(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The surface of the last frame, bit for bit: the field, the triangle list
// with its normals, and every slot a triangle uses (turned position, texel
// coordinates). Slots no triangle uses may hold anything.
void expect_same_surface(const ref::Scene& scene) {
  for (int i = 0; i < kGridSamples; ++i) {
    ASSERT_TRUE(same_bits(grid_field[i], scene.field[i])) << "sample " << i;
    ASSERT_EQ(grid_inside[i], scene.inside[i]) << "sample " << i;
  }
  for (size_t t = 0; t < scene.tris.size(); ++t) {
    const tri& mine = tri_list[t];
    const ref::Tri& theirs = scene.tris[t];
    ASSERT_EQ(mine.ia, theirs.a) << "triangle " << t;
    ASSERT_EQ(mine.ib, theirs.b) << "triangle " << t;
    ASSERT_EQ(mine.ic, theirs.c) << "triangle " << t;
    ASSERT_TRUE(same_bits(mine.normal.x, theirs.n.x) && same_bits(mine.normal.y, theirs.n.y) &&
                same_bits(mine.normal.z, theirs.n.z))
        << "triangle " << t;
    for (int s : {theirs.a, theirs.b, theirs.c}) {
      ASSERT_TRUE(same_bits(slot_pos[s].x, scene.slot[s].x) && same_bits(slot_pos[s].y, scene.slot[s].y) &&
                  same_bits(slot_pos[s].z, scene.slot[s].z))
          << "slot " << s;
      ASSERT_EQ(slot_uv[s].u, scene.su[s]) << "slot " << s;
      ASSERT_EQ(slot_uv[s].v, scene.sv[s]) << "slot " << s;
    }
  }
}

TEST_F(Scene, FramesMatchTheReferenceBitForBit) {
  synthetic_path();
  for (const PlacedBall& b : kThreeBalls) balls.add(b.x, b.y, b.z, b.w0, b.w1, b.w2);
  ref::Scene scene = reference_scene();
  ref::Raster r;
  r.tex = texture.data();
  int frames_with_pixels = 0;
  for (int frame = 1; frame <= 320; ++frame) {
    r.px.assign(kPixels, ref::Px{0, 0});
    for (int i = 0; i < kPixels; ++i) r.px[i].colour = background[i];
    scene.frame(r, kRenderEnv, campath);
    refresh_window3d();
    int differences = 0;
    for (int i = 0; i < kPixels; ++i) {
      differences += window->buffer[i].depth != r.px[i].depth || window->buffer[i].colour != r.px[i].colour ||
                     output[i] != r.px[i].colour;
    }
    ASSERT_EQ(differences, 0) << "frame " << frame;
    ASSERT_NO_FATAL_FAILURE(expect_same_surface(scene)) << "frame " << frame;
    frames_with_pixels += !std::equal(background.begin(), background.end(), output.begin());
  }
  EXPECT_EQ(frames_with_pixels, 320);
}

TEST_F(Scene, FlatFramesMatchTheReference) {
  synthetic_path();
  for (const PlacedBall& b : kThreeBalls) balls.add(b.x, b.y, b.z, b.w0, b.w1, b.w2);
  ref::Scene scene = reference_scene();
  ref::Raster r;
  raster.target = window->buffer;
  const std::vector<uint32_t> black(kPixels, 0);
  for (int frame = 1; frame <= 60; ++frame) {
    r.px.assign(kPixels, ref::Px{0, 0});
    window->clear_to(black.data());
    scene.frame(r, kRenderFlat, campath);
    balls.render(kRenderFlat);
    for (int i = 0; i < kPixels; ++i) {
      ASSERT_EQ(window->buffer[i].depth, r.px[i].depth) << "frame " << frame << " pixel " << i;
      ASSERT_EQ(window->buffer[i].colour, r.px[i].colour) << "frame " << frame << " pixel " << i;
    }
  }
}

// Triangles far outside the window and with wrapping coordinates: the
// rasteriser's shortcuts (rows above the window stepped over at once, rows
// below it not walked) must leave the same pixels as walking every row.
TEST_F(Scene, WildTrianglesMatchTheReference) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> wide(-2000 * 65536, 2000 * 65536);
  std::uniform_int_distribution<int32_t> depth(-3000000, -1000000);
  ref::Raster r;
  r.tex = texture.data();
  r.px.assign(kPixels, ref::Px{0, 0});
  raster.target = window->buffer;
  raster.texture = texture.data();
  window->clear_to(std::vector<uint32_t>(kPixels, 0).data());
  for (int n = 0; n < 300; ++n) {
    const bool wild = n % 10 == 0;
    scrvertex v[3];
    ref::Vtx w[3];
    for (int k = 0; k < 3; ++k) {
      v[k] = scrvertex{wild ? any(rng) : depth(rng), wild ? any(rng) : wide(rng), wild ? any(rng) : wide(rng),
                       any(rng) % 4096, any(rng) % 4096};
      w[k] = ref::Vtx{v[k].depth, v[k].x, v[k].y, v[k].u, v[k].v};
    }
    tri_tex(v[0], v[1], v[2]);
    r.triangle(w[0], w[1], w[2], true);
    raster.flat_colour = r.flat = static_cast<uint32_t>(n) << 8;
    tri_flat(v[0], v[1], v[2]);
    r.triangle(w[0], w[1], w[2], false);
  }
  for (int i = 0; i < kPixels; ++i) {
    ASSERT_EQ(window->buffer[i].depth, r.px[i].depth) << "pixel " << i;
    ASSERT_EQ(window->buffer[i].colour, r.px[i].colour) << "pixel " << i;
  }
}

}  // namespace
