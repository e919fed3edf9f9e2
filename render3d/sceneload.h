// sceneload: the start-up half of the scene, the part that reads files.
//
// The camera path "uv.cam" is kCamRecords records of nine little-endian
// 32-bit floats, m00 m01 m02 m10 m11 m12 m20 m21 m22 (translation 0); bytes
// after the last record are ignored. A shorter file leaves the records it
// cannot hold whole as identity matrices, and the log says so.
#pragma once

#include <cstdint>

class cfile;

constexpr uint32_t kCamRecordBytes = 36;
constexpr const char* kCamPathName = "uv.cam";

// Reads the camera path from the start of an open file.
void campath_read(cfile& file);
// Reads "uv.cam" and places the balls.
void scene_load();
