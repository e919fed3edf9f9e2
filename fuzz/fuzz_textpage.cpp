// Fuzz target: bytes as a page file. The page is read from disk in a private
// folder (no archive open), then scrolled through both strips and drawn
// before and after; the log is on, so every log line is formatted.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "gfx2d/font.h"
#include "gfx2d/textpage.h"
#include "platform/display.h"
#include "platform/input.h"
#include "private_folder.h"

namespace {

const ptc::Format kFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);

// A low glyph sheet keeps each input quick; its cells still cover every
// character, and the lines still run past the destination's right edge.
constexpr int kSheetWidth = 3300;
constexpr int kSheetRows = 4;

struct surfaces {
  ptc::Surface sheet{kSheetWidth, kSheetRows, kFormat};
  ptc::Surface dst{640, 480, kFormat};

  surfaces() {
    auto* p = static_cast<uint32_t*>(sheet.lock());
    for (int i = 0; i < kSheetWidth * kSheetRows; ++i) p[i] = static_cast<uint32_t>(i) * 0x9E3779B1u;
    sheet.unlock();
    fontimg = &sheet;
  }
  ~surfaces() { fontimg = nullptr; }
};

// Moves the pointer into a strip, scrolls there, then draws what is shown.
void scroll_and_draw(textpage& page, ptc::Surface& dst, int32_t y, int steps) {
  mouse_x = 320;
  mouse_y = y;
  for (int i = 0; i < steps; ++i) textpage_scroll(page);
  textpage_draw(dst, page);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static surfaces sf;
  static const std::string path = private_folder("textpage") + "/page.txt";
  write_input(path, data, size);

  textpage page;
  textpage_load(page, path.c_str());
  if (page.line_count > kPageLines || page.top_line != 0) std::abort();
  textpage_draw(sf.dst, page);
  scroll_and_draw(page, sf.dst, kMouseMaxY, 40);
  if (page.line_count >= kPageRows && page.top_line + kPageRows > page.line_count) std::abort();
  scroll_and_draw(page, sf.dst, 0, 10);
  return 0;
}
