// web: the browser backend, used by the WebAssembly build of velmora2k. It
// works with the page (web/page.js), which owns the document: the page hands
// the module Module.page (web/bridge.js, whose table lists every call the
// backend makes), forwards the user's input to the web_* entry points below
// and plays the PCM this backend hands it.
//
// Contract:
//  - window: the page's canvas "#canvas", its own size set to the logical
//    size (640 x 480) through emscripten's HTML5 API; the page scales it with
//    its style. A present converts the 0x00RRGGBB pixels to opaque RGBA, waits
//    for the next animation frame and puts them there with putImageData, so
//    the canvas reads back exactly the program's pixels. While the tab is
//    hidden no animation frame comes, so the run waits inside present and
//    does no work. Closing the window blanks the canvas. The window's title
//    becomes the document's title; its icon is left aside (the page has its
//    own icons).
//  - keys: the page queues one code per key press (Esc is 27; printable keys
//    their lower-case character); at most kKeyQueueLimit wait, later presses
//    are dropped until the program reads.
//  - mouse: the page reports the user's pointer in picture pixels (or, with
//    pointer lock, its motion in picture pixels); each read hands over the
//    counts that bring the program's pointer, which starts at (320, 240) and
//    is clamped like it, onto the user's pointer. A button pressed and let go
//    between two reads reads as down once. When a finger lifts, the pointer
//    rests at the right edge after its press has been read, so that a pointer
//    left in a scrolling strip does not keep the page scrolling.
//  - audio: the page's player (an AudioWorklet, or a ScriptProcessor where
//    worklets are missing) plays 44.1 kHz 16-bit stereo PCM that this backend
//    pulls from the AudioSource on the main thread, at each present and
//    whenever the player runs low, about kAudioLeadFrames ahead of playback.
//    The clock counts the source frames the player consumed, interpolated
//    with the audio context's time up to the frames it held, less the
//    output latency the browser reports; it never goes backwards.
//  - message box: shown in the page (the text also goes to the console);
//    returns when the user dismisses it.
//  - on_exit: the page stops the music and shows its end screen.
#pragma once

#include "platform/backend.h"

namespace platform {

// Creates the web backend (one per module instance).
Backend* web_backend_create();

}  // namespace platform

// What the page calls, from its event handlers; each reaches the backend
// last created and does nothing before one exists.
extern "C" {
void web_key(int code);
// The user's pointer over the canvas, in picture pixels.
void web_pointer_at(int x, int y);
// Pointer motion under pointer lock, in picture pixels.
void web_pointer_by(int dx, int dy);
// button 0 left, 1 right; down 1 pressed, 0 let go.
void web_button(int button, int down);
// The last finger left the screen.
void web_touch_lift();
// Hands the player what it needs to stay ahead of playback.
void web_audio_pull();
// The music clock as the program reads it (for the page's diagnostics).
unsigned web_music_clock_ms();
}
