// The mouse contract that the SDL and web backends share (pointer.h) and the
// key queue of all three backends. The scenario runs the input layer over a
// backend whose mouse is built as those two build theirs, so what is checked
// is what the menu sees: presses before and after acquiring, a click
// released before the read, the pointer followed to every edge.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/headless.h"
#include "platform/input.h"
#include "platform/keyqueue.h"
#include "platform/pointer.h"

namespace {

using platform::KeyQueue;
using platform::MouseDevice;
using platform::MouseSample;

constexpr uint8_t kDown = 0x80;

// The headless backend with the SDL and web backends' mouse: the user's
// pointer given as positions on the picture, buttons through the latch.
class FollowingMouse : public platform::HeadlessBackend {
 public:
  int32_t mouse_open() override {
    mouse.open();
    mouse.pointer().move_to(kMouseStartX, kMouseStartY);
    mouse.pointer().read_from(kMouseStartX, kMouseStartY);
    return platform::kMouseOk;
  }
  int32_t mouse_acquire() override {
    if (!mouse.is_open()) return platform::kMouseNotAcquired;
    mouse.buttons().acquire();
    return platform::kMouseOk;
  }
  int32_t mouse_read(MouseSample& sample) override { return mouse.read(sample); }
  void mouse_close() override { mouse.close(); }

  MouseDevice mouse;
};

class PointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::backend_install(&backend_);
    ASSERT_EQ(mouse_init(backend_.window_handle()), 0);
  }
  void TearDown() override {
    mouse_close();
    platform::backend_install(nullptr);
  }
  // The menu's poll: returns "x,y L R" as the program sees it.
  std::string poll() {
    EXPECT_EQ(mouse_poll(), 0);
    return std::to_string(mouse_x) + "," + std::to_string(mouse_y) + " " + std::to_string(mouse_left) + " " +
           std::to_string(mouse_right);
  }
  FollowingMouse backend_;
};

TEST_F(PointerTest, ButtonsCountFromAcquiringAndShortClicksAreNotLost) {
  platform::ButtonLatch& buttons = backend_.mouse.buttons();
  // During the loading and the opening nothing reads the mouse: a click then
  // is dropped, and a right button pressed and still held is simply down.
  buttons.set(0, true);
  buttons.set(0, false);
  buttons.set(1, true);
  EXPECT_FALSE(buttons.acquired());
  EXPECT_EQ(poll(), "320,240 0 1");
  EXPECT_TRUE(buttons.acquired());
  // From then on a click released before the read reads as down once, and
  // its release shows at the next read.
  buttons.set(1, false);
  buttons.set(0, true);
  buttons.set(0, false);
  EXPECT_TRUE(buttons.pressed_since_read());
  EXPECT_EQ(poll(), "320,240 1 0");
  EXPECT_FALSE(buttons.pressed_since_read());
  EXPECT_EQ(poll(), "320,240 0 0");
  // A held button stays down over reads; buttons other than the two are
  // ignored.
  buttons.set(1, true);
  buttons.set(2, true);
  buttons.set(-1, true);
  EXPECT_EQ(poll(), "320,240 0 1");
  EXPECT_EQ(poll(), "320,240 0 1");
  buttons.set(1, false);
  // Closing the device drops the click not yet read; a reader that opens
  // it again counts presses only from its first poll.
  buttons.set(0, true);
  buttons.set(0, false);
  mouse_close();
  EXPECT_FALSE(buttons.acquired());
  MouseSample sample{};
  EXPECT_EQ(backend_.mouse.read(sample), platform::kMouseNotAcquired);
  ASSERT_EQ(mouse_init(backend_.window_handle()), 0);
  buttons.set(1, true);
  buttons.set(1, false);
  EXPECT_EQ(poll(), "320,240 0 0");
}

// The user's pointer, clamped as the input layer clamps, lands exactly
// where the menu's pointer goes, at every edge and corner and from far
// outside the picture.
TEST_F(PointerTest, ThePointerFollowsToEveryEdgeAndStopsThere) {
  platform::PointerFollower& pointer = backend_.mouse.pointer();
  struct Case {
    const char* where;
    int64_t x, y;
    const char* seen;
  };
  const Case cases[] = {
      {"inside", 100, 50, "100,50 0 0"},
      {"left edge", -1, 200, "0,200 0 0"},
      {"right edge", kMouseMaxX + 1, 200, "624,200 0 0"},
      {"top edge", 300, -5, "300,0 0 0"},
      {"bottom edge", 300, kMouseMaxY + 16, "300,464 0 0"},
      {"top left, far out", INT64_MIN, INT64_MIN, "0,0 0 0"},
      {"bottom right, far out", INT64_MAX, INT64_MAX, "624,464 0 0"},
      {"exactly at the maxima", kMouseMaxX, kMouseMaxY, "624,464 0 0"},
      {"back inside", 1, 1, "1,1 0 0"},
  };
  for (const Case& c : cases) {
    pointer.move_to(c.x, c.y);
    EXPECT_EQ(poll(), c.seen) << c.where;
  }
  // Relative moves (the page's locked pointer) clamp the same way and count
  // from the clamped place, not from beyond the edge.
  pointer.move_by(-1000, -1000);
  EXPECT_EQ(poll(), "0,0 0 0");
  pointer.move_by(10, 20);
  EXPECT_EQ(poll(), "10,20 0 0");
  pointer.move_by(INT64_MAX / 2, 0);
  EXPECT_EQ(poll(), "624,20 0 0");
  // No motion since the last read: the menu's pointer stays.
  EXPECT_EQ(poll(), "624,20 0 0");
}

// The headless backend's counts are added as they come, saturating, on top
// of whatever the followed pointer did; a closed device gives nothing.
TEST(MouseDevice, CountsSaturateAndAreHandedOutOnce) {
  MouseDevice mouse;
  MouseSample sample{};
  mouse.add_counts(5, -7);
  EXPECT_EQ(mouse.read(sample), platform::kMouseNotAcquired);
  mouse.open();
  mouse.add_counts(INT32_MAX, INT32_MIN);
  mouse.add_counts(INT32_MAX, -1);
  ASSERT_EQ(mouse.read(sample), platform::kMouseOk);
  EXPECT_EQ(sample.dx, INT32_MAX);
  EXPECT_EQ(sample.dy, INT32_MIN);
  ASSERT_EQ(mouse.read(sample), platform::kMouseOk);
  EXPECT_EQ(sample.dx, 0);
  EXPECT_EQ(sample.dy, 0);
  EXPECT_EQ(sample.buttons[0] | sample.buttons[1], 0);
  mouse.buttons().acquire();
  mouse.buttons().set(0, true);
  ASSERT_EQ(mouse.read(sample), platform::kMouseOk);
  EXPECT_EQ(sample.buttons[0], kDown);
}

TEST(KeyQueue, OldestFirstZeroWhenEmptyAndFullQueuesDropTheNewest) {
  KeyQueue unlimited;
  for (int code = 1; code <= 1000; ++code) unlimited.push(code);
  int expected = 1;
  while (unlimited.waiting()) EXPECT_EQ(unlimited.read(), expected++);
  EXPECT_EQ(expected, 1001);
  EXPECT_EQ(unlimited.read(), 0);

  KeyQueue limited(2);
  limited.push(27);
  limited.push(13);
  limited.push(32);
  EXPECT_EQ(limited.read(), 27);
  limited.push(65);
  EXPECT_EQ(limited.read(), 13);
  EXPECT_EQ(limited.read(), 65);
  EXPECT_FALSE(limited.waiting());
}

}  // namespace
