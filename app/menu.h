// menu: the menu and page state machine, one pass per presented frame.
//
// States: 0 menu; 1 info, 2 compo, 3 contact, 4 credits page; 5 exit;
// 6 cross-fade (17 frames, weights 0, 16, ..., 256, rows 50..479 only);
// 7 fade-out (32 frames, levels 255, 247, ..., 7, no pointer). The loop has
// no clock: transitions last a fixed number of frames.
#pragma once

#include <cstdint>

enum menu_state_value : uint32_t {
  kStateMenu = 0,
  kStateInfo = 1,
  kStateCredits = 4,
  kStateExit = 5,
  kStateCrossFade = 6,
  kStateFadeOut = 7,
};

// chosen after the menu has acted on a choice.
constexpr uint32_t kNoChoice = 1234;

extern uint32_t main_state;
extern uint32_t next_state;
extern uint8_t busy;
extern uint32_t xfade_level;
extern uint32_t back_page;
extern int64_t fade_level;
// Passes the loop has run (a run's observers tell the menu's frames by it).
extern uint64_t menu_passes;

// One pass of the loop without its present: keyboard, mouse, 3D window, the
// state's step and the pointer; false once the exit state has run shutdown.
bool menu_compose();
// One pass of the loop: menu_compose, then present.
bool menu_pass();
