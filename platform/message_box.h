// message_box: tells the user about a failure.
//
// The text always goes to stderr; the installed backend shows it in a modal
// box too (the SDL backend with SDL_ShowSimpleMessageBox and the warning
// flag; the headless backend shows none). Returns when the box is dismissed.
#pragma once

namespace platform {

void message_box(const char* caption, const char* text);

}  // namespace platform
