// zip: a folder's files (kit::Files) to zip bytes and back, in memory only
// (the studio page has no disk, and the command line writes what it gets).
//
// Writing is deterministic: the same files, top folder and time give the same
// bytes on every system. Entries follow the files' own order, each packed
// with deflate at level 9, dated the given time (DOS times are local times
// without a zone; the time is written as UTC, rounded up to the even second
// DOS can hold and kept within 1980..2107), with no extra fields, Unix
// permissions 0644 (0755 for names ending in ".exe") and the UTF-8 flag on
// names that are not plain ASCII. No folder entries are written: unpackers
// make the folders a file's path names.
//
// Reading takes at most kFilesMaxCount files of at most kFilesMaxBytes
// unpacked together (as the sizes are declared, and then as they unpack),
// and refuses a zip that is cut short, encrypted or packed with a method
// other than deflate, or that holds a name reaching outside the folder
// (absolute, "..", a backslash) or a name twice. Folder entries are passed
// over, and so are hidden files and folders (names starting with '.') and
// the "__MACOSX" folder that macOS adds, as reading a folder from disk skips
// them. Names not flagged as UTF-8 that are not valid UTF-8 are read as code
// page 437, which the zip format names for them.
#pragma once

#include <cstdint>
#include <string>

#include "kit/files.h"

namespace kit {

// The oldest and newest times a zip entry can hold (1980-01-01 and
// 2107-12-31 23:59:58, UTC), in seconds since 1970.
constexpr int64_t kZipTimeMin = 315532800;
constexpr int64_t kZipTimeMax = 4354819198;

// Every file into zip, under top_folder/ when top_folder is not empty, dated
// time (seconds since 1970, as SOURCE_DATE_EPOCH). False and a message when a
// name cannot go into a zip (not a plain relative UTF-8 path) or packing
// fails; zip is left empty then.
bool zip_write(const Files& files, const std::string& top_folder, int64_t time, Bytes& zip,
               std::string& error);

// The files of a zip's bytes, paths as stored (a top folder stays part of
// them). False and a message ("what is wrong; what to do") when the zip
// cannot be read whole; files is left unchanged then.
bool zip_read(const Bytes& zip, Files& files, std::string& error);

}  // namespace kit
