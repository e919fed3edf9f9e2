// files: a folder's files held in memory, keyed by their paths inside it
// ("party.txt", "pages/info.txt"; '/' between folders), in byte order of the
// paths. The kit reads a party folder and hands back what it makes through
// this type only, so that the command line (which fills it from disk) and
// the studio page (which fills it from a zip or a form) run the same code on
// the same bytes.
//
// Reading a folder from disk takes at most kFilesMaxCount files of at most
// kFilesMaxBytes together, and skips hidden files and folders (names
// starting with '.'); more is refused with a message, never read in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kit {

using Bytes = std::vector<uint8_t>;
using Files = std::map<std::string, Bytes>;

constexpr size_t kFilesMaxCount = 256;
constexpr uint64_t kFilesMaxBytes = 256ull << 20;

// Every file under folder into files (paths relative to it); false and a
// message when the folder cannot be read whole.
bool files_read_folder(const std::string& folder, Files& files, std::string& error);

// Writes every file into folder, making the folders they need; false and a
// message at the first that fails.
bool files_write_folder(const Files& files, const std::string& folder, std::string& error);

// Bytes of a string and back, for text files.
Bytes files_bytes(const std::string& text);
std::string files_text(const Bytes& bytes);

}  // namespace kit
