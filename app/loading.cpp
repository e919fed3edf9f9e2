// loading: the loading sequence. Loads every asset in a fixed order behind
// the loading screen, whose bar grows by one twenty-fourth per step, then
// starts the music and the mouse.
#include <cstdio>
#include <string>

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
#include "platform/process.h"
#include "platform/sound.h"
#include "render3d/scene.h"
#include "render3d/sceneload.h"
#include "resources/log.h"
#include "resources/mempool.h"
#include "resources/pak.h"
#include "velmora_layout.h"

ptc::Surface* loadbar = nullptr;
ptc::Surface* loadscreen = nullptr;
ptc::Surface* logo = nullptr;
ptc::Surface* pointer = nullptr;
ptc::Surface* panel = nullptr;
ptc::Surface* textpanel = nullptr;

namespace {

constexpr const char* kArchiveName = "pak.pak";
constexpr int kCaptionHeight = 40;
constexpr int kEnvmapSide = 256;
// The panel must cover the 3D window: 640 wide, down to row 285 + 130 - 1.
constexpr int kPanelMinRows = kWindow3dY + kWindow3dHeight;

unsigned progress = 0;
// A button's lit picture is on_NAME.png.
constexpr const char* kButtonPicturePrefix = "on_";
constexpr const char* kButtonPictureSuffix = ".png";

[[noreturn]] void refuse(const char* text) {
  error_report(text);
  platform::process_exit(platform::kExitFatal);  // reached only while report_returns is set
}

// The environment map is read as 256 x 256 texels whatever the picture holds.
void load_envmap() {
  int32_t width = 0;
  int32_t height = 0;
  envmap = static_cast<uint32_t*>(texture_from_image("chrome.png", &width, &height));
  if (width != kEnvmapSide || height != kEnvmapSide) {
    char text[128];
    std::snprintf(text, sizeof text, "chrome.png is %d x %d pixels; the environment map must be 256 x 256\n",
                  width, height);
    refuse(text);
  }
}

// Copies the 150 x 130 block of the panel under the 3D window into
// window3d_bg, rows packed.
void cut_window_background() {
  if (panel->width() != kScreenWidth || panel->height() < kPanelMinRows) {
    char text[128];
    std::snprintf(text, sizeof text, "panel.png is %d x %d pixels; it must be 640 wide with at least %d rows\n",
                  panel->width(), panel->height(), kPanelMinRows);
    refuse(text);
  }
  const auto* px = static_cast<const uint32_t*>(panel->lock());
  for (int r = 0; r < kWindow3dHeight; ++r) {
    pixel_copy(px + (kWindow3dY + r) * kScreenWidth + kWindow3dX, window3d_bg + r * kWindow3dWidth,
               kWindow3dWidth);
  }
  panel->unlock();
}

void load_fonts_sheet() {
  fontimg = surface_from_image("fonts.png");
  font_colour_key(*fontimg);
}

}  // namespace

void progress_step() {
  ++progress;
  blit_opaque(*screen, *loadscreen, 0, 0);
  const auto* bar = static_cast<const uint32_t*>(loadbar->lock());
  auto* dst = static_cast<uint32_t*>(screen->lock());
  // The fraction and the product are single precision; k = 24 gives the
  // whole width exactly.
  const float fraction = static_cast<float>(progress) * (1.0f / static_cast<float>(kProgressSteps));
  const float product = static_cast<float>(loadbar->width()) * fraction;
  uint32_t columns = static_cast<uint32_t>(product);
  // A bar wider than the room right of kBarX is cut at the screen's edge.
  if (columns > static_cast<uint32_t>(kScreenWidth - kBarX)) columns = kScreenWidth - kBarX;
  for (int r = 0; r < loadbar->height() && kBarY + r < kScreenHeight; ++r) {
    pixel_copy(bar + r * loadbar->width(), dst + (kBarY + r) * kScreenWidth + kBarX, columns);
  }
  loadbar->unlock();
  screen->unlock();
  present();
}

unsigned progress_count() {
  return progress;
}

void loading_open_archive() {
  pak_open(kArchiveName);
}

bool loading_sequence() {
  loadbar = surface_from_image("on_load.png");
  loadscreen = surface_from_image("loading.png");
  progress_step();  // 1
  render_window = new window3d(kWindow3dWidth, kWindow3dHeight);
  window3d_bg = static_cast<uint32_t*>(mempool_alloc(kWindow3dWidth * kWindow3dHeight * 4));
  progress_step();  // 2
  progress_step();  // 3
  load_envmap();
  progress_step();  // 4
  window3d_px = static_cast<uint32_t*>(mempool_alloc(kWindow3dPxBytes));
  progress_step();  // 5
  load_fonts_sheet();
  progress_step();  // 6
  logo = surface_from_image("logo.png");
  progress_step();  // 7
  pointer = surface_from_image("mouse.png");
  progress_step();  // 8
  panel = surface_from_image("panel.png");
  progress_step();  // 9
  cut_window_background();
  progress_step();  // 10
  textpanel = surface_from_image("textpanel.png");
  progress_step();  // 11
  caption = new ptc::Surface(kScreenWidth, kCaptionHeight, pixfmt);
  scene_load();
  progress_step();  // 12
  for (const layout::Button& b : layout::kButtons) {
    const std::string picture = std::string(kButtonPicturePrefix) + b.name + kButtonPictureSuffix;
    button_add(picture.c_str(), b.x, b.y);
    progress_step();  // 13 to 17
  }
  font8_load("short.fnt");
  progress_step();  // 18
  for (uint32_t p = 0; p < kPageCount; ++p) {
    textpage_load(textpages[p], textpage_file(p).c_str());
    progress_step();  // 19 to 22
  }
  opening_load_captions();
  music_start();
  progress_step();  // 23
  if (mouse_init(console.window()) < 0) {
    LOGW("Error Initializing DirectInput");
    return false;
  }
  blit_opaque(*screen, *loadscreen, 0, 0);
  progress_step();  // 24
  return true;
}
