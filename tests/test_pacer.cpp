// Frame pacing on displays of every common refresh rate, told or learnt, with
// and without timing jitter, and the self-paced loop without vsync.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/pacer.h"

namespace {

using platform::FramePacer;

constexpr double kSeconds = 10.0;

struct DisplayRun {
  int presents = 0;
  std::map<int, int> gaps;  // refreshes between two presents -> how often
};

// Offers every refresh of a display at hz for kSeconds to the pacer (the
// frame is always ready) and records the presents after the first second.
DisplayRun run_display(double hz, bool tell_rate, uint64_t jitter_us) {
  FramePacer pacer(tell_rate ? hz : 0);
  DisplayRun run;
  const int refreshes = static_cast<int>(hz * kSeconds);
  const int settle = static_cast<int>(hz);
  uint32_t noise = 12345;
  int last = -1;
  for (int r = 0; r < refreshes; ++r) {
    noise = noise * 1103515245u + 12345u;
    const uint64_t jitter = jitter_us ? (noise >> 8) % (2 * jitter_us + 1) : 0;
    const uint64_t t = static_cast<uint64_t>(r * 1e6 / hz) + 1000 + jitter - jitter_us;
    if (!pacer.due(t)) continue;
    if (r >= settle) {
      ++run.presents;
      if (last >= settle) ++run.gaps[r - last];
    }
    last = r;
  }
  return run;
}

struct Case {
  double hz;
  double presents_per_second;
  std::set<int> gaps;  // the only gaps (in refreshes) allowed
};

TEST(FramePacer, EveryDisplayShowsAtMostSixtyFramesASecondEvenlySpread) {
  const std::vector<Case> cases = {
      {50, 50, {1}},       {59.94, 59.94, {1}}, {60, 60, {1}},    {60.05, 60.05, {1}},
      {75, 60, {1, 2}},    {119.88, 59.94, {2}}, {120, 60, {2}},  {144, 60, {2, 3}},
      {165, 60, {2, 3}},   {240, 60, {4}},
  };
  for (const Case& c : cases) {
    for (bool told : {true, false}) {
      for (uint64_t jitter : {uint64_t{0}, uint64_t{300}}) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz, rate " << (told ? "told" : "learnt") << ", jitter "
                                        << jitter << " us");
        const DisplayRun run = run_display(c.hz, told, jitter);
        const double expected = c.presents_per_second * (kSeconds - 1);
        EXPECT_NEAR(run.presents, expected, 2.0);
        for (const auto& [gap, count] : run.gaps) {
          EXPECT_TRUE(c.gaps.count(gap)) << "a gap of " << gap << " refreshes, " << count << " times";
        }
      }
    }
  }
}

TEST(FramePacer, DivisorFollowsTheRateBand) {
  EXPECT_EQ(FramePacer(59.0).refresh_divisor(), 1);   // a panel that reports 59 for 59.94
  EXPECT_EQ(FramePacer(50.0).refresh_divisor(), 1);
  EXPECT_EQ(FramePacer(118.0).refresh_divisor(), 2);
  EXPECT_EQ(FramePacer(75.0).refresh_divisor(), 0);
  EXPECT_EQ(FramePacer(144.0).refresh_divisor(), 0);
  EXPECT_EQ(FramePacer(0).refresh_divisor(), 0);      // unknown: ticks
}

// A slow frame lets ticks pass: the next frames come one per tick again,
// with no burst to catch up.
TEST(FramePacer, MissedTicksAreSkippedNotCaughtUp) {
  FramePacer pacer(144.0);
  const double period = 1e6 / 144.0;
  int r = 0;
  auto at = [&](int i) { return static_cast<uint64_t>(i * period); };
  ASSERT_TRUE(pacer.due(at(r)));
  r += 100;  // the program was busy for 100 refreshes (0.7 s)
  ASSERT_TRUE(pacer.due(at(r)));
  int presents = 0;
  int last = r;
  for (++r; r < 400; ++r) {
    if (!pacer.due(at(r))) continue;
    EXPECT_GE(r - last, 2) << "two frames in a row at refresh " << r;
    last = r;
    ++presents;
  }
  EXPECT_NEAR(presents, 299 / 2.4, 2.0);
}

// Without vsync the loop sleeps whole milliseconds (rounded up, plus up to
// one of lateness); the ticks keep their phase, so the pace is still exactly
// 60 a second and no frame comes before its tick.
TEST(FramePacer, WithoutVsyncSleepsToEachTick) {
  FramePacer pacer;
  uint64_t now = 5000;
  uint32_t noise = 7;
  std::vector<uint64_t> shown;
  while (now < 5000 + 10000000) {
    const uint64_t wait = pacer.wait_us(now);
    noise = noise * 1103515245u + 12345u;
    now += (wait + 999) / 1000 * 1000 + (noise >> 8) % 1000;
    pacer.shown_at(now);
    shown.push_back(now);
    now += 3000;  // the frame's own work
  }
  EXPECT_NEAR(static_cast<double>(shown.size()), 600.0, 1.0);
  for (size_t i = 1; i < shown.size(); ++i) {
    EXPECT_GE(shown[i] - shown[i - 1], 14667u) << "frame " << i;
    EXPECT_LE(shown[i] - shown[i - 1], 18667u) << "frame " << i;
    EXPECT_GE(shown[i] - shown[0], (i * 1000000 + 59) / 60) << "frame " << i << " before its tick";
  }
}

}  // namespace
