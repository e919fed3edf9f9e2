// pacer: see pacer.h.
#include "platform/pacer.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Time in units of 1/60 000 000 s: one 60 Hz tick is exactly kUnitsPerTick.
constexpr uint64_t kUnitsPerUs = 60;
constexpr uint64_t kUnitsPerTick = 1000000;
// A refresh up to a quarter period early for its tick still takes it, so
// timing jitter cannot split a frame's refreshes unevenly.
constexpr uint64_t kEarlyFraction = 4;
// Rates learnt outside this band are not taken for a display's.
constexpr double kMinLearntHz = 20.0;
constexpr double kMaxLearntHz = 1000.0;

}  // namespace

FramePacer::FramePacer(double refresh_hz) : given_hz_(refresh_hz > 0 ? refresh_hz : 0) {}

double FramePacer::refresh_hz() const {
  return given_hz_ > 0 ? given_hz_ : learnt_hz_;
}

int FramePacer::refresh_divisor() const {
  const double hz = refresh_hz();
  if (hz <= 0) return 0;
  const double n = std::round(hz / kPaceHz);
  if (n >= 1 && std::fabs(hz - n * kPaceHz) <= kPaceMultipleTolerance * n * kPaceHz) return static_cast<int>(n);
  return hz < kPaceHz ? 1 : 0;
}

uint64_t FramePacer::refresh_period_us() const {
  const double hz = refresh_hz();
  return hz > 0 ? static_cast<uint64_t>(1e6 / hz) : 0;
}

// Records the gap since the last refresh; the rate is the middle gap's of
// the last kPaceLearnIntervals (one odd gap, a slow frame, does not move it).
void FramePacer::learn(uint64_t t_us) {
  if (have_refresh_ && t_us > last_refresh_ && given_hz_ <= 0) {
    gaps_[gap_next_] = t_us - last_refresh_;
    gap_next_ = (gap_next_ + 1) % kPaceLearnIntervals;
    gap_count_ = std::min(gap_count_ + 1, kPaceLearnIntervals);
    if (gap_count_ == kPaceLearnIntervals) {
      std::array<uint64_t, kPaceLearnIntervals> sorted = gaps_;
      std::nth_element(sorted.begin(), sorted.begin() + kPaceLearnIntervals / 2, sorted.end());
      const double hz = 1e6 / static_cast<double>(sorted[kPaceLearnIntervals / 2]);
      learnt_hz_ = hz >= kMinLearntHz && hz <= kMaxLearntHz ? hz : 0;
    }
  }
  have_refresh_ = true;
  last_refresh_ = t_us;
}

bool FramePacer::due(uint64_t t_us) {
  learn(t_us);
  const int n = refresh_divisor();
  bool go = !have_shown_;
  if (!go && n >= 1) {
    // The n-th refresh after the last frame; half a period of slack either way.
    const uint64_t period = refresh_period_us();
    go = t_us >= last_shown_ && 2 * (t_us - last_shown_) + period >= 2 * static_cast<uint64_t>(n) * period;
  } else if (!go) {
    const uint64_t early = refresh_period_us() * kUnitsPerUs / kEarlyFraction;
    go = t_us * kUnitsPerUs + early >= next_tick_units_;
  }
  if (go) shown_at(t_us);
  return go;
}

uint64_t FramePacer::wait_us(uint64_t now_us) const {
  if (!have_shown_) return 0;
  const uint64_t now = now_us * kUnitsPerUs;
  return now >= next_tick_units_ ? 0 : (next_tick_units_ - now + kUnitsPerUs - 1) / kUnitsPerUs;
}

void FramePacer::shown_at(uint64_t now_us) {
  if (!have_shown_) next_tick_units_ = now_us * kUnitsPerUs;
  have_shown_ = true;
  last_shown_ = now_us;
  next_tick_after(now_us);
}

// The tick after the one just used. A frame less than a tick late keeps the
// ticks' phase (whole-millisecond sleeps average out); a slow frame that let
// a whole tick pass starts the ticks anew from itself.
void FramePacer::next_tick_after(uint64_t t_us) {
  const uint64_t now = t_us * kUnitsPerUs;
  next_tick_units_ += kUnitsPerTick;
  if (next_tick_units_ <= now) next_tick_units_ = now + kUnitsPerTick;
}

}  // namespace platform
