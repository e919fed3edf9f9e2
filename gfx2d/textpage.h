// textpage: the four scrolling text pages of the menu.
//
// A page file is a list of CR LF lines ended by a line that begins with
// "END"; the reader keeps each line (cut at its first CR or LF) as a heap
// copy. Limits: kPageLines lines (later ones are ignored), kLineBytes bytes
// of line buffer, CR and terminating zero included (the rest of a longer
// line is skipped); the end of the data also ends the page. Both overruns
// are logged once per page. A page shows kPageRows lines from top_line,
// kRowStep pixels apart, drawn with the glyph font; a line is shown as a
// format text without arguments, so "%%" shows one "%" (any other "%" shows
// as it stands). The pointer resting in the top or bottom strip scrolls the
// page by one line per call of textpage_scroll.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ptc {
class Surface;
}

constexpr uint32_t kPageLines = 1000;
constexpr uint32_t kLineBytes = 256;
constexpr uint32_t kPageRows = 24;
constexpr int kPageLeft = 45;
constexpr int kPageTop = 55;
constexpr int kRowStep = 15;
// The scroll strips, bounds included, in screen pixels.
constexpr int32_t kScrollUpBottom = 50;
constexpr int32_t kScrollDownTop = 430;
constexpr int32_t kScrollStripRight = 640;
constexpr int32_t kScrollStripBottom = 480;

struct textpage {
  std::array<char*, kPageLines> lines{};
  uint32_t line_count = 0;
  uint32_t top_line = 0;

  textpage() = default;
  textpage(const textpage&) = delete;
  textpage& operator=(const textpage&) = delete;
  ~textpage();
};

// The four pages, in the order their buttons have in the menu (the layout's
// page names).
enum page_index : uint32_t { kPageInfo, kPageCompo, kPageContact, kPageCredits, kPageCount };
extern std::array<textpage, kPageCount> textpages;
// A page's file: its name in the layout with ".txt" ("info.txt").
std::string textpage_file(uint32_t page);

// Appends the named file's lines (archive first, then disk) to the page and
// sets top_line to 0.
void textpage_load(textpage& page, const char* name);
void textpage_scroll(textpage& page);
void textpage_draw(ptc::Surface& dst, const textpage& page);
