// soundclock: the music clock as a pure function of what the audio device
// reported, so that tests can drive it without a device.
//
// At each device callback the backend records how many frames the device had
// been handed before that callback (taken as consumed by then), how many the
// callback handed it, and the time. Between callbacks the clock interpolates
// with the elapsed time, at most up to the frames handed out, so a reading is
// never more than one device buffer away from the frames consumed. The
// frame count only grows (a loop of the track does not reset it), and
// SoundClock holds the largest reading, so the clock never goes backwards.
// Milliseconds are truncated; a clock past 2^32 - 1 ms stays there.
#pragma once

#include <cstdint>

#include "platform/backend.h"

namespace platform {

struct SoundClockSample {
  uint64_t frames_before = 0;  // frames handed to the device before the callback
  uint64_t frames = 0;         // frames handed out by that callback
  uint64_t counter = 0;        // time of the callback, in counter ticks
  bool valid = false;          // false until the first callback
};

// Frames played at time `now` (counter ticks, `frequency` ticks per second)
// for a device running at `rate` frames per second.
uint64_t sound_clock_frames(const SoundClockSample& sample, uint64_t now, uint64_t frequency, int rate);

// The same in whole milliseconds, saturated to 32 bits.
uint32_t sound_clock_ms(const SoundClockSample& sample, uint64_t now, uint64_t frequency, int rate);

class SoundClock {
 public:
  void reset(int rate);
  // sound_clock_ms, never below an earlier reading.
  uint32_t read(const SoundClockSample& sample, uint64_t now, uint64_t frequency);

 private:
  int rate_ = kPcmRate;
  uint32_t last_ms_ = 0;
};

}  // namespace platform
