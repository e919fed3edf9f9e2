// host: what the system the program runs on tells about it. Each system has
// its own variant of this module (host.cpp for Linux, host_web.cpp for
// WebAssembly, in a browser or under node, host_win.cpp for Windows).
#pragma once

#include <string>

namespace platform {

// The folder that holds the running program: the executable's folder on a
// desktop, the script's folder under node; "" when there is none to find (a
// browser, whose page has already put the data in the working folder) or it
// cannot be found.
std::string host_program_folder();

// True when the program runs where it has a folder of its own to look in
// (false in a browser).
bool host_has_program_folder();

// True when standard error is a terminal.
bool host_stderr_is_terminal();

// Makes the terminal on standard error interpret ANSI escape sequences;
// false when it cannot.
bool host_stderr_takes_escapes();

// What a user whose data files are missing or damaged should do, in the
// system's own terms: where the files belong and how to put them there. One
// or more lines, each ending in a line break.
std::string host_missing_data_advice();

// How many times the width x height picture a new window shows it at first:
// 1, or on a high-resolution display the largest whole multiple that the
// display's scale asks for and its work area holds.
int host_window_scale(int width, int height);

}  // namespace platform
