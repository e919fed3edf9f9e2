// identity: the window's title and icon. A party's archive names them in
// "title.txt" and "icon.png"; without them (our own archive has neither) the
// window is ours: titled kWindowTitle, with our 64 x 64 icon. Both are read
// from the archive only, never from a file of that name on disk.
//
// title.txt: UTF-8 text, one line of 1 to kTitleMaxBytes bytes without
// control characters; one line end (LF or CR LF) may follow it.
// icon.png: a square 8-bit RGB or RGBA PNG, kIconMinSide to kIconMaxSide
// pixels a side (the party kit writes kIconSide). A title or icon outside
// these limits is set aside with a log line and ours is used: neither ever
// stops the invitation. A damaged icon.png is a damaged picture of the
// archive, reported like any other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kTitleMaxBytes = 128;
constexpr int kIconSide = 64;
constexpr int kIconMinSide = 16;
constexpr int kIconMaxSide = 256;

// A square picture for the window, side x side pixels 0xAARRGGBB, rows from
// the top (alpha 0xFF where the picture has none).
struct WindowIcon {
  int side = 0;
  std::vector<uint32_t> pixels;
};

// The window's title: the archive's title.txt, or kWindowTitle.
std::string window_title();
// The window's icon: the archive's icon.png, or ours.
WindowIcon window_icon();
// Our own icon, as window_icon gives it without icon.png.
WindowIcon window_icon_ours();
