// stall: the music clock that never stops the picture. The opening is
// clocked by the music; an audio device that opens but stops consuming
// samples (a headset unplugged, a Bluetooth device switching profile, a
// browser's audio context suspended) would hold it forever.
//
// StallGuard turns the device's clock into the music clock. While the device
// clock advances, the music clock advances with it. When it has not advanced
// for kStallGraceMs of the time it is given, the device counts as stalled and
// the music clock goes on with that time from where it stood (so it stood
// still for the grace, then runs in real time, silently). When the device
// clock advances again, the device plays again and the music clock follows
// it once more. The music clock never goes backwards and never jumps; a
// device clock that starts again from zero (a reopened device) is taken as
// standing still. It is a pure function of the readings it is given: real
// time on the desktop and in the browser, the virtual clock in the headless
// backend (so a capture stays repeatable).
#pragma once

#include <cstdint>

namespace platform {

constexpr uint64_t kStallGraceMs = 500;

enum class StallChange { None, Stalled, Resumed };

class StallGuard {
 public:
  // Forgets everything (a new play): the next reading starts the clock.
  void reset();
  // The device clock read device_ms at time now_ms (both only grow, except
  // a reopened device's clock). Returns the music clock, saturated to 32 bits.
  uint32_t read(uint32_t device_ms, uint64_t now_ms);
  // What the last read changed.
  StallChange change() const { return change_; }
  bool stalled() const { return stalled_; }

 private:
  bool started_ = false;
  bool stalled_ = false;
  StallChange change_ = StallChange::None;
  uint64_t music_ms_ = 0;
  uint32_t last_device_ms_ = 0;
  uint64_t last_now_ms_ = 0;
  uint64_t moved_at_ms_ = 0;  // when the device clock last advanced
};

}  // namespace platform
