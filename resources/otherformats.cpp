// otherformats: stand-ins for the decoders not built yet. Each tells the
// user that its format is not supported and ends the run the fatal way.
#include <string>

#include "resources/decoders.h"
#include "resources/log.h"

namespace {

bool unsupported(const char* format, const char* name) {
  const std::string text =
      std::string("cimage: ") + format + " pictures are not supported yet (" + name + ")\n";
  error_report(text.c_str());
  return false;
}

}  // namespace

bool load_jpg(const char* name, cimage&) {
  return unsupported("JPEG", name);
}

bool load_raw(const char* name, cimage&) {
  return unsupported("RAW", name);
}

bool load_pcx(const char* name, cimage&) {
  return unsupported("PCX", name);
}

bool load_bmp(const char* name, cimage&) {
  return unsupported("BMP", name);
}

bool load_tga(const char* name, cimage&) {
  return unsupported("TGA", name);
}
