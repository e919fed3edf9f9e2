// soundclock: see soundclock.h.
#include "platform/soundclock.h"

#include <algorithm>

namespace platform {

void SoundClock::reset(int rate, int buffer_frames) {
  rate_ = rate > 0 ? rate : 44100;
  buffer_frames_ = buffer_frames;
  last_ms_ = 0;
}

uint32_t SoundClock::read(const SoundClockSample& sample, uint64_t now, uint64_t frequency) {
  if (!sample.valid || frequency == 0) return last_ms_;
  const uint64_t elapsed_ticks = now > sample.counter ? now - sample.counter : 0;
  // Frames the device has played since the callback, at most the ones it got.
  const uint64_t elapsed_frames = std::min<uint64_t>(
      elapsed_ticks * static_cast<uint64_t>(rate_) / frequency, sample.frames);
  const uint64_t consumed = sample.frames_before + elapsed_frames;
  const uint64_t ms = consumed * 1000 / static_cast<uint64_t>(rate_);
  const uint32_t now_ms = static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
  last_ms_ = std::max(last_ms_, now_ms);
  return last_ms_;
}

}  // namespace platform
