// sdl: the real backend over SDL2, used by velmora2k.
//
// Contract:
//  - window: SDL window with the given title and a 640 x 480 client area,
//    resizable; the picture is scaled to fit with its aspect kept (integer
//    scale where it fits, letterboxed). F11 and Alt+Enter toggle desktop full
//    screen. One ARGB8888 streaming texture; presents wait for vsync, or are
//    paced to 60 frames a second when the renderer has no vsync.
//  - keys: key presses queue their SDL key code (Esc is 27); the window's
//    close button queues 27; F11 and Alt+Enter are not queued.
//  - mouse: relative mode, held only while the window has focus and taken
//    again on the next read after focus returns; where relative mode is not
//    available the counts come from absolute motion. Motion is summed
//    between reads.
//  - audio: 44.1 kHz 16-bit stereo device in 441-frame (10 ms) buffers,
//    opened paused and started by audio_play, pulling from the AudioSource on
//    SDL's audio thread; the clock follows the frames the device consumed,
//    interpolated between callbacks (see soundclock.h). Closing the window
//    leaves the audio running.
//  - message box: SDL_ShowSimpleMessageBox with the warning flag.
//  - every failing SDL call throws ptc::DynamicError with SDL's error text.
// SDL headers stay inside sdl.cpp; callers see only platform::Backend.
#pragma once

#include "platform/backend.h"

namespace platform {

// Creates the SDL backend (SDL itself starts when the window opens).
Backend* sdl_backend_create();

}  // namespace platform
