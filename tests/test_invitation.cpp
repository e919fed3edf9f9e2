// The invitation from end to end, over the headless backend with scripted
// input: loading, the music-clocked opening, the menu and its pages, the
// exits and the failure paths. Each run is a child process (see
// invitation_run.cpp, compiled into this program only, because it replaces
// operator new and fopen with counting versions).
#include "tests/invitation_run.cpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx2d/font.h"
#include "gfx2d/pixel.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "resources/cimage.h"
#include "resources/pakwrite.h"
#include "resources/pngwrite.h"

namespace {

using invitation::Options;
using invitation::Record;
using invitation::Result;

constexpr int W = 640;
constexpr int H = 480;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// Reads one of the shipped pictures from the data folder as 32-bit pixels.
Picture picture(const char* name) {
  static const bool entered = chdir(VELMORA_SOURCE_DIR "/data") == 0;
  EXPECT_TRUE(entered);
  std::string writable(name);
  cimage image;
  EXPECT_TRUE(image.load(writable.data()));
  image.to32();
  Picture p;
  p.width = image.width;
  p.height = image.height;
  p.px.assign(reinterpret_cast<uint32_t*>(image.pixels),
              reinterpret_cast<uint32_t*>(image.pixels) + static_cast<size_t>(p.width) * p.height);
  mempool_free(image.pixels);
  return p;
}

// The shipped data with textpanel.png changed in rows 0 to 49, which the
// shipped pictures share with panel.png: a cross-fade that touched those
// rows would show. Made once, in a folder of its own.
std::string data_with_marked_page_header() {
  static const std::string dir = [] {
    Picture page = picture("textpanel.png");
    for (int i = 0; i < 50 * W; ++i) page.px[i] ^= 0x00808080;
    const std::string folder = invitation::data_folder_with({"qtn.mp3"});
    std::string error;
    EXPECT_TRUE(png_write_rgb((folder + "/textpanel.png").c_str(), page.px.data(), W, H, error)) << error;
    std::vector<pak_item> items;
    for (const auto& entry : std::filesystem::directory_iterator(VELMORA_SOURCE_DIR "/data")) {
      const std::string name = entry.path().filename().string();
      // Packed as the build packs: the files of data/ but the music.
      if (!entry.is_regular_file() || name == "qtn.mp3" || name[0] == '.') continue;
      const std::string path = name == "textpanel.png" ? folder + "/" + name : entry.path().string();
      std::ifstream in(path, std::ios::binary);
      items.push_back({name, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})});
    }
    EXPECT_TRUE(pak_write((folder + "/pak.pak").c_str(), items, error)) << error;
    return folder;
  }();
  return dir;
}

// The cross-fade of one byte per channel: (level x t + (256 - level) x s) >> 8.
uint32_t blended(uint32_t t, uint32_t s, uint32_t level) {
  uint32_t out = 0;
  for (int k = 0; k < 32; k += 8) {
    out |= ((((t >> k) & 0xFF) * level + ((s >> k) & 0xFF) * (256 - level)) >> 8) << k;
  }
  return out;
}

const Record& record_of(const Result& r, uint64_t frame) {
  static const Record none{};
  for (const Record& rec : r.records) {
    if (rec.frame == frame) return rec;
  }
  ADD_FAILURE() << "no record of frame " << frame;
  return none;
}

bool rows_equal(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int first, int last) {
  return std::equal(a.begin() + first * W, a.begin() + (last + 1) * W, b.begin() + first * W);
}

// Pixels of rows 50 to 479 that differ between two frames outside a rectangle.
int differences_outside(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int x0, int y0, int x1,
                        int y1) {
  int n = 0;
  for (int y = 50; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      if (x >= x0 && x <= x1 && y >= y0 && y <= y1) continue;
      n += a[y * W + x] != b[y * W + x];
    }
  }
  return n;
}

// The fade of the exit, byte by byte: c' = (c * level) >> 8.
std::vector<uint32_t> faded(const std::vector<uint32_t>& frame, uint32_t level) {
  std::vector<uint32_t> out(frame);
  for (uint32_t& p : out) {
    uint32_t q = 0;
    for (int k = 0; k < 32; k += 8) q |= ((((p >> k) & 0xFF) * level) >> 8) << k;
    p = q;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Loading

TEST(Loading, TwentyFourStepsGrowTheBarFromItsLeftEdge) {
  Options o;
  o.max_frames = 24;
  o.keep_all = true;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 0);
  ASSERT_EQ(r.records.size(), 24u);
  const Picture screen = picture("loading.png");
  const Picture bar = picture("on_load.png");
  for (uint32_t k = 1; k <= 24; ++k) {
    EXPECT_EQ(r.records[k - 1].progress, k);
    const std::vector<uint32_t>& f = r.frames.at(k - 1);
    const int columns = static_cast<int>(static_cast<float>(bar.width) * (static_cast<float>(k) * (1.0f / 24.0f)));
    int wrong = 0;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        const bool in_bar = x >= kBarX && x < kBarX + columns && y >= kBarY && y < kBarY + bar.height;
        const uint32_t want = in_bar ? bar.at(x - kBarX, y - kBarY) : screen.at(x, y);
        wrong += f[y * W + x] != want;
      }
    }
    EXPECT_EQ(wrong, 0) << "progress step " << k << " with " << columns << " columns";
  }
  // Steps 2 and 3 follow each other with no work between them.
  EXPECT_NE(r.frames.at(1), r.frames.at(2));
  EXPECT_EQ(r.records[1].pool_used, r.records[2].pool_used);
  EXPECT_EQ(r.records[1].file_opens, r.records[2].file_opens);
}

// ---------------------------------------------------------------------------
// Opening, at 100 frames a second: the virtual clock reads 10 ms per frame.

class Opening : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Options o;
    o.fps = 100;
    o.max_frames = 1905;
    o.keep = {24, 25, 501, 502, 503, 699, 700, 701, 710, 1700, 1701, 1719, 1720};
    result_ = new Result(invitation::run(o));
  }
  static void TearDownTestSuite() { delete result_; }
  static Result* result_;
};
Result* Opening::result_ = nullptr;

TEST_F(Opening, PhasesFollowTheMusicClock) {
  const Result& r = *result_;
  // Phase 1 presents every frame twice, until a pass has read t >= 5000.
  EXPECT_EQ(r.frames.at(24), r.frames.at(25));
  EXPECT_EQ(record_of(r, 501).clock, 5010u);
  // Phase 3 ends on the first pass that read t >= 19000; the menu follows.
  EXPECT_EQ(r.menu_start(), 1901u);
  EXPECT_EQ(record_of(r, 1900).menu_passes, 0u);
}

TEST_F(Opening, LogoShowsPureAfterTheFadeIn) {
  const Picture logo = picture("logo.png");
  EXPECT_EQ(result_->frames.at(502), logo.px);
  // t = 5030: the first caption step, faded to nothing.
  EXPECT_EQ(result_->frames.at(503), logo.px);
}

TEST_F(Opening, CaptionAtFullStrengthIsAddedOntoTheLogo) {
  const Picture logo = picture("logo.png");
  const std::vector<uint32_t>& f = result_->frames.at(700);  // t = 7000, f = 255
  // Only the caption's box changes: "Velmora 2000" at (458, 440), 12 cells.
  int outside = 0;
  int brighter = 0;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const uint32_t a = f[y * W + x];
      const uint32_t b = logo.at(x, y);
      const bool in_box = x >= 458 && x < 458 + 11 * 11 + 24 && y >= 440 && y < 472;
      if (!in_box) outside += a != b;
      for (int k = 0; k < 32; k += 8) {
        ASSERT_GE((a >> k) & 0xFF, (b >> k) & 0xFF) << "an added caption never darkens";
      }
      brighter += in_box && a != b;
    }
  }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(brighter, 200);
}

// The logo with a caption (by default "Velmora 2000" at (458, 440)) added at
// a fade level, drawn here with the glyph sheet of the data.
std::vector<uint32_t> logo_with_caption(uint32_t level, const char* text = "Velmora 2000", int x = 458) {
  const Picture glyphs = picture("fonts.png");
  ptc::Surface sheet(glyphs.width, glyphs.height, pixfmt);
  std::copy(glyphs.px.begin(), glyphs.px.end(), static_cast<uint32_t*>(sheet.lock()));
  sheet.unlock();
  font_colour_key(sheet);
  fontimg = &sheet;
  ptc::Surface line(W, 40, pixfmt);
  surface_clear(line, 0);
  glyph_text_draw(line, 0, 0, "%s", text);
  fade_span(line.lock(), fade_factor(level), W * 40);
  line.unlock();
  fontimg = nullptr;
  const Picture logo = picture("logo.png");
  ptc::Surface out(W, H, pixfmt);
  std::copy(logo.px.begin(), logo.px.end(), static_cast<uint32_t*>(out.lock()));
  out.unlock();
  blit_add(out, line, x, 440);
  const auto* px = static_cast<const uint32_t*>(out.lock());
  std::vector<uint32_t> frame(px, px + W * H);
  out.unlock();
  return frame;
}

// The caption's turning point: the last step of its fade-in (t = 6990,
// level 243), full strength (t = 7000 to 7099, 255), the first step down
// (t = 7100, 242).
TEST_F(Opening, CaptionTurnsAtFullStrength) {
  EXPECT_EQ(result_->frames.at(699), logo_with_caption(243));
  EXPECT_EQ(result_->frames.at(700), logo_with_caption(255));
  EXPECT_EQ(result_->frames.at(701), logo_with_caption(255));
  EXPECT_EQ(result_->frames.at(710), logo_with_caption(242));
}

// Another party's captions.txt: its one line at its own left edge, then no
// caption in the turns of the lines it lacks.
TEST(OpeningCaptions, ComeFromTheArchive) {
  const std::string folder = invitation::data_folder_with({"qtn.mp3"});
  std::vector<pak_item> items;
  for (const auto& entry : std::filesystem::directory_iterator(VELMORA_SOURCE_DIR "/data")) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || name == "qtn.mp3" || name[0] == '.') continue;
    std::ifstream in(entry.path(), std::ios::binary);
    items.push_back({name, std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {})});
  }
  for (pak_item& item : items) {
    if (item.name == "captions.txt") {
      const std::string text = "300 Party 2031\r\nEND\r\n";
      item.data.assign(text.begin(), text.end());
    }
  }
  std::string error;
  ASSERT_TRUE(pak_write((folder + "/pak.pak").c_str(), items, error)) << error;
  Options o;
  o.fps = 100;
  o.max_frames = 1101;
  o.keep = {700, 1100};
  o.data_dir = folder;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.frames.at(700), logo_with_caption(255, "Party 2031", 300));
  EXPECT_EQ(r.frames.at(1100), picture("logo.png").px);  // the second line's turn
}

TEST_F(Opening, NoCaptionOnceTheStepsRunOut) {
  const Picture logo = picture("logo.png");
  EXPECT_EQ(result_->frames.at(1700), logo.px);  // t = 17000, step 120
}

TEST_F(Opening, MenuFadeStartsAtZeroWhileTheBlobTurns) {
  const Picture logo = picture("logo.png");
  EXPECT_EQ(result_->frames.at(1701), logo.px);  // t = 17010: f = 0
  EXPECT_EQ(result_->frames.at(1719), logo.px);  // t = 17190: f = 0
  EXPECT_NE(result_->frames.at(1720), logo.px);  // t = 17200: f = 25
}

TEST_F(Opening, NoAllocationOrFileAccessAfterLoading) {
  const Result& r = *result_;
  const Record& first = record_of(r, 24);
  for (const Record& rec : r.records) {
    if (rec.frame < 24) continue;
    ASSERT_EQ(rec.heap_allocations, first.heap_allocations) << "frame " << rec.frame;
    ASSERT_EQ(rec.file_opens, first.file_opens) << "frame " << rec.frame;
    ASSERT_EQ(rec.pool_used, first.pool_used) << "frame " << rec.frame;
  }
}

// ---------------------------------------------------------------------------
// Menu, at 10 frames a second so the opening passes quickly. The menu starts
// at frame M; the pointer starts at (320, 240).

class Menu : public ::testing::Test {
 protected:
  static uint64_t menu_start() {
    static uint64_t m = [] {
      Options o;
      o.fps = 10;
      o.max_frames = 400;
      return invitation::run(o).menu_start();
    }();
    return m;
  }
  static std::string at(uint64_t offset, const std::string& event) {
    return std::to_string(menu_start() + offset) + " " + event + "\n";
  }
};

TEST_F(Menu, StartsAfterTheOpening) {
  EXPECT_LT(menu_start(), 400u);
}

TEST_F(Menu, HoverLightsAButtonWithoutChoosingIt) {
  const uint64_t m = menu_start();
  Options o;
  o.fps = 10;
  o.script = at(0, "move -20 -25");  // (300, 215): over compo
  o.max_frames = static_cast<int64_t>(m + 3);
  o.keep = {m};
  const Result r = invitation::run(o);
  const Picture lit = picture("on_compo.png");
  const std::vector<uint32_t>& f = r.frames.at(m);
  int wrong = 0;
  for (int y = 0; y < lit.height; ++y) {
    for (int x = 0; x < 50; ++x) wrong += f[(202 + y) * W + 245 + x] != lit.at(x, y);  // left of the pointer
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(record_of(r, m).main_state, 0u);
  EXPECT_EQ(record_of(r, m + 2).chosen, 0xFFFFFFFFu);
}

// The hint "[rmb to back]" at (10, 460): its white pixels in a frame.
int hint_pixels(const std::vector<uint32_t>& frame) {
  int white = 0;
  for (int y = 460; y < 468; ++y) {
    for (int x = 10; x < 10 + 13 * 8; ++x) white += frame[y * W + x] == 0x00FFFFFFu;
  }
  return white;
}

// Runs with a page picture whose rows 0 to 49 differ from the menu's.
TEST_F(Menu, PageVisitScrollAndReturn) {
  const uint64_t m = menu_start();
  Options o;
  o.fps = 10;
  o.data_dir = data_with_marked_page_header();
  o.script = at(0, "move -20 -25") + at(2, "down left") + at(3, "up left") +  // click compo
             at(25, "move 0 300") +                                         // bottom strip: scroll down
             at(35, "move 0 -200") +                                        // rest
             at(40, "move 0 -300") +                                        // top strip: scroll up
             at(43, "move 0 200") +                                         // rest at y 200
             at(50, "down right") + at(51, "up right") +                    // back to the menu
             at(60, "move 0 15") + at(60, "down left");                     // hold left over compo
  o.max_frames = static_cast<int64_t>(m + 90);
  o.keep = {m + 2,  m + 3,  m + 10, m + 19, m + 20, m + 49, m + 50, m + 51,
            m + 52, m + 60, m + 65, m + 66, m + 67, m + 68};
  const Result r = invitation::run(o);
  const Picture menu_panel = picture("panel.png");
  const std::vector<uint32_t> marked(r.frames.at(m + 20).begin(), r.frames.at(m + 20).begin() + 50 * W);

  // The click is acted on in its own pass: 17 cross-fade frames follow.
  EXPECT_EQ(record_of(r, m + 2).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 2).next_state, 2u);
  EXPECT_EQ(record_of(r, m + 2).chosen, kNoChoice);
  for (uint64_t i = 3; i <= 18; ++i) EXPECT_EQ(record_of(r, m + i).main_state, 6u) << i;
  EXPECT_EQ(record_of(r, m + 19).main_state, 2u);
  // Rows 0-49 keep the menu throughout and change at once on the page's
  // first frame.
  for (uint64_t i : {3, 10, 19}) {
    EXPECT_TRUE(rows_equal(r.frames.at(m + i), r.frames.at(m + 2), 0, 49)) << "rows 0-49 at cross-fade frame " << i;
  }
  EXPECT_TRUE(std::equal(marked.begin(), marked.end(), menu_panel.px.begin(), [](uint32_t a, uint32_t b) {
    return a == (b ^ 0x00808080u);
  })) << "the page's own rows 0-49";
  // Going in, "[rmb to back]" is drawn on target: it comes with the blend.
  EXPECT_EQ(hint_pixels(r.frames.at(m + 3)), hint_pixels(r.frames.at(m + 2)));
  EXPECT_GT(hint_pixels(r.frames.at(m + 19)), 40);
  // The page: "[rmb to back]" at (10, 460) in white.
  const std::vector<uint32_t>& page = r.frames.at(m + 20);
  EXPECT_GT(hint_pixels(page), 40);
  EXPECT_EQ(differences_outside(page, r.frames.at(m + 19), 45, 55, 640, 479), 0)
      << "the last cross-fade frame is the page picture below row 50";

  // Scrolling: one line per frame in the bottom strip, never past the end;
  // one line per frame back up in the top strip.
  const uint32_t down = record_of(r, m + 34).top_line[1];
  EXPECT_EQ(down, 10u);  // the passes of frames 25..34 in the strip
  EXPECT_EQ(record_of(r, m + 39).top_line[1], down);
  EXPECT_EQ(record_of(r, m + 42).top_line[1], down - 3);
  EXPECT_EQ(record_of(r, m + 49).top_line[1], down - 3);

  // Right button: 17 frames back to the menu; the page stays until the last.
  EXPECT_EQ(record_of(r, m + 50).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 50).back_page, 2u);
  EXPECT_EQ(record_of(r, m + 66).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 67).main_state, 0u);
  for (uint64_t i : {51, 60, 67}) {
    EXPECT_TRUE(std::equal(marked.begin(), marked.end(), r.frames.at(m + i).begin())) << "rows 0-49 at " << i;
  }
  EXPECT_TRUE(rows_equal(r.frames.at(m + 68), menu_panel.px, 0, 49)) << "the menu's rows 0-49 at once";
  // Going back, the hint is drawn on screen before each blend, and the page
  // text is added over the fading picture: brighter than the blend alone.
  for (const uint64_t i : {52, 66}) {
    const std::vector<uint32_t>& before = r.frames.at(m + i - 1);
    const std::vector<uint32_t>& after = r.frames.at(m + i);
    const uint32_t level = 16 * static_cast<uint32_t>(i - 51);
    int hint = 0;
    int text = 0;
    for (int y = 0; y < H; ++y) {
      for (int x = 0; x < W; ++x) {
        const bool hint_box = x >= 10 && x < 10 + 13 * 8 && y >= 460 && y < 468;
        const bool window_or_pointer =
            (x >= 480 && y >= 285 && y < 415) || (x >= 300 && x < 316 && y >= 200 && y < 232);
        const uint32_t plain = blended(menu_panel.at(x, y), before[y * W + x], level);
        if (hint_box && r.frames.at(m + 51)[y * W + x] == 0x00FFFFFFu) {
          hint += 1;
          ASSERT_EQ(after[y * W + x], blended(menu_panel.at(x, y), 0x00FFFFFFu, level)) << x << "," << y;
        } else if (y >= 55 && y < 420 && !window_or_pointer) {
          text += after[y * W + x] != plain;
        }
      }
    }
    EXPECT_GT(hint, 40) << "frame " << i;
    EXPECT_GT(text, 100) << "frame " << i;
  }

  // Left button held over compo on the first menu frame chooses it at once;
  // the page comes back scrolled where it was left.
  EXPECT_EQ(record_of(r, m + 68).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 68).next_state, 2u);
  EXPECT_EQ(record_of(r, m + 85).main_state, 2u);
  EXPECT_EQ(record_of(r, m + 86).top_line[1], down - 3);

  // Nothing is allocated or opened in the menu.
  EXPECT_EQ(record_of(r, m).heap_allocations, r.records.back().heap_allocations);
  EXPECT_EQ(record_of(r, m).file_opens, r.records.back().file_opens);
  EXPECT_EQ(record_of(r, m).pool_used, r.records.back().pool_used);
}

// The exit: 32 fade frames, each the previous one faded, no pointer; the last
// is black but for the pointer; the run ends with 0.
void expect_fade_out(const Result& r, uint64_t first_fade, const std::vector<uint32_t>& before) {
  std::vector<uint32_t> expected = before;
  for (uint32_t i = 0; i < 32; ++i) {
    expected = faded(expected, 255 - 8 * i);
    const uint64_t frame = first_fade + i;
    ASSERT_EQ(record_of(r, frame).main_state, i < 31 ? 7u : 5u) << "fade frame " << i;
    if (i < 31) {
      ASSERT_EQ(r.frames.at(frame), expected) << "fade frame " << i;
    }
  }
  const std::vector<uint32_t>& last = r.frames.at(first_fade + 31);
  const Record& rec = record_of(r, first_fade + 31);
  int lit = 0;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const bool pointer = x >= rec.mouse_x && x < rec.mouse_x + 16 && y >= rec.mouse_y && y < rec.mouse_y + 16;
      if (!pointer) {
        ASSERT_EQ(last[y * W + x], 0u) << x << "," << y;
      }
      lit += pointer && last[y * W + x] != 0;
    }
  }
  EXPECT_GT(lit, 0) << "the pointer is drawn on the last frame";
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.records.back().frame, first_fade + 31);
}

Options fade_options(uint64_t first_fade, const std::string& script) {
  Options o;
  o.fps = 10;
  o.script = script;
  o.max_frames = static_cast<int64_t>(first_fade + 64);  // a run that does not end stops here
  for (uint64_t f = first_fade - 1; f < first_fade + 32; ++f) o.keep.insert(f);
  return o;
}

// Press and release within one frame, as a quick click or a touchpad tap
// gives them: the left one chooses the page, the right one brings the menu back.
TEST_F(Menu, ShortClicksChooseAndReturn) {
  const uint64_t m = menu_start();
  Options o;
  o.fps = 10;
  o.script = at(0, "move -20 -25") + at(2, "down left") + at(2, "up left") +  // tap compo
             at(25, "down right") + at(25, "up right");                     // tap back
  o.max_frames = static_cast<int64_t>(m + 45);
  const Result r = invitation::run(o);
  EXPECT_EQ(record_of(r, m + 2).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 24).main_state, 2u);
  EXPECT_EQ(record_of(r, m + 25).main_state, 6u);
  EXPECT_EQ(record_of(r, m + 44).main_state, 0u);
}

// Nothing reads the mouse before the menu: a click during the opening (the
// pointer starts over CONTACT) leaves every menu frame as it is, while a
// button still held when the menu first reads it counts, as a held button
// would. (Taps in the menu: ShortClicksChooseAndReturn.)
TEST_F(Menu, ClickDuringTheOpeningChoosesNothing) {
  const uint64_t m = menu_start();
  auto run_with = [&](const std::string& script) {
    Options o;
    o.fps = 10;
    o.script = script;
    o.max_frames = static_cast<int64_t>(m + 30);
    for (uint64_t f = m; f < m + 30; ++f) o.keep.insert(f);
    return invitation::run(o);
  };
  const Result quiet = run_with("");
  const Result clicked = run_with("60 down left\n60 up left\n61 down right\n62 up right\n" +
                                  std::to_string(m - 1) + " down left\n" + std::to_string(m - 1) + " up left\n");
  ASSERT_EQ(clicked.menu_start(), m);
  for (uint64_t f = m; f < m + 30; ++f) {
    ASSERT_EQ(record_of(clicked, f).main_state, 0u) << "frame " << f;
    ASSERT_TRUE(clicked.frames.at(f) == quiet.frames.at(f)) << "frame " << f;
  }
  const Result held = run_with("60 down left\n");
  EXPECT_NE(record_of(held, m).main_state, 0u);
}

TEST_F(Menu, ExitButtonFadesFromTheMenuFrameOfTheClick) {
  const uint64_t m = menu_start();
  const Result r = invitation::run(fade_options(m + 3, at(0, "move -20 100") + at(2, "down left")));
  // The click's pass already shows no pointer: where it rests, at (300, 340),
  // the frame shows the exit button's highlight. It is the unfaded start.
  const std::vector<uint32_t>& click = r.frames.at(m + 2);
  const Record& rec = record_of(r, m + 2);
  EXPECT_EQ(rec.main_state, 7u);
  const Picture lit = picture("on_exit.png");
  int covered = 0;
  for (int y = rec.mouse_y; y < rec.mouse_y + 16; ++y) {
    for (int x = rec.mouse_x; x < rec.mouse_x + 12; ++x) covered += click[y * W + x] != lit.at(x - 245, y - 326);
  }
  EXPECT_EQ(covered, 0) << "pointer at " << rec.mouse_x << "," << rec.mouse_y;
  expect_fade_out(r, m + 3, click);
}

// A second Esc during the fade-out changes nothing.
TEST_F(Menu, EscInTheMenuFadesFromThePresentedPicture) {
  const uint64_t m = menu_start();
  const Result r = invitation::run(fade_options(m + 5, at(5, "key 27") + at(12, "key 27")));
  expect_fade_out(r, m + 5, r.frames.at(m + 4));
}

// Esc during a cross-fade fades out from the picture presented last and
// leaves the cross-fade's level where it was.
TEST_F(Menu, EscDuringACrossFade) {
  const uint64_t m = menu_start();
  const Result r = invitation::run(
      fade_options(m + 8, at(0, "move -20 -25") + at(2, "down left") + at(3, "up left") + at(8, "key 27")));
  EXPECT_EQ(record_of(r, m + 7).main_state, 6u);
  const uint32_t level = record_of(r, m + 7).xfade_level;
  EXPECT_EQ(level, 80u);
  expect_fade_out(r, m + 8, r.frames.at(m + 7));
  EXPECT_EQ(r.records.back().xfade_level, level);
}

TEST_F(Menu, CloseButtonIsEsc) {
  const uint64_t m = menu_start();
  const Result r = invitation::run(fade_options(m + 5, at(5, "close")));
  expect_fade_out(r, m + 5, r.frames.at(m + 4));
}

TEST_F(Menu, EscOnAPage) {
  const uint64_t m = menu_start();
  const Result r = invitation::run(
      fade_options(m + 25, at(0, "move -20 -25") + at(2, "down left") + at(3, "up left") + at(25, "key 27")));
  EXPECT_EQ(record_of(r, m + 24).main_state, 2u);
  expect_fade_out(r, m + 25, r.frames.at(m + 24));
}

TEST_F(Menu, OtherKeysDoNothing) {
  const uint64_t m = menu_start();
  Options o;
  o.fps = 10;
  o.script = at(1, "key 65") + at(2, "key 13");
  o.max_frames = static_cast<int64_t>(m + 5);
  const Result r = invitation::run(o);
  for (const Record& rec : r.records) {
    EXPECT_EQ(rec.main_state, 0u);
  }
  EXPECT_EQ(r.exit_code, 0);
}

// ---------------------------------------------------------------------------
// Failure paths

TEST(Failures, MouseThatCannotStartEndsWithMinusOneAfterStep23) {
  Options o;
  o.faults.fail_mouse = true;
  o.log = true;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 255);
  ASSERT_EQ(r.records.size(), 23u);
  EXPECT_EQ(r.records.back().progress, 23u);
  EXPECT_NE(r.log.find("Error Initializing DirectInput"), std::string::npos);
}

TEST(Failures, SoundThatCannotStartEndsWithMinusOne) {
  Options o;
  o.faults.fail_sound = true;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_NE(r.err.find("VIRORUVOD"), std::string::npos) << r.err;
}

// Without an audio output device the run is no failure: the music plays
// silently on a clock that still runs, the opening follows it to the menu,
// and the user is told once, on stderr and in the log.
TEST(Failures, NoAudioDevicePlaysSilentlyOnARunningClock) {
  Options o;
  o.fps = 10;
  o.max_frames = 400;
  o.log = true;
  o.faults.no_audio_device = true;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_LT(r.menu_start(), 400u);
  EXPECT_GT(r.records.back().clock, 19000u);
  const std::string told = std::string(kNoAudioDeviceText) + "\n";
  for (const std::string* text : {&r.err, &r.log}) {
    const size_t first = text->find(told);
    EXPECT_NE(first, std::string::npos) << *text;
    EXPECT_EQ(text->find(told, first + 1), std::string::npos) << "said more than once";
  }
}

// An audio device that stops playing during the captions (at 8 s) does not
// hold the opening: the music clock stands for the grace (half a second,
// three frames at 6 fps, rounded up), then runs on, so the menu comes that
// many frames later with the same pixels. The user is told once.
TEST(Failures, StalledMusicReachesTheMenuAGraceLater) {
  constexpr double kFps = 6;
  constexpr uint64_t kGraceFrames = 3;  // ceil(500 x 6 / 1000)
  auto run_with = [&](int64_t stall_from) {
    Options o;
    o.fps = kFps;
    o.max_frames = 150;
    o.log = true;
    o.faults.stall_from_ms = stall_from;
    o.keep_all = true;
    return invitation::run(o);
  };
  const Result plain = run_with(-1);
  const Result stalled = run_with(8000);
  ASSERT_EQ(stalled.exit_code, 0) << stalled.err;
  const uint64_t m = plain.menu_start();
  ASSERT_LT(m + kGraceFrames + 5, 150u);
  EXPECT_EQ(stalled.menu_start(), m + kGraceFrames);
  for (uint64_t f = m; f + kGraceFrames < 150; ++f) {
    ASSERT_TRUE(stalled.frames.at(f + kGraceFrames) == plain.frames.at(f)) << "menu frame " << f - m;
  }
  for (size_t i = 1; i < stalled.records.size(); ++i) {
    const uint32_t step = stalled.records[i].clock - stalled.records[i - 1].clock;
    ASSERT_LE(step, 167u) << "the clock jumped or went back at frame " << i;
  }
  const std::string told = std::string(kAudioStalledText) + "\n";
  for (const std::string* text : {&stalled.err, &stalled.log}) {
    const size_t first = text->find(told);
    EXPECT_NE(first, std::string::npos) << *text;
    EXPECT_EQ(text->find(told, first + 1), std::string::npos) << "said more than once";
  }
}

TEST(Failures, MissingMusicEndsWithMinusOne) {
  Options o;
  o.data_dir = invitation::data_folder_with({"pak.pak"});
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 255) << r.err;
  EXPECT_NE(r.err.find("VIRORUVOD"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("File not found"), std::string::npos) << r.err;
}

TEST(Failures, MissingPictureEndsWithOneAndNamesIt) {
  Options o;
  o.data_dir = invitation::data_folder_with({"qtn.mp3"});
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("file on_load.png not found!"), std::string::npos) << r.err;
}

TEST(Failures, DisplayErrorDuringLoadingEndsWithOne) {
  Options o;
  o.faults.fail_display_at = 5;
  const Result r = invitation::run(o);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.records.size(), 4u);
  EXPECT_NE(r.err.find("injected display failure"), std::string::npos);
}

}  // namespace
