// textpage: see textpage.h.
#include "gfx2d/textpage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gfx2d/font.h"
#include "platform/input.h"
#include "resources/cfile.h"
#include "resources/log.h"
#include "velmora_layout.h"

std::array<textpage, kPageCount> textpages;
static_assert(std::size(layout::kPageNames) == kPageCount, "the layout names one page a page_index");

std::string textpage_file(uint32_t page) { return std::string(layout::kPageNames[page]) + ".txt"; }

textpage::~textpage() {
  for (uint32_t i = 0; i < line_count; ++i) std::free(lines[i]);
}

namespace {

constexpr uint8_t kCR = 13;
constexpr char kEndMark[] = "END";
constexpr size_t kEndMarkLength = sizeof kEndMark - 1;

// Reads one page file line by line and remembers which overruns it has
// already logged, so each is logged once per page.
class page_reader {
 public:
  page_reader(cfile& file, const char* name) : file_(file), name_(name) {}

  // Reads the next line into buffer: bytes up to and including its CR (or
  // up to the end of the data), then a terminating zero; the byte after the
  // CR (the line feed) is read and dropped. Bytes that do not fit are
  // skipped up to the CR. False when the data ended before any byte.
  bool read_line(char (&buffer)[kLineBytes]) {
    uint32_t n = 0;
    bool cut = false;
    uint8_t byte = 0;
    while (next(byte)) {
      if (n < kLineBytes - 1) {
        buffer[n++] = static_cast<char>(byte);
      } else if (byte != kCR) {
        cut = true;
      }
      if (byte == kCR) {
        next(byte);
        break;
      }
    }
    buffer[n] = '\0';
    if (n > 0) lines_read_ += 1;
    if (cut && !cut_logged_) {
      cut_logged_ = true;
      LOGW("textpage: %s: line %u longer than %u bytes, cut\n", name_, lines_read_, kLineBytes);
    }
    return n > 0;
  }

  bool at_end() const { return ended_; }

  void log_full() {
    if (full_logged_) return;
    full_logged_ = true;
    LOGW("textpage: %s: more than %u lines, the rest ignored\n", name_, kPageLines);
  }

  void log_no_end() { LOGW("textpage: %s has no END line\n", name_); }

 private:
  bool next(uint8_t& byte) {
    if (ended_ || !file_.stream) return false;
    byte = file_.read_u8();
    ended_ = std::feof(file_.stream) || std::ferror(file_.stream);
    return !ended_;
  }

  cfile& file_;
  const char* name_;
  bool ended_ = false;
  bool cut_logged_ = false;
  bool full_logged_ = false;
  uint32_t lines_read_ = 0;
};

// The stored text ends at the line's first CR or LF.
void line_strip(char* line) {
  line[std::strcspn(line, "\r\n")] = '\0';
}

char* line_copy(const char* line) {
  char* copy = strdup(line);
  if (!copy) error_report("textpage: Not enough memory!");
  return copy;
}

// A page line is a format without arguments: "%%" shows one "%". Any other
// "%" is shown as it stands instead of reaching the formatter, which would
// read arguments that are not there. Cut like any formatted text.
void line_text(const char* line, char (&text)[kTextBytes]) {
  size_t n = 0;
  for (const char* p = line; *p && n < sizeof text - 1; ++p) {
    if (p[0] == '%' && p[1] == '%') ++p;
    text[n++] = *p;
  }
  text[n] = '\0';
}

}  // namespace

void textpage_load(textpage& page, const char* name) {
  cfile file;
  file.open(name, "rb");
  page_reader reader(file, name);
  char buffer[kLineBytes];
  for (;;) {
    if (!reader.read_line(buffer)) {
      reader.log_no_end();
      break;
    }
    if (std::strncmp(buffer, kEndMark, kEndMarkLength) == 0) break;
    line_strip(buffer);
    if (page.line_count < kPageLines) {
      if (char* copy = line_copy(buffer)) page.lines[page.line_count++] = copy;
    } else {
      reader.log_full();
    }
    if (reader.at_end()) {
      reader.log_no_end();
      break;
    }
  }
  file.close();
  page.top_line = 0;
}

void textpage_scroll(textpage& page) {
  if (mouse_in_rect(0, 0, kScrollStripRight, kScrollUpBottom)) {
    if (page.top_line > 0) page.top_line -= 1;
  } else if (mouse_in_rect(0, kScrollDownTop, kScrollStripRight, kScrollStripBottom)) {
    if (page.top_line + kPageRows < page.line_count) page.top_line += 1;
  }
}

void textpage_draw(ptc::Surface& dst, const textpage& page) {
  if (page.top_line >= page.line_count) return;
  const uint32_t n = std::min(kPageRows, page.line_count - page.top_line);
  char text[kTextBytes];
  for (uint32_t i = 0; i < n; ++i) {
    line_text(page.lines[page.top_line + i], text);
    glyph_text_draw(dst, kPageLeft, kPageTop + kRowStep * static_cast<int>(i), "%s", text);
  }
}
