// marching: the blob's surface, rebuilt every frame from the ball set.
//
// The field of the balls is sampled on a 14 x 14 x 14 grid: sample (gx, gy, gz)
// lies at ((gx - 7) * 7, (gy - 7) * 7, (gz - 7) * 7) and has the linear index
// gx * 196 + gy * 14 + gz. The surface is where the field equals
// kIsoThreshold; a sample is inside when its field is strictly greater.
//
// One vertex slot exists for every grid edge that starts at a sample with all
// indices in 0..12 and runs one step along axis k (0 = x, 1 = y, 2 = z): slot
// 3 * ((gx * 13 + gy) * 13 + gz) + k. Each slot has a position and a pair of
// environment-map texel coordinates. edge_vertices places a vertex on every
// edge that crosses the surface and lists those slots in crossed_slot; every
// other slot goes back to the origin, whose texel coordinates are (128, 128).
// So after surface_attributes every slot holds the coordinates of its
// grid-space position, and the later steps need visit only the listed slots.
//
// The triangle list holds at most kMaxTriangles triangles; polygonise drops
// any beyond that (and logs it once). All storage is static and fixed-size.
#pragma once

#include <array>
#include <cstdint>

#include "render3d/balls.h"
#include "render3d/geometry.h"

constexpr int kGridSide = 14;
constexpr int kGridSamples = kGridSide * kGridSide * kGridSide;  // 2744
constexpr int kGridSpacing = 7;
constexpr int kGridOriginIndex = 7;  // the sample index at coordinate 0
constexpr int kCornerSide = 13;      // samples that start an edge, per axis
constexpr int kSlotCount = kCornerSide * kCornerSide * kCornerSide * 3;  // 6591
constexpr int kCubeSide = 12;
constexpr uint32_t kMaxTriangles = 4000;
constexpr double kIsoThreshold = 0.00918;
// The texel coordinate scale: u and v are (1 - direction term) * 128.
constexpr float kTexelScale = 128.0f;
constexpr float kTexelWeightZ = 0.3f;
constexpr float kTexelWeightY = 1.7f;

constexpr int sample_index(int gx, int gy, int gz) {
  return (gx * kGridSide + gy) * kGridSide + gz;
}
constexpr int slot_index(int gx, int gy, int gz, int axis) {
  return 3 * ((gx * kCornerSide + gy) * kCornerSide + gz) + axis;
}
// The grid-space coordinate of sample index g along any axis.
constexpr int sample_coord(int g) {
  return (g - kGridOriginIndex) * kGridSpacing;
}

struct texcoord {
  int32_t u;
  int32_t v;
};

struct tri {
  int32_t ia, ib, ic;  // vertex slots
  vec3 normal;         // unit face normal in grid space, pointing out of the blob
};

extern std::array<float, kGridSamples> grid_field;
extern std::array<uint8_t, kGridSamples> grid_inside;  // 1 = inside, 0 = outside

extern std::array<vec3, kSlotCount> slot_pos;
extern std::array<texcoord, kSlotCount> slot_uv;
// The slots whose edge crosses the surface this frame, in slot order.
extern std::array<int32_t, kSlotCount> crossed_slot;
extern uint32_t crossed_count;

extern std::array<tri, kMaxTriangles> tri_list;
extern uint32_t tri_count;

// The four surface steps, run in this order once per frame after the balls move.
void field_eval(const cballs& set = balls);
void edge_vertices();
void polygonise();
void surface_attributes();

// Replaces every slot position p by m transform p. A translation moves the
// slots off the surface too; the next edge_vertices puts them back.
void camera_turn(const mat34& m);

// The texel coordinates of a unit direction n.
texcoord envmap_coords(const vec3& n);
