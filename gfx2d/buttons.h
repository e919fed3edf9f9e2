// buttons: the menu's buttons and the mouse pointer.
//
// A button is a highlight picture with a hit rectangle that reaches two
// pixels past the picture on the right and at the bottom (width + 3 columns,
// height + 3 rows, bounds included), clamped to 0..kHitMaxX and 0..kHitMaxY.
// buttons_update draws the highlight of every button under the pointer onto
// screen and makes a button under the pointer chosen while the left button
// is down; it never clears chosen (the menu does, once it has acted).
// Limits: kButtonSlots buttons; a button beyond them is not registered.
#pragma once

#include <array>
#include <cstdint>

namespace ptc {
class Surface;
}

constexpr uint32_t kButtonSlots = 64;
constexpr int32_t kHitMaxX = 800;
constexpr int32_t kHitMaxY = 600;
// The hit rectangle's extra reach past the picture's last column and row.
constexpr int32_t kHitMargin = 2;
// chosen at creation: all bits set.
constexpr uint32_t kChosenNone = 0xFFFFFFFF;
// The pointer picture's transparent value.
constexpr uint32_t kPointerKey = 0;

struct button {
  ptc::Surface* highlight;
  int32_t hit_left;
  int32_t hit_top;
  int32_t hit_right;
  int32_t hit_bottom;
  int32_t pic_width;
  int32_t pic_height;
  int32_t draw_x;
  int32_t draw_y;
  int32_t hovered;
};

struct buttonset {
  uint32_t button_count = 0;
  std::array<button, kButtonSlots> buttons{};
  // Index of the button chosen last; any value of kButtonSlots or more means
  // that nothing is chosen.
  uint32_t chosen = kChosenNone;
};

// Created by static initialisation, right after the console.
extern buttonset buttonlist;

// Registers a button whose highlight is the named picture, drawn at (x, y).
void button_add(const char* name, int32_t x, int32_t y);
void buttons_update();
// Draws the pointer picture onto screen at the mouse position; pixels of
// value kPointerKey are not drawn.
void pointer_draw(ptc::Surface& pointer);
