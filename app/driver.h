// driver: the entry routine, the frame helpers and the orderly end.
//
// The entry routine opens the archive, opens the console, creates the work
// surfaces and runs the three stages in turn: loading, opening, menu. One
// guard around everything after the archive catches display errors: they are
// reported to the user and end the run with exit code 1 (no shutdown).
#pragma once

namespace ptc {
class Console;
class Format;
class Surface;
}  // namespace ptc

constexpr const char* kWindowTitle = "Velmora2K invitation";

// Process-wide display objects (defined with the other static objects, in
// their creation order, in statics.cpp).
extern ptc::Format pixfmt;
extern ptc::Console console;

// Work surfaces: every frame is composed in screen; target is what a
// cross-fade moves towards; caption holds one caption line.
extern ptc::Surface* screen;
extern ptc::Surface* target;
extern ptc::Surface* caption;

// Exit codes of the run.
constexpr int kExitOk = 0;
constexpr int kExitFatal = 1;
constexpr int kExitStartFailed = -1;

int entry_routine();

// Copies screen to the console and updates it.
void present();
// Reads one waiting key, if any; true when it was Esc.
bool esc_pressed();
// Stops the music, releases the mouse, destroys the picture surfaces and
// closes the console.
void shutdown();
