// surfaces: see surfaces.h.
#include "gfx2d/surfaces.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "gfx2d/pixel.h"
#include "platform/display.h"
#include "resources/cimage.h"
#include "resources/log.h"
#include "resources/mempool.h"

ptc::Surface* screen = nullptr;
ptc::Surface* target = nullptr;
ptc::Surface* caption = nullptr;
surfacelist surface_list;

namespace {

// Loads and widens a picture. The loader lower-cases the name it is given in
// place, so it gets a copy: callers pass literals.
void picture_load(cimage& picture, const char* name) {
  std::string writable(name);
  picture.load(writable.data());
  picture.to32();
}

// Returns the pool block to the pool; the record itself is the caller's local.
void picture_release(cimage& picture) {
  if (picture.pixels) mempool_free(picture.pixels);
  picture.pixels = nullptr;
}

// Bytes that both the picture's block and a width x height surface hold: a
// picture that the widening leaves below 32 bits per pixel (8-bit palette
// indices or grey) has a smaller block, which must not be read past.
uint32_t picture_copy_bytes(const cimage& picture) {
  const uint64_t wanted = static_cast<uint64_t>(std::max(picture.width, 0)) *
                          static_cast<uint64_t>(std::max(picture.height, 0)) * 4;
  return static_cast<uint32_t>(std::min<uint64_t>(wanted, picture.size));
}

// A surface of the picture's size, or null when the display layer refuses
// it (an empty picture) or memory runs out (an absurd size).
ptc::Surface* surface_create(int width, int height) {
  try {
    return new ptc::Surface(width, height, pixfmt);
  } catch (const ptc::DynamicError&) {
    return nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

void surface_list_append(ptc::Surface* surface, const char* name) {
  if (surface_list.count >= kSurfaceSlots) {
    LOGW("surfaces: list full, %s is not destroyed at shutdown\n", name);
    return;
  }
  surface_list.entries[surface_list.count] = surface;
  surface_list.count += 1;
}

}  // namespace

ptc::Surface* surface_from_image(const char* name) {
  cimage picture;
  LOGW("n: %s ", name);
  picture_load(picture, name);
  LOGW("x: %d ", picture.width);
  LOGW("y: %d\n", picture.height);

  ptc::Surface* surface = surface_create(picture.width, picture.height);
  if (!surface) {
    LOGW("Creation of surface from %s failed...\n", name);
    char text[kLogLineBytes];
    std::snprintf(text, sizeof text, "Creation of surface from %s failed...", name);
    picture_release(picture);
    error_report(text);
    return nullptr;
  }
  void* pixels = surface->lock();
  const uint32_t bytes = picture_copy_bytes(picture);
  if (bytes > 0) byte_copy(picture.pixels, pixels, bytes);
  surface->unlock();
  picture_release(picture);
  surface_list_append(surface, name);
  return surface;
}

void* texture_from_image(const char* name, int32_t* width, int32_t* height) {
  cimage picture;
  picture_load(picture, name);
  if (width) *width = picture.width;
  if (height) *height = picture.height;
  void* block = mempool_alloc(picture.size);
  if (block && picture.pixels && picture.size > 0) byte_copy(picture.pixels, block, picture.size);
  picture_release(picture);
  return block;
}

void surface_list_destroy() {
  for (uint32_t i = 0; i < surface_list.count; ++i) {
    delete surface_list.entries[i];
    surface_list.entries[i] = nullptr;
  }
}
