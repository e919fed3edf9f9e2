// driver: see driver.h.
#include "app/driver.h"

#include "app/identity.h"
#include "app/stages.h"
#include "gfx2d/pixel.h"
#include "gfx2d/surfaces.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/sound.h"
#include "platform/display.h"

int entry_routine() {
  loading_open_archive();
  try {
    console.open(window_title().c_str(), kScreenWidth, kScreenHeight, pixfmt, 0);
    const WindowIcon icon = window_icon();
    console.icon(icon.pixels.data(), icon.side);
    console.window();
    screen = new ptc::Surface(kScreenWidth, kScreenHeight, pixfmt);
    target = new ptc::Surface(kScreenWidth, kScreenHeight, pixfmt);
    if (!loading_sequence()) return platform::kExitStartFailed;
    if (!opening_sequence()) return platform::kExitOk;
    menu_loop();
    return platform::kExitOk;
  } catch (const ptc::DynamicError& error) {
    error.report();
    return platform::kExitFatal;
  }
}

void present() {
  screen->copy(console);
  console.update();
}

bool esc_pressed() {
  if (!console.key()) return false;
  const ptc::Key key = console.read();
  return key.code() == 27;
}

void shutdown() {
  music_stop();
  mouse_close();
  surface_list_destroy();
  console.close();
}
