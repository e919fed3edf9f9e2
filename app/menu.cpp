// menu: see menu.h.
#include "app/menu.h"

#include "app/assets.h"
#include "app/driver.h"
#include "app/stages.h"
#include "gfx2d/buttons.h"
#include "gfx2d/font.h"
#include "gfx2d/pixel.h"
#include "gfx2d/surfaces.h"
#include "gfx2d/textpage.h"
#include "platform/display.h"
#include "platform/input.h"
#include "render3d/scene.h"

uint32_t main_state = kStateMenu;
uint32_t next_state = kNoChoice;
uint8_t busy = 0;
uint32_t xfade_level = 0;
uint32_t back_page = 0;
int64_t fade_level = 255;
uint64_t menu_passes = 0;

namespace {

constexpr uint32_t kEscape = 27;
constexpr uint32_t kPageButtons = 4;
constexpr uint32_t kExitButton = 4;
constexpr uint32_t kXfadeStep = 16;
constexpr uint32_t kXfadeWhole = 256;
constexpr int64_t kFadeStep = 8;
constexpr int64_t kFadeStart = 255;
constexpr int kBackHintX = 10;
constexpr int kBackHintY = 460;
constexpr const char* kBackHint = "[rmb to back]";

bool is_page(uint32_t state) {
  return state >= kStateInfo && state <= kStateCredits;
}

// The translucent 3D window: 100/256 of the rendered blob over the surface.
void put_window(ptc::Surface& surface) {
  overlay_blend(surface, window3d_px, kWindow3dX, kWindow3dY, kWindow3dWidth, kWindow3dHeight);
}

void show_page(uint32_t page, ptc::Surface& surface) {
  textpage& p = textpages[page - 1];
  textpage_scroll(p);
  textpage_draw(surface, p);
}

void start_fade_out() {
  busy = 1;
  main_state = kStateFadeOut;
  next_state = kStateExit;
}

void step_menu() {
  blit_opaque(*screen, *panel, 0, 0);
  put_window(*screen);
  buttons_update();
  const uint32_t c = buttonlist.chosen;
  if (c < kPageButtons) {
    blit_opaque(*target, *textpanel, 0, 0);
    put_window(*target);
    busy = 1;
    main_state = kStateCrossFade;
    show_page(c + 1, *target);
    next_state = c + 1;
    buttonlist.chosen = kNoChoice;
    back_page = 0;
  } else if (c == kExitButton) {
    start_fade_out();
    buttonlist.chosen = kNoChoice;
  }
}

void step_page(uint32_t page) {
  blit_opaque(*screen, *textpanel, 0, 0);
  put_window(*screen);
  show_page(page, *screen);
  text8_draw(*screen, kBackHintX, kBackHintY, "%s", kBackHint);
  if (mouse_right == 1) {
    busy = 1;
    back_page = page;
    main_state = kStateCrossFade;
    next_state = kStateMenu;
    blit_opaque(*target, *panel, 0, 0);
    put_window(*target);
  }
}

void step_cross_fade() {
  if (!busy) return;
  put_window(*screen);
  const bool leaving_page = is_page(back_page);
  if (xfade_level != 0 && leaving_page) show_page(back_page, *screen);
  text8_draw(leaving_page ? *screen : *target, kBackHintX, kBackHintY, "%s", kBackHint);
  transition_blend(*target, *screen, xfade_level);
  xfade_level += kXfadeStep;
  if (xfade_level > kXfadeWhole) {
    busy = 0;
    xfade_level = 0;
    main_state = next_state;
  }
}

void step_fade_out() {
  if (!busy) return;
  void* px = screen->lock();
  fade_span(px, fade_factor(static_cast<uint64_t>(fade_level)), kScreenWidth * kScreenHeight);
  screen->unlock();
  fade_level -= kFadeStep;
  if (fade_level < 0) {
    busy = 0;
    fade_level = kFadeStart;
    main_state = next_state;
  }
}

}  // namespace

bool menu_compose() {
  ++menu_passes;
  if (console.key()) {
    const ptc::Key key = console.read();
    if (static_cast<uint32_t>(key.code()) == kEscape) start_fade_out();
  }
  mouse_poll();
  if (main_state != kStateCrossFade) refresh_window3d();
  switch (main_state) {
    case kStateMenu:
      step_menu();
      break;
    case kStateExit:
      shutdown();
      return false;
    case kStateCrossFade:
      step_cross_fade();
      break;
    case kStateFadeOut:
      step_fade_out();
      break;
    default:
      if (is_page(main_state)) step_page(main_state);
      break;
  }
  if (main_state != kStateFadeOut) pointer_draw(*pointer);
  return true;
}

bool menu_pass() {
  if (!menu_compose()) return false;
  present();
  return true;
}

void menu_loop() {
  while (menu_pass()) {
  }
}
