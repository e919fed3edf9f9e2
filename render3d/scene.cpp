// scene: see scene.h.
#include "render3d/scene.h"

#include <new>

#include "render3d/balls.h"
#include "render3d/marching.h"
#include "resources/log.h"

window3d* render_window = nullptr;
uint32_t* window3d_bg = nullptr;
uint32_t* window3d_px = nullptr;
uint32_t* envmap = nullptr;

namespace {

constexpr std::array<mat34, kCamRecords> identity_path() {
  std::array<mat34, kCamRecords> path{};
  for (mat34& m : path) m = mat34_identity();
  return path;
}

uint32_t random_state = 1;

constexpr uint32_t kRandomMultiplier = 214013;
constexpr uint32_t kRandomIncrement = 2531011;
constexpr uint32_t kRandomMask = 0x7FFF;

// Ball placement: speeds (degrees per frame) from 100..449 hundredths,
// positions from -20..19.
constexpr uint32_t kSpeedRange = 350;
constexpr int32_t kSpeedBase = 100;
constexpr float kSpeedUnit = 0.01f;
constexpr uint32_t kPlaceRange = 40;
constexpr int32_t kPlaceBase = -20;

}  // namespace

std::array<mat34, kCamRecords> campath = identity_path();
uint32_t camera_index = 0;

window3d::window3d(int width, int height) {
  const uint32_t count = static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
  buffer = new (std::nothrow) zpixel[count]();
  if (!buffer) {
    error_report("window3d: not enough memory for the render window");
  } else {
    pixel_count = count;
  }
  raster.width = width;
  raster.last_row = height - 1;
  raster.centre_x = width / 2;
  raster.centre_y = height / 2;
}

window3d::~window3d() {
  delete[] buffer;
}

// Both passes take the count and buffer into locals first: the block could
// alias them otherwise, which would keep the loops from being vectorised.
void window3d::clear_to(const uint32_t* block) {
  zpixel* const out = buffer;
  const uint32_t count = pixel_count;
  for (uint32_t i = 0; i < count; ++i) out[i] = zpixel{0, block[i]};
}

void window3d::resolve_to(uint32_t* block) const {
  const zpixel* const in = buffer;
  const uint32_t count = pixel_count;
  for (uint32_t i = 0; i < count; ++i) block[i] = in[i].colour;
}

uint32_t scene_random() {
  random_state = random_state * kRandomMultiplier + kRandomIncrement;
  return (random_state >> 16) & kRandomMask;
}

void scene_place_balls() {
  for (uint32_t n = 0; n < kSceneBalls; ++n) {
    const int32_t r1 = static_cast<int32_t>(scene_random() % kSpeedRange) + kSpeedBase;
    const int32_t r2 = static_cast<int32_t>(scene_random() % kSpeedRange) + kSpeedBase;
    const int32_t r3 = static_cast<int32_t>(scene_random() % kSpeedRange) + kSpeedBase;
    const int32_t r4 = static_cast<int32_t>(scene_random() % kPlaceRange) + kPlaceBase;
    const int32_t r5 = static_cast<int32_t>(scene_random() % kPlaceRange) + kPlaceBase;
    const int32_t r6 = static_cast<int32_t>(scene_random() % kPlaceRange) + kPlaceBase;
    // The products are exact in double, so rounding them to float once is the
    // same as a float multiplication.
    auto speed = [](int32_t r) { return static_cast<float>(r * static_cast<double>(kSpeedUnit)); };
    balls.add(static_cast<float>(r6), static_cast<float>(r5), static_cast<float>(r4), speed(r3), speed(r2),
              speed(r1));
  }
}

void cballs::render(int mode) {
  update();
  field_eval(*this);
  edge_vertices();
  polygonise();
  surface_attributes();
  camera_turn(campath[camera_index < kCamRecords ? camera_index : 0]);
  draw_triangles(mode);
  tri_count = 0;
  camera_index += kCamStep;
  if (camera_index >= kCamRecords) camera_index = kCamRestart;
}

void refresh_window3d() {
  // Nothing to draw into or from until the loading sequence has made the
  // window and its blocks.
  if (!render_window || !render_window->buffer || !window3d_bg || !window3d_px || !envmap) return;
  raster.target = render_window->buffer;
  raster.texture = envmap;
  render_window->clear_to(window3d_bg);
  balls.render(kRenderEnv);
  render_window->resolve_to(window3d_px);
}
