// assets: the pictures the loading sequence turns into surfaces, held for
// the whole run (their surfaces belong to surface_list).
#pragma once

#include "velmora_layout.h"

namespace ptc {
class Surface;
}

extern ptc::Surface* loadbar;     // "on_load.png", the progress bar
extern ptc::Surface* loadscreen;  // "loading.png"
extern ptc::Surface* logo;        // "logo.png"
extern ptc::Surface* pointer;     // "mouse.png"
extern ptc::Surface* panel;       // "panel.png", the menu
extern ptc::Surface* textpanel;   // "textpanel.png", the page background

// Loading steps shown by the progress bar.
constexpr unsigned kProgressSteps = 24;
// Where the bar is drawn on the loading screen.
constexpr int kBarX = layout::kBarX;
constexpr int kBarY = layout::kBarY;

// One progress step: the loading screen with the bar's first
// trunc(width x k / 24) columns, presented. Counts the steps.
void progress_step();
unsigned progress_count();
