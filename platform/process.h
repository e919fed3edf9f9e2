// process: how the program ends and where it runs.
#pragma once

namespace platform {

// Exit codes of the run: a normal end, a fatal error report or display
// error, and music or mouse that cannot start.
constexpr int kExitOk = 0;
constexpr int kExitFatal = 1;
constexpr int kExitStartFailed = -1;

// Ends the process with the given exit code after the installed backend has
// seen it (the capture tool prints its closing line there). Every exit path
// of the program goes through here.
[[noreturn]] void process_exit(int code);

// Makes the folder holding the running executable the working directory, so
// that pak.pak and qtn.mp3 beside it are found wherever it is started from.
// Returns false when the folder cannot be found or entered.
bool chdir_to_executable();

}  // namespace platform
