// Fuzz target: bytes as the font file "short.fnt" (read from disk in a
// private folder), then the same bytes drawn as a text with both fonts, at a
// position taken from the first bytes (so texts start near and past every
// edge), onto a full-size and a narrow destination.
#include <algorithm>
#include <cstdint>
#include <string>

#include "gfx2d/font.h"
#include "platform/display.h"
#include "private_folder.h"

namespace {

const ptc::Format kFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);

constexpr int kSheetWidth = 3300;
constexpr int kSheetRows = 32;
// Positions range a little past each edge of the 640 x 480 destination.
constexpr int kReachX = 700;
constexpr int kReachY = 540;
constexpr int kMarginLeft = 30;
constexpr int kMarginTop = 40;
// Longer than the 127 characters a formatted text keeps.
constexpr size_t kTextLimit = 200;

struct surfaces {
  ptc::Surface sheet{kSheetWidth, kSheetRows, kFormat};
  ptc::Surface dst{640, 480, kFormat};
  ptc::Surface narrow{100, 20, kFormat};

  surfaces() {
    auto* p = static_cast<uint32_t*>(sheet.lock());
    for (int i = 0; i < kSheetWidth * kSheetRows; ++i) p[i] = static_cast<uint32_t>(i) * 0x9E3779B1u;
    sheet.unlock();
    fontimg = &sheet;
  }
  ~surfaces() { fontimg = nullptr; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static surfaces sf;
  static const std::string path = private_folder("font") + "/short.fnt";
  write_input(path, data, size);
  font8.fill(0);
  font8_load(path.c_str());

  uint32_t seed = 0;
  for (size_t i = 0; i < 4 && i < size; ++i) seed |= static_cast<uint32_t>(data[i]) << (8 * i);
  const int x = static_cast<int>(seed % kReachX) - kMarginLeft;
  const int y = static_cast<int>((seed >> 16) % kReachY) - kMarginTop;
  const std::string text(reinterpret_cast<const char*>(data), std::min(size, kTextLimit));
  text8_draw(sf.dst, x, y, "%s", text.c_str());
  text8_draw(sf.narrow, x % 100, y % 20, "%s", text.c_str());
  glyph_text_draw(sf.dst, x, y, "%s", text.c_str());
  glyph_text_draw(sf.narrow, x % 100, y % 20, "%s", text.c_str());
  return 0;
}
