// files: a folder's files in memory (see files.h).
#include "kit/files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kit {

namespace fs = std::filesystem;

namespace {

// The path inside the folder, '/' between its parts, as UTF-8 text.
std::string relative_name(const fs::path& path, const fs::path& folder) {
  return path.lexically_relative(folder).generic_u8string();
}

bool hidden(const fs::path& path) {
  const std::string name = path.filename().u8string();
  return !name.empty() && name[0] == '.';
}

bool read_file(const fs::path& path, Bytes& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

bool files_read_folder(const std::string& folder, Files& files, std::string& error) {
  const fs::path root = fs::u8path(folder);
  std::error_code ec;
  if (!fs::is_directory(root, ec)) {
    error = folder + ": not a folder";
    return false;
  }
  uint64_t total = 0;
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (hidden(it->path())) {
      if (it->is_directory(ec)) it.disable_recursion_pending();
      continue;
    }
    if (!it->is_regular_file(ec)) continue;
    if (files.size() == kFilesMaxCount) {
      error = folder + ": more than " + std::to_string(kFilesMaxCount) + " files";
      return false;
    }
    total += it->file_size(ec);
    if (total > kFilesMaxBytes) {
      error = folder + ": more than " + std::to_string(kFilesMaxBytes >> 20) + " MiB of files";
      return false;
    }
    Bytes bytes;
    if (!read_file(it->path(), bytes)) {
      error = it->path().u8string() + ": cannot be read";
      return false;
    }
    files[relative_name(it->path(), root)] = std::move(bytes);
  }
  if (ec) {
    error = folder + ": " + ec.message();
    return false;
  }
  return true;
}

bool files_write_folder(const Files& files, const std::string& folder, std::string& error) {
  const fs::path root = fs::u8path(folder);
  for (const auto& [name, bytes] : files) {
    const fs::path path = root / fs::u8path(name);
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      error = path.u8string() + ": cannot be written";
      return false;
    }
  }
  return true;
}

Bytes files_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string files_text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace kit
