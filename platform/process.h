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

// Makes the folder that holds the program's data the working directory, so
// that pak.pak and qtn.mp3 are found wherever the program is started from:
// the executable's own folder when pak.pak lies beside it (a build tree),
// else kInstalledDataDir relative to it when pak.pak lies there (an
// installed tree, bin/ beside share/), else the executable's folder, where
// the missing data then takes the program's usual failure path.
// Returns false when the executable's folder cannot be found or entered.
bool chdir_to_executable();

// True when standard error is a terminal (where progress lines that rewrite
// themselves make sense).
bool stderr_is_terminal();

// Makes the terminal on standard error interpret the escape sequences that
// rewrite a line in place (ESC [ K); false when it cannot (a Windows console
// without virtual-terminal processing), where plain lines must do.
bool stderr_takes_escapes();

// The data folder of an installed tree, relative to the executable's folder.
inline constexpr const char* kInstalledDataDir = "../share/velmora2k";

}  // namespace platform
