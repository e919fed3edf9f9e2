// raw: load_raw, the decoder of headerless pixel dumps (declared in
// decoders.h). The dump's length alone says its size and depth (kRawSizes);
// the bytes are delivered as they are, kind 0. A length that is not in the
// table ends the run through error_report naming the file and its length.
#include <cstdint>

#include "resources/cfile.h"
#include "resources/decodekit.h"
#include "resources/decoders.h"
#include "resources/log.h"

namespace {

struct raw_size {
  uint32_t length;
  int32_t bpp;
  int32_t width;
  int32_t height;
};

constexpr raw_size kRawSizes[] = {
    {64000, 8, 320, 200},     {65536, 8, 256, 256},     {128000, 16, 320, 200},   {131072, 16, 256, 256},
    {153600, 16, 320, 240},   {192000, 24, 320, 200},   {196608, 24, 256, 256},   {230400, 24, 320, 240},
    {256000, 32, 320, 200},   {262144, 32, 256, 256},   {307200, 32, 320, 240},   {614400, 16, 640, 480},
    {921600, 24, 640, 480},   {960000, 16, 800, 600},   {1228800, 32, 640, 480},  {1440000, 24, 800, 600},
    {1920000, 32, 800, 600},
};

const raw_size* raw_size_for(long length) {
  for (const raw_size& r : kRawSizes) {
    if (static_cast<long>(r.length) == length) return &r;
  }
  return nullptr;
}

}  // namespace

bool load_raw(const char* name, cimage& out) {
  cfile file;
  file.open(name, "rb");
  if (!file.stream) return false;
  const long length = file.size();
  const raw_size* layout = raw_size_for(length);
  if (!layout) {
    file.close();
    return refuse_picture("KORAL_image->raw: File %s is %ld bytes long, which is no raw picture size!\n", name,
                          length);
  }
  uint8_t* block = picture_read(file, layout->length);
  file.close();
  if (!block) return false;
  out.width = layout->width;
  out.height = layout->height;
  out.bpp = layout->bpp;
  out.kind = kImageRaw;
  out.size = layout->length;
  out.pixels = block;
  return true;
}
