// input: the mouse as the program sees it, an absolute pointer position on
// the 640 x 480 screen and two button flags, built from the relative counts
// of the backend's mouse device. Polled once per menu frame by the one thread.
//
// The pointer stays within 0..kMouseMaxX and 0..kMouseMaxY (the screen less
// the 16-pixel pointer picture, which is drawn there without clipping).
// Counts are added exactly as the device reports them, no scaling.
// The keyboard is read through the console (platform/display.h).
#pragma once

#include <cstdint>

constexpr int32_t kMouseStartX = 320;
constexpr int32_t kMouseStartY = 240;
constexpr int32_t kMouseMaxX = 624;
constexpr int32_t kMouseMaxY = 464;

// Result codes that mouse_init logs by name when creating the input system fails.
constexpr int32_t kMouseErrInvalidParam = static_cast<int32_t>(0x80070057u);
constexpr int32_t kMouseErrOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr int32_t kMouseErrOldVersion = static_cast<int32_t>(0x8007047Eu);
constexpr int32_t kMouseErrBetaVersion = static_cast<int32_t>(0x80070481u);

// A read that keeps reporting lost input although the device is acquired
// again gives up after this many tries (the state stays as it was).
constexpr int kMouseReacquireTries = 8;

// The mouse state; mouse_left and mouse_right are 1 while the button is down.
extern int32_t mouse_x;
extern int32_t mouse_y;
extern uint8_t mouse_left;
extern uint8_t mouse_right;

// Puts the pointer at (320, 240) with both buttons up and opens the mouse
// device (the backend reads the mouse of its own window, so the handle only
// names it). Returns 0, or the negative result code of the failure (logging
// the ones named above). The device is acquired by mouse_poll.
int32_t mouse_init(void* window);
// Reads the device once: acquire, read (lost input is acquired again and
// read again), add the counts, clamp x then y at 0, then x and y at their
// maxima, take bit 7 of button bytes 0 (left) and 1 (right); a button
// pressed at any time since the last poll reads as down (backend.h). Returns 0, or
// the failing negative code with the state unchanged; 0 without a device.
int32_t mouse_poll();
// Releases the device; returns 0.
int32_t mouse_close();
// left <= mouse_x <= right and top <= mouse_y <= bottom, compared unsigned.
bool mouse_in_rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
