// scene: the 3D object in the menu panel.
//
// The render window is a 150 x 130 block of zpixels (depth, colour) from the
// general heap. Every frame refresh_window3d clears it to the panel
// background under it (window3d_bg), moves the balls, extracts the blob,
// turns it by the camera path's current record, draws it environment-mapped
// with envmap, and copies the colours out to window3d_px. The camera path has
// kCamRecords rotation records; each frame moves two records along and a pass
// past the end restarts at record 1, so the first pass shows the even records
// and every later one the odd records. The three balls are placed by a fixed
// linear congruential generator, the same on every run.
#pragma once

#include <array>
#include <cstdint>

#include "render3d/geometry.h"
#include "render3d/raster.h"
#include "velmora_layout.h"

constexpr int kWindow3dWidth = layout::kWindow3dWidth;
constexpr int kWindow3dHeight = layout::kWindow3dHeight;
// Where the window lies on the 640 x 480 panel.
constexpr int kWindow3dX = layout::kWindow3dX;
constexpr int kWindow3dY = layout::kWindow3dY;
// window3d_px is this large, of which the first width x height pixels are used.
constexpr uint32_t kWindow3dPxBytes = 512000;

constexpr uint32_t kCamRecords = 600;
constexpr uint32_t kCamStep = 2;
constexpr uint32_t kCamRestart = 1;

constexpr uint32_t kSceneBalls = 3;

class window3d {
 public:
  uint32_t pixel_count = 0;
  zpixel* buffer = nullptr;

  // Allocates the buffer and sets the raster state's width, last row and
  // centre for this size. A failed allocation is a fatal error report.
  window3d(int width, int height);
  ~window3d();
  window3d(const window3d&) = delete;
  window3d& operator=(const window3d&) = delete;

  // Every zpixel gets depth 0 and the colour of block's pixel at its index.
  void clear_to(const uint32_t* block);
  // Every zpixel's colour goes to block's word at its index.
  void resolve_to(uint32_t* block) const;
};

// Filled by the loading sequence.
extern window3d* render_window;
extern uint32_t* window3d_bg;  // kWindow3dWidth x kWindow3dHeight pixels
extern uint32_t* window3d_px;  // kWindow3dPxBytes bytes
extern uint32_t* envmap;       // kTextureSide x kTextureSide pixels

// Identity matrices until the camera path is read.
extern std::array<mat34, kCamRecords> campath;
extern uint32_t camera_index;

// The scene's random generator: state = state * 214013 + 2531011, value =
// bits 16..30 of the state (0..32767). The state starts at 1.
uint32_t scene_random();
// Adds the three balls of the scene to `balls`, drawing from scene_random.
void scene_place_balls();

void refresh_window3d();
