// raster: the depth-buffered triangle rasteriser of the 3D object.
//
// Vertices are projected to 16.16 fixed-point screen positions (integer part
// in the upper 16 bits) and a signed 32-bit depth that, read unsigned, grows
// toward the viewer. Triangles are scan-converted row by row in list order,
// without sorting or culling; a pixel is written only when its stored depth is
// below the new one (unsigned), so on equal depth the first triangle stays.
// Three render modes: environment-mapped (texels of a 256 x 256 texture,
// interpolated affinely in 16.16, wrapping in both directions), flat
// (a red shade of the face normal) and wireframe (white lines that test depth
// but do not store it). Every write lands inside the target, whatever the
// vertices: rows 0..last_row, columns 0..width - 1. All fixed-point arithmetic
// wraps at 32 bits. Not re-entrant: one raster state serves every routine.
#pragma once

#include <cstdint>

#include "render3d/geometry.h"

constexpr int kRenderWire = 2;
constexpr int kRenderFlat = 8;
constexpr int kRenderEnv = 16;

constexpr int kTextureSide = 256;
constexpr uint32_t kWireColour = 0x00FFFFFF;

// Projection: the viewer sits at z = kViewerZ looking toward negative z.
constexpr double kViewerZ = 150.0;
constexpr double kProjectionScale = 256.0;
// Depth: (1 / |z + kDepthOffset|) * kDepthScale.
constexpr double kDepthOffset = 1500.0;
constexpr double kDepthScale = -2147483648.0;

struct zpixel {
  uint32_t depth;   // the signed depth, bit for bit
  uint32_t colour;  // 0x00RRGGBB
};

struct raster_state {
  zpixel* target = nullptr;
  const uint32_t* texture = nullptr;  // kTextureSide * kTextureSide pixels
  int32_t width = 0;
  int32_t last_row = 0;
  int32_t centre_x = 0;
  int32_t centre_y = 0;
  uint32_t flat_colour = 0;
  uint32_t wire_colour = kWireColour;
};

extern raster_state raster;

struct scrvertex {
  int32_t depth;
  int32_t x, y;  // 16.16
  int32_t u, v;  // whole texels
};

// One end of a span: its column and, at that column, the 16.16 texel
// coordinates and the depth.
struct span_end {
  int32_t x;
  int32_t u, v;
  int32_t depth;
};

// Per-pixel steps of a triangle along a row.
struct span_steps {
  int32_t u, v;
  int32_t depth;
};

// The nearest integer of a 16.16 value; halves round down.
int32_t round16(int32_t v);
// Converts toward zero; values outside the signed 32-bit range (and NaN) give
// INT32_MIN, the x86 conversion's "integer indefinite", instead of undefined
// behaviour.
int32_t trunc_i32(double value);

// Sets x, y and depth of out from a camera-space point (u and v untouched).
void project(const vec3& p, scrvertex& out);

void draw_triangles(int mode);

void tri_tex(scrvertex& p, scrvertex& q, scrvertex& r);
void span_tex(int32_t y, span_end left, span_end right, const span_steps& step);
void tri_flat(scrvertex& p, scrvertex& q, scrvertex& r);
void span_flat(int32_t y, int32_t xl, int32_t zl, int32_t xr, int32_t zr);
void tri_wire(const scrvertex& p, const scrvertex& q, const scrvertex& r);
void line_z(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1);
