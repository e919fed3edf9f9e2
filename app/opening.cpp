// opening: the music-clocked opening. The logo fades in over the loading
// screen, the three captions fade in and out one after another, and the menu
// fades in over the logo while the blob already turns. The only clock is the
// music's position; each phase loops on the t read by the previous pass.
#include <cstdint>
#include <cstdlib>

#include "app/assets.h"
#include "app/driver.h"
#include "app/stages.h"
#include "gfx2d/font.h"
#include "gfx2d/pixel.h"
#include "gfx2d/surfaces.h"
#include "gfx2d/textpage.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "render3d/scene.h"
#include "velmora_layout.h"

namespace {

constexpr uint32_t kLogoEnd = layout::kOpeningLogoEndMs;
constexpr uint32_t kCaptionsStart = layout::kOpeningCaptionsStartMs;
constexpr uint32_t kCaptionsEnd = layout::kOpeningCaptionsEndMs;
constexpr uint32_t kMenuEnd = layout::kOpeningMenuEndMs;
constexpr int kCaptionY = layout::kCaptionY0;
// Caption steps of 100 ms; a line fades in over 20 steps and out over 20.
constexpr int32_t kCaptionStepMs = 100;
constexpr int32_t kStepsPerLine = 40;
constexpr int32_t kFadeInSteps = 20;
constexpr uint32_t kBlendWhole = 256;

// The caption lines are the party's: captions.txt in the archive, a page
// file whose lines read "X TEXT", X being the line's left edge on screen.
// A missing line shows nothing in its turn; X is kept on the screen.
constexpr const char* kCaptionFile = "captions.txt";
constexpr int32_t kCaptionLines = 3;
textpage caption_page;

// A pass that reads t far past its phase computes f above 256; the whole new
// picture is the sensible result.
uint32_t clamp_blend(uint64_t f) {
  return f > kBlendWhole ? kBlendWhole : static_cast<uint32_t>(f);
}

// Phase 1: f = trunc(trunc(t / 500) x 25.5), 0, 25, 51, ... 255.
uint32_t logo_factor(uint32_t t) {
  return clamp_blend(static_cast<uint64_t>(static_cast<double>(t / 500) * 25.5));
}

// Caption fade level for local step g (0..39): up in steps of 12.8, then down.
uint32_t caption_level(int32_t g) {
  const double level = g < kFadeInSteps ? g * 12.8 : 255 - (g - kFadeInSteps) * 12.8;
  return static_cast<uint32_t>(level);
}

// Phase 3: f = trunc((t - 17000) / 200) x 25, unsigned.
uint32_t menu_factor(uint32_t t) {
  return clamp_blend(static_cast<uint64_t>((t - kCaptionsEnd) / 200) * 25);
}

bool escape_now() {
  if (!esc_pressed()) return false;
  shutdown();
  return true;
}

// A caption line's left edge and text.
int caption_x(const char* line, const char** text) {
  char* end = nullptr;
  long x = std::strtol(line, &end, 10);
  if (end == line || x < 0) x = 0;
  if (x > kScreenWidth) x = kScreenWidth;
  *text = *end == ' ' ? end + 1 : end;
  return static_cast<int>(x);
}

void draw_caption(uint32_t t) {
  // Signed step from the captions' start, truncating toward zero.
  const int32_t step = static_cast<int32_t>(t - kCaptionsStart) / kCaptionStepMs;
  if (step < 0 || step >= kCaptionLines * kStepsPerLine) return;
  const uint32_t index = static_cast<uint32_t>(step / kStepsPerLine);
  if (index >= caption_page.line_count) return;
  const char* text = nullptr;
  const int x = caption_x(caption_page.lines[index], &text);
  const int32_t g = step % kStepsPerLine;
  surface_clear(*caption, 0);
  glyph_text_draw(*caption, 0, 0, "%s", text);
  void* px = caption->lock();
  fade_span(px, fade_factor(caption_level(g)), static_cast<uint32_t>(caption->width() * caption->height()));
  caption->unlock();
  blit_add(*screen, *caption, x, kCaptionY);
}

}  // namespace

void opening_load_captions() {
  textpage_load(caption_page, kCaptionFile);
}

bool opening_sequence() {
  uint32_t t = 0;
  while (t < kLogoEnd) {
    t = music_clock();
    crossfade_present(*logo, *screen, logo_factor(t), console);
    present();
    if (escape_now()) return false;
  }
  logo->copy(console);
  console.update();

  while (t < kCaptionsEnd) {
    t = music_clock();
    blit_opaque(*screen, *logo, 0, 0);
    draw_caption(t);
    present();
    if (escape_now()) return false;
  }

  blit_opaque(*screen, *logo, 0, 0);
  while (t < kMenuEnd) {
    refresh_window3d();
    blit_opaque(*target, *panel, 0, 0);
    overlay_blend(*target, window3d_px, kWindow3dX, kWindow3dY, kWindow3dWidth, kWindow3dHeight);
    t = music_clock();
    crossfade_present(*target, *screen, menu_factor(t), console);
    if (escape_now()) return false;
  }
  return true;
}
