// soundclock: see soundclock.h.
#include "platform/soundclock.h"

#include <algorithm>

#include "platform/backend.h"

namespace platform {

uint64_t sound_clock_frames(const SoundClockSample& sample, uint64_t now, uint64_t frequency, int rate) {
  if (!sample.valid || frequency == 0 || rate <= 0) return 0;
  const uint64_t elapsed_ticks = now > sample.counter ? now - sample.counter : 0;
  // Ticks that cover the whole buffer (rounded up); past them the device can
  // have played no more than it was given. Testing this first also keeps
  // elapsed_ticks x rate far from overflow after a long stall.
  const uint64_t buffer_ticks = (sample.frames * frequency + static_cast<uint64_t>(rate) - 1) / static_cast<uint64_t>(rate);
  const uint64_t elapsed_frames =
      elapsed_ticks >= buffer_ticks ? sample.frames : elapsed_ticks * static_cast<uint64_t>(rate) / frequency;
  return sample.frames_before + std::min(elapsed_frames, sample.frames);
}

uint32_t sound_clock_ms(const SoundClockSample& sample, uint64_t now, uint64_t frequency, int rate) {
  if (rate <= 0) return 0;
  const uint64_t ms = sound_clock_frames(sample, now, frequency, rate) * 1000 / static_cast<uint64_t>(rate);
  return static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX));
}

void SoundClock::reset(int rate) {
  rate_ = rate > 0 ? rate : kPcmRate;
  last_ms_ = 0;
}

uint32_t SoundClock::read(const SoundClockSample& sample, uint64_t now, uint64_t frequency) {
  last_ms_ = std::max(last_ms_, sound_clock_ms(sample, now, frequency, rate_));
  return last_ms_;
}

}  // namespace platform
