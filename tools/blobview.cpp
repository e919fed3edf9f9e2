// blobview: renders frames of the 3D object to PNG files, to look at it.
//
// Runs the scene exactly as the menu does (three balls, the camera path, the
// environment-mapping rasteriser) and writes each 150 x 130 render window as
// DIR/blob_NNNN.png, numbered from 1 by rendered frame. Options:
//   --bg FILE      background: a 640 x 480 picture (the window's block at
//                  (480, 285) is cut out, as from the menu panel) or a
//                  150 x 130 picture; default mid grey
//   --env FILE     environment texture, a 256 x 256 picture (required)
//   --cam FILE     camera path (uv.cam format); default identity matrices
//   --frames N     frames to write (default 1)
//   --skip S       frames rendered before the first one written (default 0)
//   --mode M       env (default), flat or wire
//   --out DIR      where the PNGs go (default .)
// Pictures are read as PNG. Errors go to stderr with exit status 1; a bad
// command line exits with status 2.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "render3d/balls.h"
#include "render3d/raster.h"
#include "render3d/scene.h"
#include "render3d/sceneload.h"
#include "resources/cfile.h"
#include "resources/pngwrite.h"

namespace {

constexpr int kUsageError = 2;
constexpr int kRunError = 1;
constexpr uint32_t kDefaultBackground = 0x00808080;
constexpr int kPanelWidth = 640;
constexpr int kPanelHeight = 480;

struct Options {
  std::string background;
  std::string envmap;
  std::string campath;
  std::string out_dir = ".";
  long frames = 1;
  long skip = 0;
  int mode = kRenderEnv;
};

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
};

[[noreturn]] void usage(const char* message) {
  std::fprintf(stderr,
               "blobview: %s\n"
               "usage: blobview --env FILE [--bg FILE] [--cam FILE] [--frames N] [--skip S]\n"
               "                [--mode env|flat|wire] [--out DIR]\n",
               message);
  std::exit(kUsageError);
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "blobview: %s\n", message.c_str());
  std::exit(kRunError);
}

long parse_count(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 1000000) usage("a count must be a number from 0 to 1000000");
  return value;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) usage(("missing value after " + arg).c_str());
    const char* value = argv[++i];
    if (arg == "--bg") {
      o.background = value;
    } else if (arg == "--env") {
      o.envmap = value;
    } else if (arg == "--cam") {
      o.campath = value;
    } else if (arg == "--out") {
      o.out_dir = value;
    } else if (arg == "--frames") {
      o.frames = parse_count(value);
    } else if (arg == "--skip") {
      o.skip = parse_count(value);
    } else if (arg == "--mode") {
      const std::string m = value;
      if (m == "env") {
        o.mode = kRenderEnv;
      } else if (m == "flat") {
        o.mode = kRenderFlat;
      } else if (m == "wire") {
        o.mode = kRenderWire;
      } else {
        usage("--mode is env, flat or wire");
      }
    } else {
      usage(("unknown option " + arg).c_str());
    }
  }
  if (o.envmap.empty()) usage("--env is required");
  return o;
}

Picture read_png(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) fail(path + ": " + image.message);
  // BGRA bytes are one little-endian 0xAARRGGBB word per pixel.
  image.format = PNG_FORMAT_BGRA;
  Picture p;
  p.width = static_cast<int>(image.width);
  p.height = static_cast<int>(image.height);
  p.pixels.resize(static_cast<size_t>(p.width) * p.height);
  if (!png_image_finish_read(&image, nullptr, p.pixels.data(), 0, nullptr)) fail(path + ": " + image.message);
  for (uint32_t& px : p.pixels) px &= 0x00FFFFFF;
  return p;
}

std::vector<uint32_t> background_block(const Options& o) {
  const size_t count = static_cast<size_t>(kWindow3dWidth) * kWindow3dHeight;
  if (o.background.empty()) return std::vector<uint32_t>(count, kDefaultBackground);
  const Picture p = read_png(o.background);
  if (p.width == kWindow3dWidth && p.height == kWindow3dHeight) return p.pixels;
  if (p.width != kPanelWidth || p.height != kPanelHeight) fail(o.background + ": not 640 x 480 nor 150 x 130");
  std::vector<uint32_t> block(count);
  for (int y = 0; y < kWindow3dHeight; ++y) {
    const uint32_t* row = &p.pixels[static_cast<size_t>(kWindow3dY + y) * kPanelWidth + kWindow3dX];
    std::memcpy(&block[static_cast<size_t>(y) * kWindow3dWidth], row, kWindow3dWidth * sizeof(uint32_t));
  }
  return block;
}

void read_campath(const std::string& path) {
  if (path.empty()) return;  // the path starts as identity matrices
  if (FILE* probe = std::fopen(path.c_str(), "rb")) {
    std::fclose(probe);
  } else {
    fail(path + ": cannot open");
  }
  cfile file;
  file.open(path.c_str(), "rb");
  campath_read(file);
  file.close();
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const Picture env = read_png(o.envmap);
  if (env.width != kTextureSide || env.height != kTextureSide) fail(o.envmap + ": not 256 x 256");
  std::vector<uint32_t> texture = env.pixels;
  std::vector<uint32_t> background = background_block(o);
  std::vector<uint32_t> output(kWindow3dPxBytes / sizeof(uint32_t));
  read_campath(o.campath);

  window3d window(kWindow3dWidth, kWindow3dHeight);
  render_window = &window;
  window3d_bg = background.data();
  window3d_px = output.data();
  envmap = texture.data();
  scene_place_balls();

  for (long frame = 1; frame <= o.skip + o.frames; ++frame) {
    if (o.mode == kRenderEnv) {
      refresh_window3d();
    } else {
      raster.target = window.buffer;
      raster.texture = envmap;
      window.clear_to(window3d_bg);
      balls.render(o.mode);
      window.resolve_to(window3d_px);
    }
    if (frame <= o.skip) continue;
    char name[32];
    std::snprintf(name, sizeof name, "/blob_%04ld.png", frame);
    const std::string path = o.out_dir + name;
    std::string error;
    if (!png_write_rgb(path.c_str(), window3d_px, kWindow3dWidth, kWindow3dHeight, error)) fail(error);
  }
  render_window = nullptr;
  return 0;
}
