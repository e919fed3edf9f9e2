// surfaces: the work surfaces, and pictures turned into display surfaces and
// into plain pixel blocks.
//
// The work surfaces are made by the application: every frame is composed in
// screen; target is what a cross-fade moves towards; caption holds one
// caption line. Process exit takes them.
//
// surface_from_image loads a picture by name (archive first, then disk; the
// decoder is picked by extension and the result widened to 32-bit pixels
// 0x00RRGGBB), makes a surface of the picture's size holding its pixels and
// appends it to surface_list, which shutdown empties with
// surface_list_destroy. texture_from_image hands the pixels out as a memory
// pool block instead (width x height words, rows packed; the caller knows
// the size). Limits: kSurfaceSlots surfaces in the list; a surface made when
// the list is full is still returned but not listed (process exit takes it).
// A picture whose surface cannot be made (empty, or too large) is fatal.
#pragma once

#include <array>
#include <cstdint>

namespace ptc {
class Surface;
}

constexpr uint32_t kSurfaceSlots = 100;

extern ptc::Surface* screen;
extern ptc::Surface* target;
extern ptc::Surface* caption;

struct surfacelist {
  uint32_t count = 0;
  std::array<ptc::Surface*, kSurfaceSlots> entries{};
};

// Every surface made from a picture, in creation order.
extern surfacelist surface_list;

ptc::Surface* surface_from_image(const char* name);
// The picture's width and height go to width and height when they are given.
void* texture_from_image(const char* name, int32_t* width = nullptr, int32_t* height = nullptr);
// Destroys every listed surface and clears its entry (the count stays).
void surface_list_destroy();
