// hostfs: the file system and program calls whose form differs between
// systems. POSIX systems (Linux, and WebAssembly through emscripten's POSIX
// layer) share hostfs.cpp; Windows has hostfs_win.cpp. Paths are UTF-8 text
// on every system; '/' separates folders everywhere ('\\' too on Windows).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

// Makes path the working folder; false when it cannot be entered.
bool host_change_folder(const std::string& path);

// True when the file at path can be opened for reading.
bool host_file_readable(const std::string& path);

// Renames the file from to the name to, replacing a file of that name.
bool host_replace_file(const std::string& from, const std::string& to);

// Removes the file at path; false when it cannot.
bool host_remove_file(const std::string& path);

// True when path is a regular file; its size in bytes goes to size.
bool host_regular_file_size(const std::string& path, uint64_t& size);

// Creates the folder path; true when it was made or already exists.
bool host_make_folder(const std::string& path);

// path taken from the working folder when it is not absolute already.
std::string host_absolute_path(const std::string& path);

// The last component of path (after its last folder separator).
std::string host_base_name(const std::string& path);

// A file descriptor open for reading path as bytes (never text mode), not
// inherited by programs the process starts; -1 when it cannot be opened.
int host_open_for_reading(const char* path);

// True when program is found in a folder of the PATH environment variable.
bool host_program_on_path(const std::string& program);

// Starts program with the arguments (each passed as one argument, whatever
// it holds) and returns a stream writing to its standard input, or null.
// Writing after the program has ended fails instead of ending the process.
FILE* host_pipe_open(const std::string& program, const std::vector<std::string>& arguments);

// Waits for the program behind a stream from host_pipe_open; true when it
// ended with status 0.
bool host_pipe_close(FILE* pipe);

}  // namespace platform
