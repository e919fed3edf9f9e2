// sdl: the real backend over SDL2, used by velmora2k.
//
// Contract:
//  - video: SDL's video driver; SDL_VIDEODRIVER, when set, names it. A driver
//    that shows nothing (offscreen, dummy) is never taken unless named: with
//    no display the window cannot open, a display error.
//  - window: SDL window with the given title (UTF-8) and icon (on X11
//    _NET_WM_ICON, on Windows the window's large and small icon) and a
//    640 x 480 client area, resizable; the picture is scaled to fit at any size with its aspect
//    kept, centred on black: whole multiples by nearest (pixel-sharp),
//    between them nearest up to the next whole multiple and then linear
//    down (sharp, evenly sized pixels), below 1x linear. F11 and Alt+Enter
//    toggle desktop full screen both ways, with or without a window manager
//    (without one, the window is sized over the display). One ARGB8888
//    streaming texture;
//    at most 60 frames a second on any display (see pacer.h): with vsync
//    the last frame is presented again until the refresh the pacer takes,
//    the display's rate read from SDL (learnt when SDL does not know it,
//    read again when the window moves to another display); without vsync
//    the program sleeps to each 60 Hz tick.
//  - keys: key presses queue their SDL key code (Esc is 27); the window's
//    close button queues 27; F11 and Alt+Enter are not queued.
//  - mouse: the pointer is never captured. The counts are the change of the
//    system pointer's position on the picture, in picture pixels and clamped
//    as the input layer clamps, so the invitation's pointer lies under the
//    user's; the system pointer is hidden only over the picture. A button
//    pressed since the last read reads as down (see backend.h).
//  - audio: 44.1 kHz 16-bit stereo device in 441-frame (10 ms) buffers,
//    opened paused and started by audio_play, pulling from the AudioSource on
//    SDL's audio thread; the clock follows the frames the device consumed,
//    interpolated between callbacks (see soundclock.h). When no output device
//    opens, SDL's dummy driver takes the samples in real time, silently
//    (audio_silent). When SDL reports the playing device removed, the
//    default device is opened in its place and resumes (the sound layer's
//    stall guard keeps the clock running meanwhile). time_ms is SDL's tick
//    count. Closing the window leaves the audio running.
//  - message box: SDL_ShowSimpleMessageBox with the warning flag.
//  - every failing SDL call throws ptc::DynamicError with SDL's error text.
// SDL headers stay inside sdl.cpp; callers see only platform::Backend.
#pragma once

#include "platform/backend.h"

namespace platform {

// Creates the SDL backend (SDL itself starts when the window opens).
Backend* sdl_backend_create();

}  // namespace platform
