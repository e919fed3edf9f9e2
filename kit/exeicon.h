// exeicon: a party's icon put into the bytes of velmora2k.exe in place,
// without building the program again.
//
// The program is built with an icon slot: one icon group (RT_GROUP_ICON)
// whose images (RT_ICON) are uncompressed 32-bit DIBs of the sides
// kExeIconSides, in that order (a 40-byte BITMAPINFOHEADER of height 2 x
// side, side x side pixels blue, green, red, alpha from the bottom row up,
// then the AND mask, one bit a pixel, rows padded to 32 bits). The slot is
// found through the PE resource directory (PE32 or PE32+, the resource
// section mapped through the section table) and each image's pixels and mask
// are overwritten; nothing moves and the file keeps its size.
//
// An .exe without that slot, or whose directory points outside the file, is
// refused with a message and left as it was.
#pragma once

#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/icons.h"

namespace kit {

// The icons of the slot as they stand, one per kExeIconSides; false and a
// message when the .exe has no such slot.
bool exe_icons_read(const Bytes& exe, std::vector<IconPicture>& icons, std::string& error);

// Overwrites the slot's images with icons (one per kExeIconSides, each of
// its side); false and a message, exe unchanged, when the slot or the icons
// are not the expected ones.
bool exe_icons_write(Bytes& exe, const std::vector<IconPicture>& icons, std::string& error);

}  // namespace kit
