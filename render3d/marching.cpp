// marching: see marching.h.
#include "render3d/marching.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>

#include "render3d/mctable.h"
#include "resources/log.h"

namespace {

// The texel coordinates of the origin (a zero direction): (1 - 0) * 128.
constexpr texcoord kOriginTexel = {128, 128};

constexpr std::array<texcoord, kSlotCount> origin_texels() {
  std::array<texcoord, kSlotCount> uv{};
  for (texcoord& t : uv) t = kOriginTexel;
  return uv;
}

// Set when a camera turn with a translation moved every slot off the origin.
bool all_slots_moved = false;

uint64_t load8(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// True when the inside flags of the grid lines (gz = 0..13) starting at the
// given samples all equal the first flag: no edge among or between them
// crosses the surface. Most lines of the grid lie wholly outside the blob.
bool lines_alike(std::initializer_list<int> starts) {
  const uint64_t same = grid_inside[*starts.begin()] * 0x0101010101010101ull;
  for (int at : starts) {
    if (load8(&grid_inside[at]) != same || load8(&grid_inside[at + kGridSide - 8]) != same) return false;
  }
  return true;
}

// Linear-index distance to the next sample along x, y and z.
constexpr int kSampleStride[3] = {kGridSide * kGridSide, kGridSide, 1};

// For each cube corner, the distance of its sample from the cube's lower
// corner; for each cube edge, the distance of its slot from slot 0 of the
// cube's lower corner.
struct cube_offsets {
  int corner[kCubeCorners];
  int edge[kCubeEdges];
};

constexpr cube_offsets make_cube_offsets() {
  cube_offsets o{};
  for (int c = 0; c < kCubeCorners; ++c) {
    const corner_offset& k = kCornerOffset[c];
    o.corner[c] = sample_index(k.dx, k.dy, k.dz);
  }
  for (int e = 0; e < kCubeEdges; ++e) {
    const edge_start& s = kEdgeStart[e];
    o.edge[e] = slot_index(s.dx, s.dy, s.dz, s.axis);
  }
  return o;
}
constexpr cube_offsets kCubeOffsets = make_cube_offsets();

// Two doubles computed side by side (packed SSE2 on x86-64); each lane is
// the same IEEE operation as the scalar one, so the results are the same bits.
typedef double double2 __attribute__((vector_size(16)));
constexpr int kLinePairs = kGridSide / 2;
static_assert(kGridSide % 2 == 0, "a grid line splits into pairs of samples");

}  // namespace

std::array<float, kGridSamples> grid_field;
std::array<uint8_t, kGridSamples> grid_inside;

std::array<vec3, kSlotCount> slot_pos;
std::array<texcoord, kSlotCount> slot_uv = origin_texels();
std::array<int32_t, kSlotCount> crossed_slot;
uint32_t crossed_count = 0;

std::array<tri, kMaxTriangles> tri_list;
uint32_t tri_count = 0;

void field_eval(const cballs& set) {
  // The field is separable: (X - cx)^2 and (Y - cy)^2 are rounded to float by
  // the formula, so they are taken once per ball and grid line; (Z - cz)^2
  // stays double. Each sample still sums its balls in list order as
  // ((Z - cz)^2 + dyy) + dxx.
  const uint32_t n = std::min(set.count, kMaxBalls);
  float dxx[kMaxBalls][kGridSide];
  float dyy[kMaxBalls][kGridSide];
  double2 dzz[kMaxBalls][kLinePairs];
  for (uint32_t k = 0; k < n; ++k) {
    const vec3& c = set.ball[k].current;
    for (int g = 0; g < kGridSide; ++g) {
      const double at = sample_coord(g);
      const double dx = at - c.x, dy = at - c.y, dz = at - c.z;
      dxx[k][g] = static_cast<float>(dx * dx);
      dyy[k][g] = static_cast<float>(dy * dy);
      dzz[k][g / 2][g % 2] = dz * dz;
    }
  }
  const double2 one = {1.0, 1.0};
  for (int gx = 0; gx < kGridSide; ++gx) {
    for (int gy = 0; gy < kGridSide; ++gy) {
      double2 f[kLinePairs] = {};
      for (uint32_t k = 0; k < n; ++k) {
        const double yy = dyy[k][gy];
        const double xx = dxx[k][gx];
        const double2 y2 = {yy, yy}, x2 = {xx, xx};
        for (int p = 0; p < kLinePairs; ++p) f[p] += one / ((dzz[k][p] + y2) + x2);
      }
      const int line = sample_index(gx, gy, 0);
      for (int gz = 0; gz < kGridSide; ++gz) {
        const double value = f[gz / 2][gz % 2];
        grid_field[line + gz] = static_cast<float>(value);
        grid_inside[line + gz] = value > kIsoThreshold ? 1 : 0;
      }
    }
  }
}

void edge_vertices() {
  // Last frame's vertices go back to the origin, so that every slot this
  // frame does not place is at the origin.
  if (all_slots_moved) {
    slot_pos.fill(vec3{});
    slot_uv.fill(kOriginTexel);
    all_slots_moved = false;
  } else {
    for (uint32_t i = 0; i < crossed_count; ++i) {
      const int32_t s = crossed_slot[i];
      slot_pos[s] = vec3{};
      slot_uv[s] = kOriginTexel;
    }
  }
  crossed_count = 0;
  for (int gx = 0; gx < kCornerSide; ++gx) {
    for (int gy = 0; gy < kCornerSide; ++gy) {
      const int line = sample_index(gx, gy, 0);
      if (lines_alike({line, line + kSampleStride[0], line + kSampleStride[1]})) continue;
      for (int gz = 0; gz < kCornerSide; ++gz) {
        const int at = line + gz;
        const uint8_t in = grid_inside[at];
        const double f0 = grid_field[at];
        for (int axis = 0; axis < 3; ++axis) {
          const int next = at + kSampleStride[axis];
          if (grid_inside[next] == in) continue;
          const double f1 = grid_field[next];
          float p[3] = {static_cast<float>(sample_coord(gx)), static_cast<float>(sample_coord(gy)),
                        static_cast<float>(sample_coord(gz))};
          p[axis] = static_cast<float>(p[axis] + kGridSpacing * (kIsoThreshold - f0) / (f1 - f0));
          const int32_t s = slot_index(gx, gy, gz, axis);
          slot_pos[s] = vec3{p[0], p[1], p[2]};
          crossed_slot[crossed_count++] = s;
        }
      }
    }
  }
}

void polygonise() {
  tri_count = 0;
  for (int a = 0; a < kCubeSide; ++a) {
    for (int i = 0; i < kCubeSide; ++i) {
      const int line = sample_index(a, i, 0);
      const int x = kSampleStride[0], y = kSampleStride[1];
      if (lines_alike({line, line + x, line + y, line + x + y})) continue;
      for (int j = 0; j < kCubeSide; ++j) {
        const int sample = line + j;
        unsigned index = 0;
        for (int c = 0; c < kCubeCorners; ++c) index |= grid_inside[sample + kCubeOffsets.corner[c]] << c;
        if (index == 0 || index == kCubeIndices - 1) continue;
        const int slot = slot_index(a, i, j, 0);
        const int8_t* row = kTriTable[index];
        for (int t = 0; t + 2 < kTriRowLength && row[t] >= 0; t += 3) {
          if (tri_count >= kMaxTriangles) {
            static bool told = false;
            if (!told) {
              told = true;
              LOGW("marching: more than %u triangles; the rest of the surface is not drawn\n", kMaxTriangles);
            }
            return;
          }
          tri& out = tri_list[tri_count++];
          out.ia = slot + kCubeOffsets.edge[row[t]];
          out.ib = slot + kCubeOffsets.edge[row[t + 1]];
          out.ic = slot + kCubeOffsets.edge[row[t + 2]];
        }
      }
    }
  }
}

texcoord envmap_coords(const vec3& n) {
  const double u = (1.0 - (static_cast<double>(n.z) + n.x)) * kTexelScale;
  const double v = (1.0 - (static_cast<double>(kTexelWeightZ) * n.z + static_cast<double>(kTexelWeightY) * n.y)) *
                   kTexelScale;
  return {static_cast<int32_t>(u), static_cast<int32_t>(v)};
}

void surface_attributes() {
  // Slots off the surface sit at the origin and already hold its coordinates.
  for (uint32_t i = 0; i < crossed_count; ++i) {
    const int32_t s = crossed_slot[i];
    vec3 n = slot_pos[s];
    normalise(n);
    slot_uv[s] = envmap_coords(n);
  }
  for (uint32_t t = 0; t < tri_count; ++t) {
    tri& face = tri_list[t];
    const vec3& p0 = slot_pos[face.ia];
    const vec3& p1 = slot_pos[face.ib];
    const vec3& p2 = slot_pos[face.ic];
    face.normal = cross(p0 - p1, p1 - p2);
    normalise(face.normal);
  }
}

void camera_turn(const mat34& m) {
  // Slots off the surface sit at the origin, which a turn without translation
  // leaves in place; only a translation moves them.
  const bool moves_origin = m.m[0][3] != 0.0f || m.m[1][3] != 0.0f || m.m[2][3] != 0.0f;
  if (moves_origin) {
    for (vec3& p : slot_pos) p = transform(m, p);
    all_slots_moved = true;
    return;
  }
  for (uint32_t i = 0; i < crossed_count; ++i) {
    vec3& p = slot_pos[crossed_slot[i]];
    p = transform(m, p);
  }
}
