// Fuzz target: bytes as a zip the party kit is handed (a party folder or a
// release zip). Reading either refuses it with a message and leaves the
// files as they were, or gives files that the kit's own writer packs and its
// reader gives back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/files.h"
#include "kit/zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kit::Bytes zip(data, data + size);
  kit::Files files = {{"kept", kit::files_bytes("as it was")}};
  std::string error;
  if (!kit::zip_read(zip, files, error)) {
    if (error.empty() || files.size() != 1 || files.count("kept") != 1) std::abort();
    return 0;
  }
  files.erase("kept");
  kit::Bytes again;
  if (!kit::zip_write(files, "", kit::kZipTimeMin, again, error)) return 0;  // a name no zip may hold
  kit::Files back;
  if (!kit::zip_read(again, back, error) || back != files) std::abort();
  return 0;
}
