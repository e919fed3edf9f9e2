// visit: the scripted visit of an invitation that the capture tool plays for
// the preview sheet and the video: the loading screen, the opening's three
// captions, the menu, then each page in turn (the pointer moved onto its
// button, a click, the page read, the right button back), and Esc at the
// end, which fades the picture out and ends the run.
//
// Scripts are in the capture tool's input format ("FRAME EVENT" lines). The
// opening is clocked by the music and the menu counts frames, so every event
// frame is the 10-frames-a-second one times fps / 10: fps must be a whole
// multiple of kVisitBaseFps, from kVisitBaseFps to kVisitMaxFps.
#pragma once

#include <string>
#include <vector>

namespace kit {

constexpr int kVisitBaseFps = 10;
constexpr int kVisitMaxFps = 60;

// True when fps is one the visit can be played at.
bool visit_fps_valid(int fps);

// The input script of the visit at fps frames a second.
std::string visit_script(int fps);

// The frames of the preview sheet, in its order: the loading bar half full,
// the three captions at full strength, the menu in full view, and each page.
std::vector<int> visit_sheet_frames(int fps);

// The frame after which the run has ended (the fade after Esc included).
int visit_length(int fps);

}  // namespace kit
