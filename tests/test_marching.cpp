// Tests of the marching-cubes tables and the surface steps.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

#include "render3d/balls.h"
#include "render3d/marching.h"
#include "render3d/mctable.h"

namespace {

int row_triangles(int index) {
  int n = 0;
  while (n * 3 < kTriRowLength && kTriTable[index][n * 3] >= 0) ++n;
  return n;
}

TEST(TriangleTable, KnownRowsAndTotal) {
  EXPECT_EQ(row_triangles(0), 0);
  EXPECT_EQ(row_triangles(255), 0);
  const int8_t row1[] = {0, 8, 3, -1};
  const int8_t row3[] = {1, 8, 3, 9, 8, 1, -1};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(kTriTable[1][k], row1[k]) << k;
  for (int k = 0; k < 7; ++k) EXPECT_EQ(kTriTable[3][k], row3[k]) << k;
  int total = 0;
  for (int i = 0; i < kCubeIndices; ++i) total += row_triangles(i);
  EXPECT_EQ(total, 820);
}

TEST(TriangleTable, EveryRowIsTriplesOfStraddlingEdgesThenMinusOne) {
  for (int index = 0; index < kCubeIndices; ++index) {
    const int n = row_triangles(index);
    for (int k = n * 3; k < kTriRowLength; ++k) EXPECT_EQ(kTriTable[index][k], -1) << "row " << index;
    for (int k = 0; k < n * 3; ++k) {
      const int e = kTriTable[index][k];
      ASSERT_LT(e, kCubeEdges);
      const int a = kEdgeCorners[e][0], b = kEdgeCorners[e][1];
      EXPECT_NE((index >> a) & 1, (index >> b) & 1) << "row " << index << " edge " << e;
    }
  }
}

// Each edge's slot must be the grid edge between its two corners' samples.
TEST(TriangleTable, EdgeStartsJoinTheirCorners) {
  for (int e = 0; e < kCubeEdges; ++e) {
    const corner_offset& a = kCornerOffset[kEdgeCorners[e][0]];
    const corner_offset& b = kCornerOffset[kEdgeCorners[e][1]];
    const int d[3] = {b.dx - a.dx, b.dy - a.dy, b.dz - a.dz};
    const edge_start& s = kEdgeStart[e];
    int axis = -1;
    for (int k = 0; k < 3; ++k) {
      if (d[k] != 0) {
        EXPECT_EQ(axis, -1) << "edge " << e << " is not along one axis";
        axis = k;
      }
    }
    ASSERT_EQ(axis, s.axis) << e;
    const corner_offset& low = d[axis] > 0 ? a : b;
    EXPECT_EQ(s.dx, low.dx) << e;
    EXPECT_EQ(s.dy, low.dy) << e;
    EXPECT_EQ(s.dz, low.dz) << e;
  }
}

void run_surface(float x, float y, float z) {
  balls.count = 0;
  balls.add(x, y, z, 0.0f, 0.0f, 0.0f);
  balls.update();
  field_eval();
  edge_vertices();
  polygonise();
  surface_attributes();
}

// The two samples at the ends of a slot's edge.
std::pair<int, int> slot_samples(int slot) {
  const int axis = slot % 3;
  const int corner = slot / 3;
  const int gx = corner / (kCornerSide * kCornerSide);
  const int gy = corner / kCornerSide % kCornerSide;
  const int gz = corner % kCornerSide;
  const int step[3] = {kGridSide * kGridSide, kGridSide, 1};
  const int at = sample_index(gx, gy, gz);
  return {at, at + step[axis]};
}

// How many triangles share each side (a pair of slots).
std::map<std::pair<int, int>, int> side_uses() {
  std::map<std::pair<int, int>, int> uses;
  for (uint32_t t = 0; t < tri_count; ++t) {
    const int v[3] = {tri_list[t].ia, tri_list[t].ib, tri_list[t].ic};
    for (int k = 0; k < 3; ++k) {
      const int a = v[k], b = v[(k + 1) % 3];
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  }
  return uses;
}

TEST(Surface, NoBallsNoTriangles) {
  balls.count = 0;
  field_eval();
  edge_vertices();
  polygonise();
  surface_attributes();
  for (int i = 0; i < kGridSamples; ++i) ASSERT_EQ(grid_inside[i], 0) << i;
  EXPECT_EQ(tri_count, 0u);
  EXPECT_EQ(crossed_count, 0u);
}

TEST(Surface, SingleBallAtOriginIsAClosedOutwardSphere) {
  run_surface(0, 0, 0);
  // The sample at the centre has an infinite field and counts as inside.
  EXPECT_TRUE(std::isinf(grid_field[sample_index(7, 7, 7)]));
  EXPECT_EQ(grid_inside[sample_index(7, 7, 7)], 1);
  ASSERT_GT(tri_count, 50u);

  for (const auto& [side, count] : side_uses()) {
    EXPECT_EQ(count, 2) << "side " << side.first << "-" << side.second;
  }
  for (uint32_t t = 0; t < tri_count; ++t) {
    const tri& f = tri_list[t];
    vec3 centre{};
    for (int s : {f.ia, f.ib, f.ic}) {
      const auto [a, b] = slot_samples(s);
      EXPECT_NE(grid_inside[a], grid_inside[b]) << "slot " << s << " does not straddle";
      const vec3& p = slot_pos[s];
      const double r = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
      // The sphere has radius sqrt(1 / T) = 10.44; interpolating the 1 / r^2
      // field linearly along an edge puts vertices from 10.1 to 12.2 out.
      EXPECT_GE(r, 10.0) << "slot " << s;
      EXPECT_LE(r, 12.2) << "slot " << s;
      // The vertex lies on its own grid edge: two coordinates on the grid.
      const int on_grid = (std::fmod(p.x, 7.0f) == 0) + (std::fmod(p.y, 7.0f) == 0) + (std::fmod(p.z, 7.0f) == 0);
      EXPECT_GE(on_grid, 2) << "slot " << s;
      centre.x += p.x / 3;
      centre.y += p.y / 3;
      centre.z += p.z / 3;
    }
    const double outward = double(f.normal.x) * centre.x + double(f.normal.y) * centre.y + double(f.normal.z) * centre.z;
    EXPECT_GT(outward, 0.0) << "triangle " << t;
    const double length = std::sqrt(double(f.normal.x) * f.normal.x + double(f.normal.y) * f.normal.y +
                                    double(f.normal.z) * f.normal.z);
    EXPECT_NEAR(length, 1.0, 1e-6);
  }
}

TEST(Surface, BallNearTheGridEndLeavesTheSurfaceOpen) {
  run_surface(38, 0, 0);
  ASSERT_GT(tri_count, 0u);
  int open_sides = 0;
  for (const auto& [side, count] : side_uses()) {
    EXPECT_LE(count, 2);
    if (count == 1) ++open_sides;
  }
  EXPECT_GT(open_sides, 0);
}

TEST(Surface, TriangleListStopsAtItsCapacity) {
  // A checkerboard of inside samples makes every cube's corners alternate:
  // four triangles per cube, 6912 in all.
  for (int gx = 0; gx < kGridSide; ++gx)
    for (int gy = 0; gy < kGridSide; ++gy)
      for (int gz = 0; gz < kGridSide; ++gz) grid_inside[sample_index(gx, gy, gz)] = (gx + gy + gz) & 1;
  polygonise();
  EXPECT_EQ(tri_count, kMaxTriangles);
  tri_count = 0;
}

TEST(Surface, SlotsOffTheSurfaceReturnToTheOrigin) {
  run_surface(3, -2, 5);
  ASSERT_GT(crossed_count, 0u);
  const int32_t used = crossed_slot[0];
  balls.count = 0;
  field_eval();
  edge_vertices();
  surface_attributes();
  EXPECT_EQ(slot_pos[used].x, 0.0f);
  EXPECT_EQ(slot_pos[used].y, 0.0f);
  EXPECT_EQ(slot_pos[used].z, 0.0f);
  for (int s = 0; s < kSlotCount; ++s) {
    ASSERT_EQ(slot_uv[s].u, 128) << s;
    ASSERT_EQ(slot_uv[s].v, 128) << s;
  }
}

TEST(Surface, TexelCoordinatesOfDirections) {
  struct Case {
    vec3 n;
    int32_t u, v;
  };
  // 0.3f and 1.7f are float constants; results truncate toward zero.
  const Case cases[] = {
      {{0, 0, 1}, 0, 89},      // (1 - 0.3f) * 128 = 89.59...
      {{0, 1, 0}, 128, -89},   // (1 - 1.7f) * 128 = -89.6..., toward zero
      {{1, 0, 0}, 0, 128},
      {{-1, 0, 0}, 256, 128},
      {{0, 0, 0}, 128, 128},
      {{0, -1, 0}, 128, 345},  // (1 + 1.7f) * 128 = 345.6...
      // Where the float constants matter: 0.3 or 1.7 as doubles give 104 and 60.
      {{0, 0, 0.625f}, 48, 103},
      {{0, 0.3125f, 0}, 128, 59},
  };
  for (const Case& c : cases) {
    const texcoord t = envmap_coords(c.n);
    EXPECT_EQ(t.u, c.u) << c.n.x << "," << c.n.y << "," << c.n.z;
    EXPECT_EQ(t.v, c.v) << c.n.x << "," << c.n.y << "," << c.n.z;
  }
}

}  // namespace
