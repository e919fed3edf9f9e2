// menu: the menu and page loop.
#include "app/driver.h"
#include "app/stages.h"
#include "platform/display.h"

void menu_loop() {
  for (;;) {
    if (console.key()) {
      const ptc::Key key = console.read();
      if (key.code() == 27) {
        shutdown();
        return;
      }
    }
    present();
  }
}
