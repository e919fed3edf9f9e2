// balls: see balls.h.
#include "render3d/balls.h"

#include <cmath>

#include "resources/log.h"

cballs::~cballs() {
  count = 0;
}

void cballs::add(float px, float py, float pz, float w0, float w1, float w2) {
  if (count >= kMaxBalls) {
    static bool told = false;
    if (!told) {
      told = true;
      LOGW("cballs: the set is full (%u balls); further balls are ignored\n", kMaxBalls);
    }
    return;
  }
  cball& b = ball[count];
  b.base = vec3{px, py, pz};
  b.current = b.base;
  for (int i = 0; i < 3; ++i) b.angle[i] = kBallStartAngle;
  b.speed[0] = w0;
  b.speed[1] = w1;
  b.speed[2] = w2;
  ++count;
}

void cballs::update() {
  for (uint32_t n = 0; n < count; ++n) {
    cball& b = ball[n];
    double c[3], s[3];
    for (int i = 0; i < 3; ++i) {
      const double radians = b.angle[i] * kDegreesToRadians;
      c[i] = std::cos(radians);
      s[i] = std::sin(radians);
    }
    const double bx = b.base.x, by = b.base.y, bz = b.base.z;
    const double y1 = c[0] * by + s[0] * bz;
    const double z1 = c[0] * bz - s[0] * by;
    const double x2 = c[1] * bx - s[1] * z1;
    const double z2 = c[1] * z1 + s[1] * bx;
    const double x3 = c[2] * x2 + s[2] * y1;
    const double y3 = c[2] * y1 - s[2] * x2;
    b.current = vec3{static_cast<float>(x3), static_cast<float>(y3), static_cast<float>(z2)};
    // An angle past a full turn restarts at the start angle, not at angle - 360.
    for (int i = 0; i < 3; ++i) {
      const float next = static_cast<float>(static_cast<double>(b.angle[i]) + b.speed[i]);
      b.angle[i] = next > kFullTurn ? kBallStartAngle : next;
    }
  }
}
