// balls: the moving balls whose summed field is the blob.
//
// Each ball turns about the grid origin: its current position is its base
// position turned by three angles (degrees) about x, then y, then z, and every
// update advances the angles by the ball's speeds. The set holds at most
// kMaxBalls balls; add ignores any ball beyond that (and logs it once).
// Exactly one set exists, `balls`, defined first among the static objects.
#pragma once

#include <cstdint>

#include "render3d/geometry.h"

constexpr uint32_t kMaxBalls = 16;
// The angle every ball starts with, and the one an angle past 360 restarts at.
constexpr float kBallStartAngle = 1.1f;
constexpr double kFullTurn = 360.0;
constexpr double kDegreesToRadians = 0.017453292519943295;

// Twelve floats, in this order.
struct cball {
  vec3 base;
  vec3 current;
  float angle[3] = {kBallStartAngle, kBallStartAngle, kBallStartAngle};
  float speed[3] = {0.0f, 0.0f, 0.0f};
};

class cballs {
 public:
  uint32_t count = 0;
  cball ball[kMaxBalls];

  ~cballs();

  // Places a ball at (px, py, pz), turning by (w0, w1, w2) degrees per frame.
  void add(float px, float py, float pz, float w0, float w1, float w2);
  // Moves every ball by one frame: the current position takes this frame's
  // angles, then the angles advance.
  void update();
  // One frame of the object in the given render mode (scene.cpp).
  void render(int mode);
};

extern cballs balls;
