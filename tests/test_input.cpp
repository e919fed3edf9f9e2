// Mouse state from relative counts: start, clamping, buttons, failed and lost
// reads, the rectangle test, and the log lines of a failed start.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/headless.h"
#include "platform/input.h"
#include "resources/log.h"

namespace {

using platform::HeadlessBackend;
using platform::HeadlessConfig;
using platform::MouseSample;
using platform::ScriptEvent;

ScriptEvent move(int32_t dx, int32_t dy) {
  ScriptEvent ev;
  ev.kind = ScriptEvent::Kind::Move;
  ev.dx = dx;
  ev.dy = dy;
  return ev;
}

ScriptEvent button(ScriptEvent::Kind kind, int which) {
  ScriptEvent ev;
  ev.kind = kind;
  ev.button = which;
  return ev;
}

// A headless backend whose reads hand out exactly the given samples.
class RawMouse : public HeadlessBackend {
 public:
  std::deque<MouseSample> samples;
  int32_t mouse_read(MouseSample& sample) override {
    if (samples.empty()) {
      sample = MouseSample{0, 0, 0, {0, 0, 0, 0}};
    } else {
      sample = samples.front();
      samples.pop_front();
    }
    return platform::kMouseOk;
  }
};

class MouseTest : public ::testing::Test {
 protected:
  void start(std::vector<ScriptEvent> script = {}) {
    HeadlessConfig config;
    config.script = std::move(script);
    hb_ = std::make_unique<HeadlessBackend>(config);
    platform::backend_install(hb_.get());
    ASSERT_EQ(mouse_init(hb_->window_handle()), 0);
  }
  void TearDown() override {
    mouse_close();
    platform::backend_install(nullptr);
  }
  std::unique_ptr<HeadlessBackend> hb_;
};

TEST_F(MouseTest, StartsInTheMiddleWithButtonsUpBeforeAnyPoll) {
  mouse_x = 7;
  mouse_y = 9;
  mouse_left = 1;
  mouse_right = 1;
  start();
  EXPECT_EQ(mouse_x, 320);
  EXPECT_EQ(mouse_y, 240);
  EXPECT_EQ(mouse_left, 0);
  EXPECT_EQ(mouse_right, 0);
  EXPECT_TRUE(hb_->mouse_is_open());
}

TEST_F(MouseTest, MotionIsAddedUnscaledAndClamped) {
  struct Case {
    int32_t dx, dy;
    int32_t x, y;
  };
  const Case cases[] = {
      {-1000, 1000, 0, 464},
      {400, 0, 624, 240},
      {0, 0, 320, 240},
      {1, -1, 321, 239},
      {-320, -240, 0, 0},
      {304, 224, 624, 464},
      {305, 225, 624, 464},
      {-321, -241, 0, 0},
      {INT32_MIN, INT32_MAX, 0, 464},  // no overflow on the way
      {INT32_MAX, INT32_MIN, 624, 0},
  };
  for (const Case& c : cases) {
    start({move(c.dx, c.dy)});
    EXPECT_EQ(mouse_poll(), 0);
    EXPECT_EQ(mouse_x, c.x) << c.dx << "," << c.dy;
    EXPECT_EQ(mouse_y, c.y) << c.dx << "," << c.dy;
    mouse_close();
  }
}

TEST_F(MouseTest, ButtonIsDownExactlyWhenBit7IsSet) {
  struct Case {
    uint8_t left, right;
    uint8_t want_left, want_right;
  };
  const Case cases[] = {
      {0x80, 0x00, 1, 0}, {0x7F, 0x80, 0, 1}, {0xFF, 0x7F, 1, 0}, {0x00, 0x00, 0, 0}, {0x81, 0xC0, 1, 1},
  };
  RawMouse raw;
  platform::backend_install(&raw);
  ASSERT_EQ(mouse_init(nullptr), 0);
  for (const Case& c : cases) {
    // Bytes 2 and 3 and the wheel are ignored.
    raw.samples.push_back(MouseSample{0, 0, 120, {c.left, c.right, 0x80, 0x80}});
    ASSERT_EQ(mouse_poll(), 0);
    EXPECT_EQ(mouse_left, c.want_left) << int(c.left);
    EXPECT_EQ(mouse_right, c.want_right) << int(c.right);
  }
  EXPECT_EQ(mouse_x, 320);
  EXPECT_EQ(mouse_y, 240);
  mouse_close();
}

// Before the first poll nothing reads the mouse: a tap then is dropped, a
// button still held reads as down. After it, a press and release between two
// polls (a tap) reads as down at the next poll and up at the one after; a
// held button reads as down until released.
TEST_F(MouseTest, PressesCountFromTheFirstPollOn) {
  using K = ScriptEvent::Kind;
  auto at = [](ScriptEvent ev, uint64_t frame) {
    ev.frame = frame;
    return ev;
  };
  std::vector<ScriptEvent> script = {
      button(K::Down, 0), button(K::Up, 0), button(K::Down, 1),           // frame 0: left tapped, right held
      at(button(K::Up, 1), 1),                                            // frame 1: right let go
      at(button(K::Down, 0), 2), at(button(K::Up, 0), 2),                 // frame 2: both tapped
      at(button(K::Down, 1), 2), at(button(K::Up, 1), 2),
      at(button(K::Down, 0), 3), at(button(K::Down, 1), 3),               // frame 3: both held
      at(button(K::Up, 0), 4),                                            // frame 4: left let go
  };
  start(script);
  const std::vector<uint32_t> frame(16, 0);
  struct Poll {
    bool present_first;
    uint8_t left, right;
  };
  const Poll polls[] = {{false, 0, 1}, {true, 0, 0}, {true, 1, 1}, {false, 0, 0},
                        {true, 1, 1},  {false, 1, 1}, {true, 0, 1}};
  int index = 0;
  for (const Poll& p : polls) {
    if (p.present_first) hb_->window_present(frame.data(), 4, 4);
    ASSERT_EQ(mouse_poll(), 0);
    EXPECT_EQ(mouse_left, p.left) << "poll " << index;
    EXPECT_EQ(mouse_right, p.right) << "poll " << index;
    ++index;
  }
}

TEST_F(MouseTest, FailedReadKeepsTheStateAndReturnsTheError) {
  start({move(-100, -100), button(ScriptEvent::Kind::Down, 0)});
  hb_->fail_mouse_reads(platform::kMouseGenericError);
  EXPECT_EQ(mouse_poll(), platform::kMouseGenericError);
  EXPECT_EQ(mouse_x, 320);
  EXPECT_EQ(mouse_y, 240);
  EXPECT_EQ(mouse_left, 0);
  // The next good read brings what was pending.
  EXPECT_EQ(mouse_poll(), 0);
  EXPECT_EQ(mouse_x, 220);
  EXPECT_EQ(mouse_y, 140);
  EXPECT_EQ(mouse_left, 1);
}

TEST_F(MouseTest, LostInputIsAcquiredAgainAndRead) {
  start({move(10, 20)});
  hb_->fail_mouse_reads(platform::kMouseInputLost);
  EXPECT_EQ(mouse_poll(), 0);
  EXPECT_EQ(mouse_x, 330);
  EXPECT_EQ(mouse_y, 260);
  // acquire, read (lost), acquire again, then acquire and read once more.
  EXPECT_EQ(hb_->mouse_reads(), 2);
  EXPECT_EQ(hb_->mouse_acquires(), 3);
}

TEST_F(MouseTest, LostInputThatCannotBeAcquiredReturnsThatResult) {
  start({move(10, 20)});
  hb_->fail_mouse_reads(platform::kMouseInputLost);
  // The first acquire of a poll is not examined; the one after the lost read is.
  hb_->fail_mouse_acquires(platform::kMouseNotAcquired, 2);
  EXPECT_EQ(mouse_poll(), platform::kMouseNotAcquired);
  EXPECT_EQ(mouse_x, 320);
  EXPECT_EQ(mouse_y, 240);
  EXPECT_EQ(hb_->mouse_reads(), 1);
}

TEST_F(MouseTest, InputLostForeverGivesUpWithStateUnchanged) {
  start({move(10, 20)});
  hb_->fail_mouse_reads(platform::kMouseInputLost, 1000);
  EXPECT_EQ(mouse_poll(), platform::kMouseInputLost);
  EXPECT_EQ(hb_->mouse_reads(), kMouseReacquireTries);
  EXPECT_EQ(mouse_x, 320);
  EXPECT_EQ(mouse_y, 240);
}

TEST(MouseRect, InclusiveAndUnsigned) {
  struct Case {
    int32_t x, y;
    int32_t left, top, right, bottom;
    bool inside;
  };
  const Case cases[] = {
      {0, 50, 0, 0, 640, 50, true},
      {624, 0, 0, 0, 640, 50, true},
      {0, 51, 0, 0, 640, 50, false},
      {10, 10, 10, 10, 10, 10, true},
      {9, 10, 10, 10, 20, 20, false},
      {21, 10, 10, 10, 20, 20, false},
      // Compared unsigned: a negative left is above every position.
      {100, 100, -1, 0, 640, 480, false},
      {100, 100, 0, 0, -1, -1, true},
  };
  for (const Case& c : cases) {
    mouse_x = c.x;
    mouse_y = c.y;
    EXPECT_EQ(mouse_in_rect(c.left, c.top, c.right, c.bottom), c.inside)
        << "(" << c.x << "," << c.y << ") in " << c.left << "," << c.top << "," << c.right << "," << c.bottom;
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MouseInit, FailureReturnsTheCodeAndLogsItsName) {
  struct Case {
    int32_t code;
    const char* line;
  };
  const Case cases[] = {
      {kMouseErrInvalidParam, "DIERR_INVALIDPARAM\n"},
      {kMouseErrOutOfMemory, "DIERR_OUTOFMEMORY\n"},
      {kMouseErrOldVersion, " DIERR_OLDDIRECTINPUTVERSION\n"},
      {kMouseErrBetaVersion, "DIERR_BETADIRECTINPUTVERSION\n"},
      {platform::kMouseGenericError, ""},
  };
  ASSERT_NE(g_log, nullptr);
  const std::string path = ::testing::TempDir() + "mouse_init_" + std::to_string(getpid()) + ".log";
  for (const Case& c : cases) {
    std::remove(path.c_str());
    log_enable(g_log, path.c_str());
    HeadlessConfig config;
    config.fail_mouse = true;
    config.fail_mouse_code = c.code;
    HeadlessBackend hb(config);
    platform::backend_install(&hb);
    EXPECT_EQ(mouse_init(hb.window_handle()), c.code);
    EXPECT_EQ(mouse_x, 320);
    EXPECT_EQ(mouse_y, 240);
    EXPECT_EQ(read_file(path), c.line);
    // No device: polling changes nothing.
    EXPECT_EQ(mouse_poll(), 0);
    EXPECT_EQ(hb.mouse_reads(), 0);
    log_enable(g_log, nullptr);
    platform::backend_install(nullptr);
  }
  std::remove(path.c_str());
}

}  // namespace
