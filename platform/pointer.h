// pointer: what the backends share in turning a pointing device into the
// mouse device's reads.
//  - ButtonLatch: the left and right buttons. Presses count only once the
//    device is acquired (the first poll of the menu): a press made while
//    nothing reads the mouse (loading, the opening) is dropped, and a button
//    still held then reads as down, as the hardware state would. From then
//    on a button pressed at any time since the last read reads as down at
//    that read, even when it was released before it (short clicks and taps
//    count); its release shows at the next read.
//  - PointerFollower: the user's pointer as a position on the picture,
//    clamped as the input layer clamps, turned into relative counts, so that
//    the input layer's pointer lands exactly where the user's is.
//  - MouseDevice: a backend's mouse device: open or closed, the latch, and
//    the motion since the last read, either as the user's pointer on the
//    picture (the SDL and web backends move pointer()) or as relative counts
//    (the headless backend's script adds them with add_counts).
#pragma once

#include <cstdint>

#include "platform/backend.h"

namespace platform {

constexpr int kLatchedButtons = 2;  // 0 left, 1 right

class ButtonLatch {
 public:
  // Button 0 or 1 goes down or up; other buttons are ignored.
  void set(int button, bool down);
  bool pressed_since_read() const { return pressed_[0] || pressed_[1]; }
  // The reader takes the device: presses count from now on. True the first
  // time (the backend may tell its user that the pointer is now read).
  bool acquire();
  // The reader lets the device go (it closed): presses are dropped again.
  // Held buttons stay known.
  void release();
  bool acquired() const { return acquired_; }
  // Fills the sample's first two button bytes and forgets the presses.
  void read_into(MouseSample& sample);

 private:
  bool acquired_ = false;
  bool down_[kLatchedButtons] = {false, false};
  bool pressed_[kLatchedButtons] = {false, false};
};

class PointerFollower {
 public:
  // The user's pointer moves to (x, y) on the picture, or by (dx, dy);
  // either is clamped to 0..kMouseMaxX and 0..kMouseMaxY.
  void move_to(int64_t x, int64_t y);
  void move_by(int64_t dx, int64_t dy);
  // The input layer's pointer is at (x, y): the next read counts from there.
  void read_from(int32_t x, int32_t y);
  // Sets the sample's counts to the way from the last read to the user's
  // pointer.
  void read_into(MouseSample& sample);

 private:
  int32_t x_ = 0;  // the user's pointer
  int32_t y_ = 0;
  int32_t read_x_ = 0;  // where the reads so far have put the input layer's pointer
  int32_t read_y_ = 0;
};

class MouseDevice {
 public:
  void open() { open_ = true; }
  // Presses are dropped again until the next acquire; the pointer and the
  // counts not yet read stay.
  void close();
  bool is_open() const { return open_; }
  // Relative motion, saturating instead of wrapping.
  void add_counts(int32_t dx, int32_t dy);
  // kMouseNotAcquired while closed. Otherwise the sample gets the way the
  // pointer went and the counts added since the last read, and the buttons.
  int32_t read(MouseSample& sample);

  PointerFollower& pointer() { return pointer_; }
  ButtonLatch& buttons() { return buttons_; }

 private:
  bool open_ = false;
  int32_t dx_ = 0;
  int32_t dy_ = 0;
  PointerFollower pointer_;
  ButtonLatch buttons_;
};

}  // namespace platform
