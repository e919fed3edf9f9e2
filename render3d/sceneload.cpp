// sceneload: see sceneload.h.
#include "render3d/sceneload.h"

#include <algorithm>
#include <cstdio>

#include "render3d/scene.h"
#include "resources/cfile.h"
#include "resources/log.h"

void campath_read(cfile& file) {
  const long bytes = file.size();
  file.seek(0, SEEK_SET);
  const uint32_t whole = bytes > 0 ? static_cast<uint32_t>(std::min<long>(bytes / kCamRecordBytes, kCamRecords)) : 0;
  for (uint32_t n = 0; n < kCamRecords; ++n) {
    mat34& m = campath[n];
    m = mat34_identity();
    if (n >= whole) continue;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 3; ++column) m.m[row][column] = file.read_f32();
    }
  }
  if (whole < kCamRecords) {
    LOGW("scene: the camera path holds %ld bytes, %u whole records of %u; records %u to %u are identity matrices\n",
         bytes, whole, kCamRecords, whole, kCamRecords - 1);
  }
}

void scene_load() {
  cfile file;
  file.open(kCamPathName, "rb");
  campath_read(file);
  file.close();
  scene_place_balls();
}
