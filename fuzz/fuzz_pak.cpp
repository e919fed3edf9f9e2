// Fuzz target for the archive reader: the input becomes an archive file in a
// private folder and is opened; every name its directory holds is then opened
// through the file layer, sized, read and positioned, and a fresh name is
// opened for writing. Only names the directory holds are read, so no open can
// end the process.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "private_folder.h"
#include "resources/cfile.h"
#include "resources/pak.h"

namespace {

void exercise_entry(const char* name, size_t limit) {
  cfile f;
  f.open(name, "rb");
  const long size = f.size();
  std::vector<uint8_t> data(std::min<size_t>(size > 0 ? static_cast<size_t>(size) : 0, limit) + 1);
  f.read(data.data(), static_cast<uint32_t>(data.size()));
  f.seek(-1, SEEK_END);
  f.read_u8();
  f.seek(1, SEEK_SET);
  f.read_u16();
  f.skip(2);
  f.read_f32();
  f.tell();
  f.close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = private_folder("pak");
  const std::string archive = folder + "/pak.pak";
  write_input(archive, data, size);

  pak_open(archive.c_str());
  for (uint32_t i = 0; i < pak_count; ++i) exercise_entry(pak_dir[i]->Fname, size);
  cfile w;
  w.open((folder + "/written.bin").c_str(), "wb");
  w.close();
  pak_close();
  return 0;
}
