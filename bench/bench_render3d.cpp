// Benchmarks of the 3D object: one whole refresh_window3d of the three-ball
// scene along a turning camera path, each of its steps alone, the plain
// field formula for comparison with the separable field_eval, and a memcpy
// of the window's bytes as the bound of the clear and resolve passes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "render3d/balls.h"
#include "render3d/marching.h"
#include "render3d/raster.h"
#include "render3d/scene.h"

namespace {

constexpr int kPixels = kWindow3dWidth * kWindow3dHeight;
// Frames run before a step is timed alone, so that the blob is well formed.
constexpr int kWarmFrames = 40;

struct Fixture {
  std::unique_ptr<window3d> window = std::make_unique<window3d>(kWindow3dWidth, kWindow3dHeight);
  std::vector<uint32_t> background = std::vector<uint32_t>(kPixels);
  std::vector<uint32_t> output = std::vector<uint32_t>(kWindow3dPxBytes / 4);
  std::vector<uint32_t> texture = std::vector<uint32_t>(kTextureSide * kTextureSide);

  Fixture() {
    for (int i = 0; i < kPixels; ++i) background[i] = 0x00203040u + static_cast<uint32_t>(i % kWindow3dWidth);
    for (int v = 0; v < kTextureSide; ++v)
      for (int u = 0; u < kTextureSide; ++u) texture[v * kTextureSide + u] = static_cast<uint32_t>(u * 0x010101 ^ v);
    // One turn about the vertical axis with a nod, as a camera path does.
    for (uint32_t n = 0; n < kCamRecords; ++n) {
      const double yaw = n * 2 * M_PI / kCamRecords, pitch = 0.4 * std::sin(yaw * 2);
      const double cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
      const double r[3][3] = {{cy, 0, sy}, {sp * sy, cp, -sp * cy}, {-cp * sy, sp, cp * cy}};
      for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) campath[n].m[i][j] = static_cast<float>(r[i][j]);
    }
    render_window = window.get();
    window3d_bg = background.data();
    window3d_px = output.data();
    envmap = texture.data();
    balls.count = 0;
    scene_place_balls();
    for (int f = 0; f < kWarmFrames; ++f) refresh_window3d();
    raster.target = window->buffer;
    raster.texture = envmap;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_refresh_window3d(benchmark::State& state) {
  fixture();
  for (auto _ : state) refresh_window3d();
}
BENCHMARK(BM_refresh_window3d);

void BM_ball_update(benchmark::State& state) {
  fixture();
  cballs set = balls;
  for (auto _ : state) {
    set.update();
    benchmark::DoNotOptimize(set.ball[0].current);
  }
}
BENCHMARK(BM_ball_update);

void BM_field_eval(benchmark::State& state) {
  fixture();
  for (auto _ : state) {
    field_eval();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_field_eval);

// The field straight from the formula, every square taken per sample.
void BM_field_eval_plain(benchmark::State& state) {
  fixture();
  for (auto _ : state) {
    for (int gx = 0; gx < kGridSide; ++gx)
      for (int gy = 0; gy < kGridSide; ++gy)
        for (int gz = 0; gz < kGridSide; ++gz) {
          const double x = sample_coord(gx), y = sample_coord(gy), z = sample_coord(gz);
          double f = 0;
          for (uint32_t k = 0; k < balls.count; ++k) {
            const vec3& c = balls.ball[k].current;
            const float dxx = static_cast<float>((x - c.x) * (x - c.x));
            const float dyy = static_cast<float>((y - c.y) * (y - c.y));
            f += 1 / ((z - c.z) * (z - c.z) + dyy + dxx);
          }
          grid_field[sample_index(gx, gy, gz)] = static_cast<float>(f);
          grid_inside[sample_index(gx, gy, gz)] = f > kIsoThreshold;
        }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_field_eval_plain);

void BM_edge_vertices(benchmark::State& state) {
  fixture();
  field_eval();
  for (auto _ : state) {
    edge_vertices();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_edge_vertices);

void BM_polygonise(benchmark::State& state) {
  fixture();
  field_eval();
  edge_vertices();
  for (auto _ : state) {
    polygonise();
    benchmark::ClobberMemory();
  }
  state.counters["triangles"] = tri_count;
}
BENCHMARK(BM_polygonise);

void BM_surface_attributes(benchmark::State& state) {
  fixture();
  field_eval();
  edge_vertices();
  polygonise();
  for (auto _ : state) {
    surface_attributes();
    benchmark::ClobberMemory();
  }
  state.counters["slots"] = crossed_count;
}
BENCHMARK(BM_surface_attributes);

void BM_camera_turn(benchmark::State& state) {
  fixture();
  field_eval();
  edge_vertices();
  const mat34& m = campath[5];
  for (auto _ : state) {
    camera_turn(m);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_camera_turn);

void BM_draw_triangles(benchmark::State& state) {
  Fixture& f = fixture();
  field_eval();
  edge_vertices();
  polygonise();
  surface_attributes();
  camera_turn(campath[80]);
  for (auto _ : state) {
    state.PauseTiming();
    f.window->clear_to(f.background.data());
    state.ResumeTiming();
    draw_triangles(kRenderEnv);
    benchmark::ClobberMemory();
  }
  state.counters["triangles"] = tri_count;
  tri_count = 0;
}
BENCHMARK(BM_draw_triangles);

void BM_clear_and_resolve(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    f.window->clear_to(f.background.data());
    f.window->resolve_to(f.output.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_clear_and_resolve);

// The bound of clear and resolve: copying the same bytes (the zpixels
// written from the background, then read out again).
void BM_memcpy_window_bytes(benchmark::State& state) {
  Fixture& f = fixture();
  std::vector<zpixel> scratch(kPixels);
  for (auto _ : state) {
    std::memcpy(f.window->buffer, scratch.data(), kPixels * sizeof(zpixel));
    std::memcpy(scratch.data(), f.window->buffer, kPixels * sizeof(zpixel));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_memcpy_window_bytes);

}  // namespace

BENCHMARK_MAIN();
