// Text pages: reading page files (the END line, empty lines, line ends,
// and the mended overruns), scrolling by the pointer strips, and drawing
// the visible lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gfx2d/font.h"
#include "gfx2d/textpage.h"
#include "gfx_support.h"
#include "platform/display.h"
#include "platform/input.h"
#include "res_support.h"

namespace {

using gfx_test::kFormat;
using gfx_test::pixels_of;
using res_test::text_bytes;
using res_test::write_file;

std::vector<std::string> lines_of(const textpage& page) {
  return std::vector<std::string>(page.lines.begin(), page.lines.begin() + page.line_count);
}

// Count of non-overlapping occurrences of what in text.
size_t count_of(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class TextPageTest : public res_test::ResourceTest {
 protected:
  // Loads page.txt holding text into the test's own page.
  void load(const std::string& text) {
    write_file("page.txt", text_bytes(text));
    textpage_load(page_, "page.txt");
  }

  // A page of n lines "L0", "L1", ...
  void load_numbered(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "L" + std::to_string(i) + "\r\n";
    load(text + "END\r\n");
  }

  textpage page_;
};

TEST_F(TextPageTest, ReadsLinesUpToTheEndLine) {
  const struct {
    const char* what;
    std::string file;
    std::vector<std::string> lines;
  } cases[] = {
      {"one line", "Hello world\r\nEND\r\n", {"Hello world"}},
      {"END first", "END\r\nHello\r\n", {}},
      {"empty line", "a\r\n\r\nb\r\nEND\r\n", {"a", "", "b"}},
      {"line feed inside", "ab\ncd\r\nEND\r\n", {"ab"}},
      {"END starts a longer line", "x\r\nENDING\r\ny\r\n", {"x"}},
      {"nothing after END", "x\r\nEND\r\ny\r\nEND\r\n", {"x"}},
      {"lower-case end is text", "end\r\nEND\r\n", {"end"}},
      {"percent kept as read", "100%%\r\nEND\r\n", {"100%%"}},
      {"no END line", "a\r\nb\r\n", {"a", "b"}},
      {"no END, last line open", "a\r\nbc", {"a", "bc"}},
      {"no END, CR without LF", "a\r", {"a"}},
      {"empty file", "", {}},
  };
  for (const auto& tc : cases) {
    textpage page;
    write_file("page.txt", text_bytes(tc.file));
    textpage_load(page, "page.txt");
    EXPECT_EQ(lines_of(page), tc.lines) << tc.what;
    EXPECT_EQ(page.top_line, 0u) << tc.what;
  }
}

TEST_F(TextPageTest, ClosesThePageFile) {
  enable_log();
  load("a\r\nEND\r\n");
  EXPECT_EQ(count_of(log_text(), "cfile: close action was succesfull\n"), 1u) << log_text();
}

// A line longer than the 256-byte buffer keeps its first 255 bytes; the
// rest up to its CR is skipped and the next line reads as usual. Logged
// once per page.
TEST_F(TextPageTest, OverlongLineIsCut) {
  enable_log();
  load(std::string(300, 'x') + "\r\nnext\r\n" + std::string(400, 'y') + "\r\nEND\r\n");
  ASSERT_EQ(page_.line_count, 3u);
  EXPECT_EQ(std::string(page_.lines[0]), std::string(255, 'x'));
  EXPECT_EQ(std::string(page_.lines[1]), "next");
  EXPECT_EQ(std::string(page_.lines[2]), std::string(255, 'y'));
  EXPECT_EQ(count_of(log_text(), "textpage: page.txt: line 1 longer than 256 bytes"), 1u) << log_text();
  EXPECT_EQ(count_of(log_text(), "textpage:"), 1u) << log_text();
}

TEST_F(TextPageTest, LinesBeyondTheTableAreIgnored) {
  enable_log();
  load_numbered(1200);
  ASSERT_EQ(page_.line_count, kPageLines);
  EXPECT_EQ(std::string(page_.lines[kPageLines - 1]), "L999");
  EXPECT_EQ(count_of(log_text(), "textpage: page.txt: more than 1000 lines"), 1u) << log_text();
}

TEST_F(TextPageTest, PointerStripsScrollOneLine) {
  load_numbered(30);
  const struct {
    int y;
    uint32_t from, to;
  } cases[] = {
      {0, 3, 2},   {50, 3, 2},  {51, 3, 3}, {240, 3, 3}, {429, 3, 3},
      {430, 3, 4}, {464, 3, 4}, {0, 0, 0},  {464, 6, 6},
  };
  for (const auto& tc : cases) {
    page_.top_line = tc.from;
    mouse_x = 624;
    mouse_y = tc.y;
    textpage_scroll(page_);
    EXPECT_EQ(page_.top_line, tc.to) << "y " << tc.y << " from " << tc.from;
  }
  // A page that fits the 24 rows never scrolls.
  for (int n : {24, 3}) {
    std::string text;
    for (int i = 0; i < n; ++i) text += "line\r\n";
    write_file("short.txt", text_bytes(text + "END\r\n"));
    textpage page;
    textpage_load(page, "short.txt");
    mouse_y = 464;
    for (int k = 0; k < 3; ++k) textpage_scroll(page);
    EXPECT_EQ(page.top_line, 0u) << n << " lines";
  }
}

// Drawing is compared with the glyph drawing of the expected texts.
class TextPageDrawTest : public TextPageTest {
 protected:
  void SetUp() override {
    TextPageTest::SetUp();
    sheet_ = new ptc::Surface(3300, 32, kFormat);
    auto* p = static_cast<uint32_t*>(sheet_->lock());
    for (int i = 0; i < 3300 * 32; ++i) p[i] = static_cast<uint32_t>(i * 2654435761u) & 0x001F1F1F;
    sheet_->unlock();
    fontimg = sheet_;
  }
  void TearDown() override {
    fontimg = nullptr;
    delete sheet_;
    TextPageTest::TearDown();
  }

  std::vector<uint32_t> drawn(const textpage& page) {
    ptc::Surface s(640, 480, kFormat);
    textpage_draw(s, page);
    return pixels_of(s);
  }

  // The texts drawn as the rows of a page: row i at (45, 55 + 15 i).
  std::vector<uint32_t> expected(const std::vector<std::string>& rows) {
    ptc::Surface s(640, 480, kFormat);
    for (size_t i = 0; i < rows.size(); ++i) {
      glyph_text_draw(s, 45, 55 + 15 * static_cast<int>(i), "%s", rows[i].c_str());
    }
    return pixels_of(s);
  }

  ptc::Surface* sheet_ = nullptr;
};

TEST_F(TextPageDrawTest, ShowsTwentyFourLinesFromTheTopLine) {
  load_numbered(30);
  page_.top_line = 6;
  std::vector<std::string> rows;
  for (int i = 6; i < 30; ++i) rows.push_back("L" + std::to_string(i));
  EXPECT_EQ(drawn(page_), expected(rows));
}

TEST_F(TextPageDrawTest, PageEndedByItsFirstLineDrawsNothing) {
  load("END\r\nHello\r\n");
  EXPECT_EQ(drawn(page_), expected({}));
}

// "%%" shows one "%"; any other "%" is shown as it stands, never taken as
// a conversion (which would read arguments that are not there).
TEST_F(TextPageDrawTest, PercentSignsInLines) {
  load("100%%\r\n%s %d %n %\r\n%%%\r\nEND\r\n");
  EXPECT_EQ(drawn(page_), expected({"100%", "%s %d %n %", "%%"}));
}

}  // namespace
