// pacer: at most 60 frames a second on any display. The menu, its fades, its
// scrolling and the blob count frames, and were made for 60 of them a
// second; a faster display would run them faster.
//
// The pacer is told of each display refresh (a vsync, an animation frame)
// and answers whether the waiting frame goes out on it, from the refresh
// rate, which it is given or learns from the refreshes it sees:
//  - a rate within 2 % of a whole multiple n of 60 Hz (59.94, 60, 60.05,
//    119.88, 120, 240): every n-th refresh, so a real 60 Hz panel never shows
//    a frame twice;
//  - a rate below that band around 60 Hz (50 Hz): every refresh;
//  - any other rate (75, 144, 165 Hz), or one not known yet: the first
//    refresh at or after each 60 Hz tick. Ticks keep their phase; after a
//    slow frame that missed a whole tick they start anew from it, so missed
//    frames are never caught up in a burst.
// Without vsync there are no refreshes: wait_us says how long to wait for
// the next tick, and shown_at records the frame.
// Times are in microseconds of any clock that only grows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

constexpr double kPaceHz = 60.0;
constexpr double kPaceMultipleTolerance = 0.02;
constexpr size_t kPaceLearnIntervals = 15;  // refresh gaps kept to learn the rate (odd: a middle one)

class FramePacer {
 public:
  // refresh_hz: the display's rate when the system tells it, 0 to learn it.
  explicit FramePacer(double refresh_hz = 0);

  // A refresh comes at t_us. True when the waiting frame goes out on it
  // (the pacer then counts it shown).
  bool due(uint64_t t_us);

  // Without vsync: microseconds from now_us until the next frame may go.
  uint64_t wait_us(uint64_t now_us) const;
  // Without vsync: a frame went out at now_us.
  void shown_at(uint64_t now_us);

  // The refresh rate in use (given or learnt), 0 while unknown.
  double refresh_hz() const;
  // Every n-th refresh (n >= 1), or 0 when paced by ticks.
  int refresh_divisor() const;

 private:
  void learn(uint64_t t_us);
  void next_tick_after(uint64_t t_us);
  uint64_t refresh_period_us() const;

  double given_hz_ = 0;
  double learnt_hz_ = 0;  // from the gaps, once kPaceLearnIntervals are known
  bool have_refresh_ = false;
  uint64_t last_refresh_ = 0;
  std::array<uint64_t, kPaceLearnIntervals> gaps_{};
  size_t gap_count_ = 0;
  size_t gap_next_ = 0;

  bool have_shown_ = false;
  uint64_t last_shown_ = 0;
  // The next 60 Hz tick, in units of 1/60 000 000 s (whole ticks are exact:
  // 1 000 000 units each), so the pace never drifts.
  uint64_t next_tick_units_ = 0;
};

}  // namespace platform
