// driver: the entry routine, the frame helpers and the orderly end.
//
// The entry routine opens the archive, opens the console, creates the work
// surfaces and runs the three stages in turn: loading, opening, menu. One
// guard around everything after the archive catches display errors: they are
// reported to the user and end the run with exit code 1 (no shutdown). The
// window's title and icon are the archive's when it names them (identity.h).
#pragma once

// Our own window title, the title of every window whose archive names none.
constexpr const char* kWindowTitle = "Velmora2K invitation";

int entry_routine();

// Copies screen to the console and updates it.
void present();
// Reads one waiting key, if any; true when it was Esc.
bool esc_pressed();
// Stops the music, releases the mouse, destroys the picture surfaces and
// closes the console.
void shutdown();
