// buttons: see buttons.h.
#include "gfx2d/buttons.h"

#include <algorithm>

#include "gfx2d/pixel.h"
#include "gfx2d/surfaces.h"
#include "platform/display.h"
#include "platform/input.h"
#include "resources/log.h"

namespace {

int32_t clamp_hit(int64_t v, int32_t max) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, max));
}

}  // namespace

void button_add(const char* name, int32_t x, int32_t y) {
  if (buttonlist.button_count >= kButtonSlots) {
    LOGW("buttons: no room for %s, not registered\n", name);
    return;
  }
  button& b = buttonlist.buttons[buttonlist.button_count];
  b.hovered = 0;
  b.highlight = surface_from_image(name);
  b.pic_width = b.highlight ? b.highlight->width() : 0;
  b.pic_height = b.highlight ? b.highlight->height() : 0;
  b.hit_left = clamp_hit(x, kHitMaxX);
  b.hit_top = clamp_hit(y, kHitMaxY);
  b.hit_right = clamp_hit(static_cast<int64_t>(x) + b.pic_width + kHitMargin, kHitMaxX);
  b.hit_bottom = clamp_hit(static_cast<int64_t>(y) + b.pic_height + kHitMargin, kHitMaxY);
  b.draw_x = x;
  b.draw_y = y;
  buttonlist.button_count += 1;
}

void buttons_update() {
  const uint32_t n = buttonlist.button_count;
  for (uint32_t i = 0; i < n; ++i) buttonlist.buttons[i].hovered = 0;
  for (uint32_t i = 0; i < n; ++i) {
    button& b = buttonlist.buttons[i];
    if (mouse_in_rect(b.hit_left, b.hit_top, b.hit_right, b.hit_bottom)) b.hovered = 1;
  }
  for (uint32_t i = 0; i < n; ++i) {
    button& b = buttonlist.buttons[i];
    if (!b.hovered) continue;
    if (mouse_left == 1) buttonlist.chosen = i;
    if (b.highlight) blit_opaque(*screen, *b.highlight, b.draw_x, b.draw_y);
  }
}

void pointer_draw(ptc::Surface& pointer) {
  blit_keyed(*screen, pointer, mouse_x, mouse_y, kPointerKey);
}
