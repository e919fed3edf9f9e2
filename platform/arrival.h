// arrival: waits for a data file that may still be on its way.
//
// On the desktop every file is on disk before the program starts and
// file_arrival_wait returns at once. In the browser the page downloads the
// music while the program already runs; the web variant (arrival_web.cpp)
// suspends the program until the page has put the file into the module's
// folder, or has given up on it (the open that follows then reports the file
// as missing, as on the desktop).
#pragma once

namespace platform {

void file_arrival_wait(const char* path);

}  // namespace platform
