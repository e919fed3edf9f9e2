// icons: the icon pictures of a party's invitation, made from its logo or
// from the organiser's own square picture, at every size a release needs:
// the window's icon (icon.png in the archive), the sizes of the .exe's icon
// slot (exeicon.h), the web page's favicon and touch icon.
//
// An IconPicture is square, side x side pixels 0xAARRGGBB, rows from the
// top. Resampling is separable and filters by a tent widened by the
// reduction (bilinear when enlarging, an area-like average when reducing)
// over colours weighted by alpha, so transparent pixels lend no colour to
// their neighbours. Plain double arithmetic in a fixed order (no libm
// transcendental function): every build makes the same bytes.
//
// Limits: a logo is kLogoWidth x kLogoHeight pixels 0x00RRGGBB and the
// square cut from it lies inside it, at least kIconSourceMinSide a side; an
// organiser's picture is square, kIconSourceMinSide to kIconSourceMaxSide a
// side. Anything else is refused with a message.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kit {

constexpr int kLogoWidth = 640;
constexpr int kLogoHeight = 480;
constexpr int kIconSourceMinSide = 16;
constexpr int kIconSourceMaxSide = 4096;

// The sizes a release needs: icon.png in the archive (the program's window
// icon, which it takes at 16 to 256 a side), the .exe's slot, the favicon
// and the touch icon of the web page.
constexpr int kWindowIconSide = 64;
constexpr std::array<int, 6> kExeIconSides = {16, 32, 48, 64, 128, 256};
constexpr int kFaviconSide = 32;
constexpr int kTouchIconSide = 180;

struct IconPicture {
  int side = 0;
  std::vector<uint32_t> pixels;
};

// A square of the logo: its top left corner and side.
struct IconSquare {
  int x = 0;
  int y = 0;
  int side = 0;
};

// The square our own icons are cut from: the logo's first letter on its
// starfield.
constexpr IconSquare kLogoIconSquare = {44, 114, 96};

struct IconSet {
  IconPicture window;
  std::vector<IconPicture> exe;  // one per kExeIconSides, in that order
  IconPicture favicon;
  IconPicture touch;
};

// The square of a logo (kLogoWidth x kLogoHeight pixels 0x00RRGGBB) as an
// opaque picture; false and a message when the logo or square is wrong.
bool icon_from_logo(const std::vector<uint32_t>& logo, int width, int height, IconSquare square,
                    IconPicture& picture, std::string& error);

// An organiser's picture (0xAARRGGBB) checked as an icon's source; false and
// a message when it is not square or its side is out of the limits.
bool icon_from_picture(const std::vector<uint32_t>& pixels, int width, int height, IconPicture& picture,
                       std::string& error);

// The picture resampled to side x side (1 to kIconSourceMaxSide); an empty
// picture (side 0) for a side out of that range or a source that is not a
// whole square.
IconPicture icon_resample(const IconPicture& source, int side);

// Every icon of a release from one square source picture.
IconSet icons_make(const IconPicture& source);

}  // namespace kit
