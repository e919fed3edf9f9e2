// Tests of the ball set: placing balls and their motion.
#include <gtest/gtest.h>

#include <cmath>

#include "render3d/balls.h"

namespace {

TEST(Balls, DefaultBallAndAdd) {
  const cballs fresh;
  EXPECT_EQ(fresh.count, 0u);
  for (const cball& b : fresh.ball) {
    EXPECT_EQ(b.angle[0], 1.1f);
    EXPECT_EQ(b.angle[2], 1.1f);
    EXPECT_EQ(b.current.x, 0.0f);
    EXPECT_EQ(b.speed[1], 0.0f);
  }
  cballs set;
  set.add(1, 2, 3, 4, 5, 6);
  ASSERT_EQ(set.count, 1u);
  const cball& b = set.ball[0];
  EXPECT_EQ(b.base.z, 3.0f);
  EXPECT_EQ(b.current.y, 2.0f);
  EXPECT_EQ(b.angle[1], 1.1f);
  EXPECT_EQ(b.speed[2], 6.0f);
}

TEST(Balls, AFullSetIgnoresFurtherBalls) {
  cballs set;
  for (uint32_t i = 0; i < kMaxBalls; ++i) set.add(float(i), 0, 0, 0, 0, 0);
  set.add(99, 99, 99, 1, 1, 1);
  EXPECT_EQ(set.count, kMaxBalls);
  EXPECT_EQ(set.ball[kMaxBalls - 1].base.x, float(kMaxBalls - 1));
}

// Quarter turns pin down the axis order and the sense of each turn: about x
// by a0, then about y by a1, then about z by a2.
TEST(Balls, TurnsAboutXThenYThenZ) {
  struct Case {
    float angle[3];
    vec3 base, expected;
  };
  const Case cases[] = {
      {{90, 0, 0}, {0, 10, 0}, {0, 0, -10}},
      {{0, 90, 0}, {10, 0, 0}, {0, 0, 10}},
      {{0, 0, 90}, {10, 0, 0}, {0, -10, 0}},
      {{90, 90, 0}, {0, 10, 0}, {10, 0, 0}},
      {{0, 90, 90}, {0, 10, 0}, {10, 0, 0}},
      {{90, 0, 90}, {0, 0, 10}, {10, 0, 0}},
  };
  for (const Case& c : cases) {
    cballs set;
    set.add(c.base.x, c.base.y, c.base.z, 0, 0, 0);
    for (int i = 0; i < 3; ++i) set.ball[0].angle[i] = c.angle[i];
    set.update();
    const vec3& p = set.ball[0].current;
    EXPECT_NEAR(p.x, c.expected.x, 1e-5) << c.angle[0] << " " << c.angle[1] << " " << c.angle[2];
    EXPECT_NEAR(p.y, c.expected.y, 1e-5) << c.angle[0] << " " << c.angle[1] << " " << c.angle[2];
    EXPECT_NEAR(p.z, c.expected.z, 1e-5) << c.angle[0] << " " << c.angle[1] << " " << c.angle[2];
  }
}

TEST(Balls, FirstFrameTurnsByTheStartAnglesBeforeTheyAdvance) {
  cballs set;
  // Speeds that would bring the angles to quarter turns if the motion of the
  // frame used the advanced angles.
  set.add(0, 10, 0, 88.9f, 88.9f, 88.9f);
  set.update();
  const double a = 1.1f * kDegreesToRadians;
  const double c = std::cos(a), s = std::sin(a);
  const double y1 = c * 10, z1 = -s * 10;
  const double x2 = -s * z1, z2 = c * z1;
  const vec3& p = set.ball[0].current;
  EXPECT_NEAR(p.x, c * x2 + s * y1, 1e-5);
  EXPECT_NEAR(p.y, c * y1 - s * x2, 1e-5);
  EXPECT_NEAR(p.z, z2, 1e-5);
  EXPECT_EQ(set.ball[0].angle[0], static_cast<float>(double(1.1f) + double(88.9f)));
}

TEST(Balls, AnglesPastAFullTurnRestartAt1Point1) {
  struct Case {
    float angle, speed, after;
  };
  const Case cases[] = {
      {359.0f, 1.05f, 1.1f},   // 360.05 restarts
      {359.0f, 1.0f, 360.0f},  // exactly 360 stays
      {360.0f, 0.0f, 360.0f},
      {360.0f, 2.5f, 1.1f},    // not 2.5: the excess is dropped
      {350.0f, 5.0f, 355.0f},
  };
  for (const Case& c : cases) {
    cballs set;
    set.add(5, 5, 5, c.speed, c.speed, c.speed);
    for (float& a : set.ball[0].angle) a = c.angle;
    set.update();
    for (float a : set.ball[0].angle) EXPECT_EQ(a, c.after) << c.angle << " + " << c.speed;
  }
}

}  // namespace
