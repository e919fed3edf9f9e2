// soundclock: the music clock as a pure function of what the audio device
// reported, so that tests can drive it without a device.
//
// At each device callback the backend records how many frames it had handed
// out before that callback (those the device has consumed), how many it hands
// out now, and the time. Between callbacks the clock interpolates with the
// elapsed time, never beyond the frames handed out, and never goes backwards.
#pragma once

#include <cstdint>

namespace platform {

struct SoundClockSample {
  uint64_t frames_before = 0;  // frames consumed when the callback ran
  uint64_t frames = 0;         // frames handed out by that callback
  uint64_t counter = 0;        // time of the callback, in counter ticks
  bool valid = false;          // false until the first callback
};

class SoundClock {
 public:
  void reset(int rate, int buffer_frames);
  // Milliseconds played at time `now` (counter ticks, `frequency` per second).
  uint32_t read(const SoundClockSample& sample, uint64_t now, uint64_t frequency);

 private:
  int rate_ = 44100;
  int buffer_frames_ = 0;
  uint32_t last_ms_ = 0;
};

}  // namespace platform
