// Support for the 2D drawing tests: reading and filling surfaces, and small
// PNG pictures written into the test's folder.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"
#include "resources/pngwrite.h"

namespace gfx_test {

inline const ptc::Format kFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);

inline std::vector<uint32_t> pixels_of(ptc::Surface& s) {
  const auto* p = static_cast<const uint32_t*>(s.lock());
  std::vector<uint32_t> v(p, p + static_cast<size_t>(s.width()) * s.height());
  s.unlock();
  return v;
}

inline void fill(ptc::Surface& s, uint32_t value) {
  auto* p = static_cast<uint32_t*>(s.lock());
  std::fill(p, p + static_cast<size_t>(s.width()) * s.height(), value);
  s.unlock();
}

inline void put(ptc::Surface& s, int x, int y, uint32_t value) {
  auto* p = static_cast<uint32_t*>(s.lock());
  p[static_cast<size_t>(y) * s.width() + x] = value;
  s.unlock();
}

// Distinct non-zero 0x00RRGGBB values, starting at first.
inline std::vector<uint32_t> test_picture(int w, int h, uint32_t first = 0x00102030) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint32_t>(first + i * 0x00010203) & 0x00FFFFFF;
  return px;
}

inline void write_png(const char* name, const std::vector<uint32_t>& px, int w, int h) {
  std::string error;
  ASSERT_TRUE(png_write_rgb(name, px.data(), w, h, error)) << error;
}

}  // namespace gfx_test
