// raster: see raster.h.
#include "render3d/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>

#include "render3d/marching.h"

raster_state raster;

namespace {

constexpr double kFixedOne = 65536.0;
constexpr uint32_t kTexelMask = kTextureSide - 1;
constexpr double kFlatShades = 255.0;
constexpr int kFlatShift = 16;  // the flat shade is pure red

// 32-bit wrap-around arithmetic, done unsigned so that it is defined.
uint32_t u32(int32_t v) {
  return static_cast<uint32_t>(v);
}
int32_t s32(uint32_t v) {
  return static_cast<int32_t>(v);
}
int32_t wsub(int32_t a, int32_t b) {
  return s32(u32(a) - u32(b));
}
int32_t wmul(int32_t a, int32_t b) {
  return s32(u32(a) * u32(b));
}
int32_t shl16(int32_t a) {
  return s32(u32(a) << 16);
}
// Integer division truncating toward zero; a zero divisor gives 0 (a step
// over no rows) and -1 wraps instead of trapping.
int32_t idiv(int32_t a, int32_t b) {
  if (b == 0) return 0;
  if (b == -1) return s32(0u - u32(a));
  return a / b;
}

bool depth_passes(const zpixel& px, uint32_t depth) {
  return px.depth < depth;
}

// Orders three vertex references by y with exactly these three exchanges, so
// that equal values keep their order.
void sort_by_y(const scrvertex*& p, const scrvertex*& q, const scrvertex*& r) {
  if (p->y > r->y) std::swap(p, r);
  if (q->y > r->y) std::swap(q, r);
  if (p->y > q->y) std::swap(p, q);
}

// The position of a triangle edge on the current row: x and the texel
// coordinates in 16.16, the depth as is.
struct edge {
  uint32_t x = 0, u = 0, v = 0, depth = 0;
};

edge edge_at(const scrvertex& s) {
  return {u32(s.x), u32(shl16(s.u)), u32(shl16(s.v)), u32(s.depth)};
}

// The change of an edge per row, for an edge of height rows from a to b.
edge edge_step(const scrvertex& a, const scrvertex& b, int32_t height, bool textured) {
  edge s;
  if (height == 0) return s;
  s.x = u32(idiv(wsub(b.x, a.x), height));
  s.depth = u32(idiv(wsub(b.depth, a.depth), height));
  if (textured) {
    s.u = u32(idiv(shl16(wsub(b.u, a.u)), height));
    s.v = u32(idiv(shl16(wsub(b.v, a.v)), height));
  }
  return s;
}

void advance(edge& e, const edge& step, uint32_t rows) {
  e.x += rows * step.x;
  e.u += rows * step.u;
  e.v += rows * step.v;
  e.depth += rows * step.depth;
}

// Rows y0 .. y1 - 1 of one part of a triangle, the short edge giving the left
// end and the long edge the right end of each row's span. Rows above the
// window are passed over by advancing both edges in one multiplication (the
// same bits as one addition per row); rows below it end the part, and then
// nothing of the triangle is left to draw.
template <typename Span>
void walk_rows(int32_t y0, int32_t y1, edge& shorter, const edge& short_step, edge& longer,
               const edge& long_step, Span span) {
  if (y1 <= y0) return;
  int32_t y = y0;
  if (y < 0) {
    const int32_t to = std::min(y1, 0);
    advance(shorter, short_step, u32(to - y));
    advance(longer, long_step, u32(to - y));
    y = to;
  }
  const int32_t end = std::min(y1, raster.last_row + 1);
  for (; y < end; ++y) {
    span(y, shorter, longer);
    advance(shorter, short_step, 1);
    advance(longer, long_step, 1);
  }
}

// The shared row structure of textured and flat triangles.
template <typename Span>
void scan_triangle(const scrvertex& p0, const scrvertex& q0, const scrvertex& r0, bool textured, Span span) {
  const scrvertex* p = &p0;
  const scrvertex* q = &q0;
  const scrvertex* r = &r0;
  sort_by_y(p, q, r);
  if (p->y == r->y || r->y < 0) return;
  const int32_t yp = round16(p->y), yq = round16(q->y), yr = round16(r->y);
  const int32_t hpq = round16(wsub(q->y, p->y));
  const int32_t hpr = round16(wsub(r->y, p->y));
  const int32_t hqr = round16(wsub(r->y, q->y));
  if (yp >= yr || yp > raster.last_row || yr <= 0) return;  // no row of the window

  span_steps pixel{0, 0, 0};
  if (textured) {
    const int32_t det = wsub(wmul(round16(wsub(r->x, p->x)), hpq), wmul(round16(wsub(q->x, p->x)), hpr));
    if (det != 0) {
      const double k = 1.0 / det;
      const double ku = k * kFixedOne;
      pixel.u = trunc_i32(ku * ((static_cast<double>(r->u) - q->u) * hpr - (static_cast<double>(r->u) - p->u) * hqr));
      pixel.v = trunc_i32(ku * ((static_cast<double>(r->v) - q->v) * hpr - (static_cast<double>(r->v) - p->v) * hqr));
      pixel.depth = trunc_i32(
          k * ((static_cast<double>(r->depth) - q->depth) * hpr - (static_cast<double>(r->depth) - p->depth) * hqr));
    }
  }
  auto row = [&](int32_t y, const edge& left, const edge& right) { span(y, left, right, pixel); };
  edge longer = edge_at(*p);
  edge shorter = longer;
  const edge pr = edge_step(*p, *r, hpr, textured);
  walk_rows(yp, yq, shorter, edge_step(*p, *q, hpq, textured), longer, pr, row);
  if (yq >= yr || yq > raster.last_row) return;
  shorter = edge_at(*q);
  walk_rows(yq, yr, shorter, edge_step(*q, *r, hqr, textured), longer, pr, row);
}

// The row routines are lambdas, not functions, so that the spans inline into
// the row walk: most spans are a few pixels long.
constexpr auto tex_row = [](int32_t y, const edge& left, const edge& right, const span_steps& step) {
  span_tex(y, {round16(s32(left.x)), s32(left.u), s32(left.v), s32(left.depth)},
           {round16(s32(right.x)), s32(right.u), s32(right.v), s32(right.depth)}, step);
};

constexpr auto flat_row = [](int32_t y, const edge& left, const edge& right, const span_steps&) {
  span_flat(y, round16(s32(left.x)), s32(left.depth), round16(s32(right.x)), s32(right.depth));
};

void plot_wire(int32_t column, int32_t row, uint32_t depth) {
  if (column <= 0 || column >= raster.width || row <= 0 || row >= raster.last_row) return;
  zpixel& px = raster.target[static_cast<ptrdiff_t>(row) * raster.width + column];
  if (depth_passes(px, depth)) px.colour = raster.wire_colour;
}

// Most slots serve several triangles: each is projected once per call of
// draw_triangles, on first use, and kept with the number of that call.
struct projected_slot {
  int32_t depth, x, y;
};
std::array<projected_slot, kSlotCount> slot_screen;
std::array<uint32_t, kSlotCount> slot_pass;
uint32_t draw_pass = 0;

void next_draw_pass() {
  if (++draw_pass == 0) {
    slot_pass.fill(0);
    draw_pass = 1;
  }
}

scrvertex screen_vertex(int32_t slot) {
  projected_slot& cached = slot_screen[slot];
  if (slot_pass[slot] != draw_pass) {
    scrvertex s;
    project(slot_pos[slot], s);
    cached = projected_slot{s.depth, s.x, s.y};
    slot_pass[slot] = draw_pass;
  }
  return scrvertex{cached.depth, cached.x, cached.y, slot_uv[slot].u, slot_uv[slot].v};
}

}  // namespace

int32_t round16(int32_t v) {
  return (v >> 16) + ((u32(v) & 0xFFFFu) > 0x8000u ? 1 : 0);
}

int32_t trunc_i32(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return INT32_MIN;
}

void project(const vec3& p, scrvertex& out) {
  const double w = static_cast<double>(p.z) - kViewerZ;
  out.x = trunc_i32((kProjectionScale * p.x / w + raster.centre_x) * kFixedOne);
  out.y = trunc_i32((kProjectionScale * p.y / w + raster.centre_y) * kFixedOne);
  out.depth = trunc_i32((1.0 / std::fabs(static_cast<double>(p.z) + kDepthOffset)) * kDepthScale);
}

void draw_triangles(int mode) {
  if (!raster.target) return;
  if (mode != kRenderWire && mode != kRenderFlat && mode != kRenderEnv) return;
  if (mode == kRenderEnv && !raster.texture) return;
  next_draw_pass();
  const uint32_t count = std::min(tri_count, kMaxTriangles);
  for (uint32_t t = 0; t < count; ++t) {
    const tri& face = tri_list[t];
    scrvertex p = screen_vertex(face.ia);
    scrvertex q = screen_vertex(face.ib);
    scrvertex r = screen_vertex(face.ic);
    if (mode == kRenderEnv) {
      tri_tex(p, q, r);
    } else if (mode == kRenderFlat) {
      const uint32_t shade = u32(trunc_i32(std::fabs(static_cast<double>(face.normal.z)) * kFlatShades));
      raster.flat_colour = (shade & 0xFFu) << kFlatShift;
      tri_flat(p, q, r);
    } else {
      tri_wire(p, q, r);
    }
  }
}

void tri_tex(scrvertex& p, scrvertex& q, scrvertex& r) {
  scan_triangle(p, q, r, true, tex_row);
}

void span_tex(int32_t y, span_end left, span_end right, const span_steps& step) {
  if (y < 0 || y > raster.last_row) return;
  if (left.x > right.x) std::swap(left, right);
  if (left.x > raster.width || right.x < 0 || left.x == right.x) return;
  uint32_t u = u32(left.u), v = u32(left.v), depth = u32(left.depth);
  const uint32_t du = u32(step.u), dv = u32(step.v), dz = u32(step.depth);
  int32_t x = left.x;
  if (x < 0) {
    const uint32_t skipped = 0u - u32(x);
    u += skipped * du;
    v += skipped * dv;
    depth += skipped * dz;
    x = 0;
  }
  const int32_t end = std::min(right.x, raster.width);
  zpixel* row = raster.target + static_cast<ptrdiff_t>(y) * raster.width;
  const uint32_t* texture = raster.texture;
  for (; x < end; ++x) {
    zpixel& px = row[x];
    if (depth_passes(px, depth)) {
      px.depth = depth;
      px.colour = texture[((v >> 16) & kTexelMask) * kTextureSide + ((u >> 16) & kTexelMask)];
    }
    u += du;
    v += dv;
    depth += dz;
  }
}

void tri_flat(scrvertex& p, scrvertex& q, scrvertex& r) {
  scan_triangle(p, q, r, false, flat_row);
}

void span_flat(int32_t y, int32_t xl, int32_t zl, int32_t xr, int32_t zr) {
  if (y < 0 || y > raster.last_row) return;
  if (xl > xr) {
    std::swap(xl, xr);
    std::swap(zl, zr);
  }
  // The depth step is taken once the span is known to hold a pixel, so a span
  // of no width never divides by zero.
  if (xl > raster.width || xr < 0 || xl == xr) return;
  const uint32_t dz = u32(idiv(wsub(zr, zl), wsub(xr, xl)));
  uint32_t depth = u32(zl);
  if (xl < 0) {
    depth += (0u - u32(xl)) * dz;
    xl = 0;
  }
  const int32_t end = std::min(xr, raster.width);
  zpixel* row = raster.target + static_cast<ptrdiff_t>(y) * raster.width;
  for (int32_t x = xl; x < end; ++x) {
    zpixel& px = row[x];
    if (depth_passes(px, depth)) {
      px.depth = depth;
      px.colour = raster.flat_colour;
    }
    depth += dz;
  }
}

void tri_wire(const scrvertex& p, const scrvertex& q, const scrvertex& r) {
  line_z(p.x, p.y, p.depth, q.x, q.y, q.depth);
  line_z(p.x, p.y, p.depth, r.x, r.y, r.depth);
  line_z(r.x, r.y, r.depth, q.x, q.y, q.depth);
}

void line_z(int32_t x0, int32_t y0, int32_t z0, int32_t x1, int32_t y1, int32_t z1) {
  const int64_t dx = std::llabs(wsub(x1, x0));
  const int64_t dy = std::llabs(wsub(y1, y0));
  if (dx < dy) {
    // Steep: one pixel per row, the column rounded from x.
    if (y1 < y0) {
      std::swap(x0, x1);
      std::swap(y0, y1);
      std::swap(z0, z1);
    }
    const int32_t n = round16(wsub(y1, y0));
    if (n <= 0) return;
    const uint32_t x_step = u32(wsub(x1, x0) / n);
    const uint32_t z_step = u32(wsub(z1, z0) / n);
    uint32_t x = u32(x0), depth = u32(z0);
    int32_t row = round16(y0);
    for (int32_t i = 0; i < n; ++i, ++row) {
      plot_wire(round16(s32(x)), row, depth);
      x += x_step;
      depth += z_step;
    }
  } else {
    // Flat: one pixel per column, the row cut down from y.
    if (x1 < x0) {
      std::swap(x0, x1);
      std::swap(y0, y1);
      std::swap(z0, z1);
    }
    const int32_t n = round16(wsub(x1, x0));
    if (n <= 0) return;
    const uint32_t y_step = u32(wsub(y1, y0) / n);
    const uint32_t z_step = u32(wsub(z1, z0) / n);
    uint32_t y = u32(y0), depth = u32(z0);
    int32_t column = x0 >> 16;
    for (int32_t i = 0; i < n; ++i, ++column) {
      plot_wire(column, s32(y) >> 16, depth);
      y += y_step;
      depth += z_step;
    }
  }
}
