// visit: the visit of every page, as a capture tool script (see visit.h).
#include "kit/visit.h"

#include <array>
#include <iterator>
#include <string_view>

#include "velmora_layout.h"

namespace kit {

namespace {

// Frames at 10 frames a second: the loading bar half full, the captions at
// full strength (7, 11 and 15 s into the music), the menu in full view (from
// frame 191).
constexpr int kLoading = 12;
constexpr std::array<int, 3> kCaptions = {70, 110, 150};
constexpr int kMenu = 200;
constexpr size_t kPageCount = std::size(layout::kPageNames);

// The middle row of the button named page, or -1 when the layout has none.
constexpr int button_middle(std::string_view page) {
  for (const layout::Button& b : layout::kButtons) {
    if (page == b.name) return b.y + b.height / 2;
  }
  return -1;
}

constexpr bool every_page_has_a_button() {
  for (const char* page : layout::kPageNames) {
    if (button_middle(page) < 0) return false;
  }
  return true;
}
static_assert(every_page_has_a_button(), "layout.json: every page needs a button of its name");

// The pointer moves straight up or down from where it starts to the middle
// of each page's button in turn (the buttons share a column): each move is
// from the last button's middle (-61, 38, 35, 36 for the invitation's own
// layout).
constexpr std::array<int, kPageCount> page_moves() {
  std::array<int, kPageCount> moves{};
  int at = layout::kPointerStartY;
  for (size_t i = 0; i < kPageCount; ++i) {
    const int middle = button_middle(layout::kPageNames[i]);
    moves[i] = middle - at;
    at = middle;
  }
  return moves;
}
constexpr std::array<int, kPageCount> kPageMoves = page_moves();
// A page is visited every kPageStep frames; it shows in full kShowAfter
// frames after its click (the cross-fade takes 17 frames).
constexpr int kPageStep = 50;
constexpr int kShowAfter = 22;
// The fade to black after Esc lasts 32 frames; the run ends after it.
constexpr int kFadeFrames = 32;

int page_visit(size_t page) { return kMenu + 1 + static_cast<int>(page) * kPageStep; }

int esc_frame() { return page_visit(kPageMoves.size()); }

}  // namespace

bool visit_fps_valid(int fps) {
  return fps >= kVisitBaseFps && fps <= kVisitMaxFps && fps % kVisitBaseFps == 0;
}

std::string visit_script(int fps) {
  const int k = fps / kVisitBaseFps;
  std::string script;
  auto event = [&](int frame, const std::string& what) {
    script += std::to_string(frame * k) + " " + what + "\n";
  };
  for (size_t i = 0; i < kPageMoves.size(); ++i) {
    const int at = page_visit(i);
    event(at, "move 0 " + std::to_string(kPageMoves[i]));
    event(at + 1, "down left");
    event(at + 2, "up left");
    event(at + kShowAfter + 1, "down right");
    event(at + kShowAfter + 2, "up right");
  }
  event(esc_frame(), "key 27");
  return script;
}

std::vector<int> visit_sheet_frames(int fps) {
  const int k = fps / kVisitBaseFps;
  std::vector<int> frames = {kLoading * k};
  for (int caption : kCaptions) frames.push_back(caption * k);
  frames.push_back(kMenu * k);
  for (size_t i = 0; i < kPageMoves.size(); ++i) frames.push_back((page_visit(i) + kShowAfter) * k);
  return frames;
}

int visit_length(int fps) { return esc_frame() * (fps / kVisitBaseFps) + kFadeFrames; }

}  // namespace kit
