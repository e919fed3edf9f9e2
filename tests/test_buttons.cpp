// Buttons and pointer: hit rectangles and their clamping, hovering,
// choosing, drawing of the highlights, and the pointer at the screen's
// last position.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx2d/buttons.h"
#include "gfx2d/surfaces.h"
#include "gfx_support.h"
#include "platform/display.h"
#include "platform/input.h"
#include "res_support.h"

namespace {

using gfx_test::fill;
using gfx_test::kFormat;
using gfx_test::pixels_of;
using gfx_test::put;
using gfx_test::test_picture;
using gfx_test::write_png;

constexpr uint32_t kPanel = 0x00404040;

class ButtonsTest : public res_test::ResourceTest {
 protected:
  void SetUp() override {
    ResourceTest::SetUp();
    buttonlist = buttonset{};
    surface_list_destroy();
    surface_list.count = 0;
    screen = new ptc::Surface(640, 480, kFormat);
    fill(*screen, kPanel);
    mouse_x = 0;
    mouse_y = 0;
    mouse_left = 0;
    mouse_right = 0;
  }
  void TearDown() override {
    delete screen;
    screen = nullptr;
    surface_list_destroy();
    surface_list.count = 0;
    buttonlist = buttonset{};
    ResourceTest::TearDown();
  }

  // Registers a w x h highlight, its pixels starting at first, at (x, y).
  void add(const std::string& name, int w, int h, int x, int y, uint32_t first = 0x00102030) {
    write_png(name.c_str(), test_picture(w, h, first), w, h);
    button_add(name.c_str(), x, y);
  }

  void point(int x, int y, bool left) {
    mouse_x = x;
    mouse_y = y;
    mouse_left = left ? 1 : 0;
  }

  // Whether screen shows the w x h highlight starting at first at (x, y).
  bool shows(int w, int h, int x, int y, uint32_t first) {
    const std::vector<uint32_t> px = pixels_of(*screen);
    const std::vector<uint32_t> pic = test_picture(w, h, first);
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < w; ++c) {
        if (px[(y + r) * 640 + x + c] != pic[r * w + c]) return false;
      }
    }
    return true;
  }
};

TEST_F(ButtonsTest, HitRectangleReachesTwoPastThePictureAndIsClamped) {
  const struct {
    int32_t w, h, x, y;
    int32_t left, top, right, bottom;
  } cases[] = {
      {100, 20, 245, 202, 245, 202, 347, 224},
      {200, 200, 700, 500, 700, 500, 800, 600},
      {10, 10, -5, -7, 0, 0, 7, 5},
      {50, 50, 790, 590, 790, 590, 800, 600},
      {4, 4, 900, 700, 800, 600, 800, 600},
  };
  uint32_t i = 0;
  for (const auto& tc : cases) {
    add("b" + std::to_string(i) + ".png", tc.w, tc.h, tc.x, tc.y);
    ASSERT_EQ(buttonlist.button_count, i + 1);
    const button& b = buttonlist.buttons[i];
    EXPECT_EQ((std::array{b.hit_left, b.hit_top, b.hit_right, b.hit_bottom}),
              (std::array{tc.left, tc.top, tc.right, tc.bottom}))
        << i;
    EXPECT_EQ((std::array{b.pic_width, b.pic_height, b.draw_x, b.draw_y, b.hovered}),
              (std::array{tc.w, tc.h, tc.x, tc.y, 0}))
        << i;
    ++i;
  }
}

TEST_F(ButtonsTest, PointerHoversInsideTheRectangleBoundsIncluded) {
  add("on_compo.png", 100, 20, 245, 202);
  const struct {
    int x, y;
    int hovered;
  } cases[] = {
      {347, 224, 1}, {348, 224, 0}, {245, 202, 1}, {244, 202, 0},
      {245, 201, 0}, {300, 225, 0}, {300, 210, 1},
  };
  for (const auto& tc : cases) {
    point(tc.x, tc.y, false);
    buttons_update();
    EXPECT_EQ(buttonlist.buttons[0].hovered, tc.hovered) << tc.x << "," << tc.y;
  }
}

TEST_F(ButtonsTest, HoverWithoutClickDrawsTheHighlightAndKeepsTheChoice) {
  add("on_info.png", 100, 20, 244, 164, 0x00100000);
  add("on_compo.png", 100, 20, 245, 202, 0x00200000);
  add("on_contact.png", 100, 20, 245, 237, 0x00300000);
  buttonlist.chosen = 1234;
  point(300, 240, false);
  buttons_update();
  EXPECT_EQ(buttonlist.chosen, 1234u);
  EXPECT_EQ(buttonlist.buttons[2].hovered, 1);
  EXPECT_TRUE(shows(100, 20, 245, 237, 0x00300000));
  // Nothing of the other buttons is drawn.
  const std::vector<uint32_t> px = pixels_of(*screen);
  EXPECT_EQ(px[164 * 640 + 244], kPanel);
  EXPECT_EQ(px[202 * 640 + 245], kPanel);
}

TEST_F(ButtonsTest, ClickChoosesAndTheChoiceStaysAfterThePointerLeaves) {
  add("on_info.png", 100, 20, 244, 164);
  add("on_compo.png", 100, 20, 245, 202);
  add("on_contact.png", 100, 20, 245, 237);
  EXPECT_EQ(buttonlist.chosen, kChosenNone);
  point(300, 240, true);
  buttons_update();
  EXPECT_EQ(buttonlist.chosen, 2u);
  point(10, 10, true);
  buttons_update();
  EXPECT_EQ(buttonlist.chosen, 2u);
  point(10, 10, false);
  buttons_update();
  EXPECT_EQ(buttonlist.chosen, 2u);
  EXPECT_EQ(buttonlist.buttons[2].hovered, 0);
}

// Where hit rectangles overlap, every button under the pointer is lit, in
// index order (the later highlight on top), and a click chooses the last.
TEST_F(ButtonsTest, OverlappingButtonsChooseTheLastInIndexOrder) {
  add("on_info.png", 100, 20, 200, 200, 0x00100000);
  add("on_compo.png", 100, 20, 250, 210, 0x00200000);
  add("on_contact.png", 100, 20, 400, 400, 0x00300000);
  point(270, 215, true);
  buttons_update();
  EXPECT_EQ(buttonlist.chosen, 1u);
  EXPECT_EQ(buttonlist.buttons[0].hovered, 1);
  EXPECT_EQ(buttonlist.buttons[1].hovered, 1);
  EXPECT_TRUE(shows(100, 20, 250, 210, 0x00200000));
  const std::vector<uint32_t> px = pixels_of(*screen);
  EXPECT_EQ(px[200 * 640 + 200], test_picture(100, 20, 0x00100000)[0]);
}

// A 20 x 20 pointer at the last mouse position reaches 4 pixels past both
// screen edges: what lies outside is not drawn (the sanitizer sees any
// write past the screen), pixels of value 0 leave the screen visible.
TEST_F(ButtonsTest, PointerIsKeyedAndClippedAtTheScreenEdges) {
  ptc::Surface pointer(20, 20, kFormat);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) put(pointer, x, y, (x + y) % 3 == 0 ? 0u : 0x00FFFFFFu);
  }
  point(kMouseMaxX, kMouseMaxY, false);
  pointer_draw(pointer);
  const std::vector<uint32_t> px = pixels_of(*screen);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      const bool under = x >= 624 && y >= 464 && (x - 624 + y - 464) % 3 != 0;
      ASSERT_EQ(px[y * 640 + x], under ? 0x00FFFFFFu : kPanel) << x << "," << y;
    }
  }
}

}  // namespace
