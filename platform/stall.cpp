// stall: see stall.h.
#include "platform/stall.h"

#include <algorithm>

namespace platform {

void StallGuard::reset() {
  *this = StallGuard();
}

uint32_t StallGuard::read(uint32_t device_ms, uint64_t now_ms) {
  change_ = StallChange::None;
  if (!started_) {
    started_ = true;
    music_ms_ = device_ms;
    moved_at_ms_ = now_ms;
  } else {
    const uint64_t elapsed = now_ms > last_now_ms_ ? now_ms - last_now_ms_ : 0;
    if (device_ms > last_device_ms_) {
      // The step that ends a stall is still real time: the device's own
      // first step may hold samples it played before.
      music_ms_ += stalled_ ? elapsed : device_ms - last_device_ms_;
      if (stalled_) change_ = StallChange::Resumed;
      stalled_ = false;
      moved_at_ms_ = now_ms;
    } else if (stalled_) {
      music_ms_ += elapsed;
    } else if (now_ms >= moved_at_ms_ + kStallGraceMs) {
      stalled_ = true;
      change_ = StallChange::Stalled;
    }
  }
  last_device_ms_ = device_ms;
  last_now_ms_ = std::max(last_now_ms_, now_ms);
  return static_cast<uint32_t>(std::min<uint64_t>(music_ms_, UINT32_MAX));
}

}  // namespace platform
