// pointer: see pointer.h.
#include "platform/pointer.h"

#include <algorithm>
#include <climits>

#include "platform/input.h"

namespace platform {

namespace {

constexpr uint8_t kButtonDown = 0x80;

int32_t clamped(int64_t v, int32_t max) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, max));
}

int32_t saturated_sum(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

}  // namespace

void ButtonLatch::set(int button, bool down) {
  if (button < 0 || button >= kLatchedButtons) return;
  down_[button] = down;
  if (down && acquired_) pressed_[button] = true;
}

bool ButtonLatch::acquire() {
  const bool first = !acquired_;
  acquired_ = true;
  return first;
}

void ButtonLatch::release() {
  acquired_ = false;
  pressed_[0] = pressed_[1] = false;
}

void ButtonLatch::read_into(MouseSample& sample) {
  for (int b = 0; b < kLatchedButtons; ++b) {
    sample.buttons[b] = (down_[b] || pressed_[b]) ? kButtonDown : 0;
    pressed_[b] = false;
  }
}

void PointerFollower::move_to(int64_t x, int64_t y) {
  x_ = clamped(x, kMouseMaxX);
  y_ = clamped(y, kMouseMaxY);
}

void PointerFollower::move_by(int64_t dx, int64_t dy) {
  move_to(x_ + dx, y_ + dy);
}

void PointerFollower::read_from(int32_t x, int32_t y) {
  read_x_ = x;
  read_y_ = y;
}

void PointerFollower::read_into(MouseSample& sample) {
  sample.dx = x_ - read_x_;
  sample.dy = y_ - read_y_;
  read_from(x_, y_);
}

void MouseDevice::close() {
  open_ = false;
  buttons_.release();
}

void MouseDevice::add_counts(int32_t dx, int32_t dy) {
  dx_ = saturated_sum(dx_, dx);
  dy_ = saturated_sum(dy_, dy);
}

int32_t MouseDevice::read(MouseSample& sample) {
  if (!open_) return kMouseNotAcquired;
  sample = MouseSample{0, 0, 0, {0, 0, 0, 0}};
  pointer_.read_into(sample);
  sample.dx = saturated_sum(sample.dx, dx_);
  sample.dy = saturated_sum(sample.dy, dy_);
  dx_ = dy_ = 0;
  buttons_.read_into(sample);
  return kMouseOk;
}

}  // namespace platform
