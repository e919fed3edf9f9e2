// The icons of a party's invitation: the pictures made from a logo or an
// organiser's picture, the .exe's icon slot rewritten in place (in an
// .exe-shaped block, and in the Windows build's velmora2k.exe when it is
// there), and the window's title and icon that the program takes from the
// archive.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/driver.h"
#include "app/identity.h"
#include "kit/exeicon.h"
#include "kit/icons.h"
#include "res_support.h"
#include "resources/cimage.h"
#include "resources/mempool.h"
#include "resources/pngwrite.h"

namespace {

using kit::Bytes;
using kit::IconPicture;

constexpr uint32_t kOpaque = 0xFF000000u;

IconPicture solid(int side, uint32_t pixel) {
  return IconPicture{side, std::vector<uint32_t>(static_cast<size_t>(side) * side, pixel)};
}

// A picture whose every pixel differs: its colour says where it is.
IconPicture pattern(int side, uint32_t seed) {
  IconPicture p{side, {}};
  for (int i = 0; i < side * side; ++i) p.pixels.push_back((static_cast<uint32_t>(i) * 2654435761u) ^ seed);
  return p;
}

TEST(KitIcons, ResamplingKeepsColoursAndWeighsByAlpha) {
  // Alpha from 1 up: a pixel of alpha 0 keeps no colour.
  IconPicture source = pattern(48, 0x5A5A5A5Au);
  for (uint32_t& px : source.pixels) px |= 0x01000000u;
  EXPECT_EQ(kit::icon_resample(source, 48).pixels, source.pixels) << "the same size is a copy";

  // A flat colour stays that colour at every size, reduced or enlarged.
  for (const int side : {1, 16, 31, 48, 180, 256}) {
    EXPECT_EQ(kit::icon_resample(solid(96, 0xFF3A7FC1u), side).pixels, solid(side, 0xFF3A7FC1u).pixels) << side;
  }
  for (const int side : {0, -3, kit::kIconSourceMaxSide + 1}) EXPECT_EQ(kit::icon_resample(source, side).side, 0);
  EXPECT_EQ(kit::icon_resample(IconPicture{48, {1, 2, 3}}, 16).side, 0) << "a source that is no whole square";

  // A fine checkerboard reduced is an even grey: the reduction averages
  // every source pixel in, it does not pick some.
  IconPicture board{64, {}};
  for (int i = 0; i < 64 * 64; ++i) board.pixels.push_back((i / 64 + i % 64) % 2 ? 0xFFFFFFFFu : 0xFF000000u);
  for (const uint32_t px : kit::icon_resample(board, 16).pixels) {
    const uint32_t r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
    EXPECT_TRUE(r == g && g == b && r >= 120 && r <= 136) << std::hex << px;
  }

  // Left half opaque red, right half transparent green: the green lends no
  // colour, and the alpha falls off across the edge.
  IconPicture edge{64, {}};
  for (int i = 0; i < 64 * 64; ++i) edge.pixels.push_back(i % 64 < 32 ? 0xFFFF0000u : 0x0000FF00u);
  const IconPicture small = kit::icon_resample(edge, 16);
  for (int x = 0; x < 16; ++x) {
    const uint32_t px = small.pixels[8 * 16 + x];
    if (px >> 24) {
      EXPECT_EQ(px & 0xFFFFFFu, 0xFF0000u) << x;
    }
  }
  EXPECT_EQ(small.pixels[8 * 16 + 0], 0xFFFF0000u);
  EXPECT_EQ(small.pixels[8 * 16 + 15], 0u);
  EXPECT_GT(small.pixels[8 * 16 + 7] >> 24, small.pixels[8 * 16 + 8] >> 24);
}

TEST(KitIcons, CutFromTheLogoOrTakenFromAPicture) {
  std::vector<uint32_t> logo(kit::kLogoWidth * kit::kLogoHeight);
  for (size_t i = 0; i < logo.size(); ++i) logo[i] = 0xAB000000u | static_cast<uint32_t>(i);
  IconPicture square;
  std::string error;
  ASSERT_TRUE(kit::icon_from_logo(logo, 640, 480, kit::kLogoIconSquare, square, error)) << error;
  ASSERT_EQ(square.side, 96);
  EXPECT_EQ(square.pixels[0], kOpaque | static_cast<uint32_t>(114 * 640 + 44));
  EXPECT_EQ(square.pixels.back(), kOpaque | static_cast<uint32_t>((114 + 95) * 640 + 44 + 95));

  const kit::IconSet set = kit::icons_make(square);
  EXPECT_EQ(set.window.side, kit::kWindowIconSide);
  ASSERT_EQ(set.exe.size(), kit::kExeIconSides.size());
  for (size_t k = 0; k < set.exe.size(); ++k) EXPECT_EQ(set.exe[k].side, kit::kExeIconSides[k]);
  EXPECT_EQ(set.favicon.side, 32);
  EXPECT_EQ(set.touch.side, 180);

  struct Refused {
    const char* what;
    bool ok;
  };
  const Refused logo_cases[] = {
      {"a logo of another size", kit::icon_from_logo(std::vector<uint32_t>(320 * 240), 320, 240, {0, 0, 96}, square, error)},
      {"a square past the right edge", kit::icon_from_logo(logo, 640, 480, {600, 0, 96}, square, error)},
      {"a square past the bottom", kit::icon_from_logo(logo, 640, 480, {0, 400, 96}, square, error)},
      {"a square left of the logo", kit::icon_from_logo(logo, 640, 480, {-1, 0, 96}, square, error)},
      {"a square too small", kit::icon_from_logo(logo, 640, 480, {0, 0, 8}, square, error)},
      {"pixels that are not the logo's size", kit::icon_from_logo(std::vector<uint32_t>(10), 640, 480, {0, 0, 96}, square, error)},
      {"a picture not square", kit::icon_from_picture(std::vector<uint32_t>(64 * 32), 64, 32, square, error)},
      {"a picture too small", kit::icon_from_picture(std::vector<uint32_t>(8 * 8), 8, 8, square, error)},
      {"a picture too large", kit::icon_from_picture(std::vector<uint32_t>(1), 8192, 8192, square, error)},
  };
  for (const Refused& c : logo_cases) EXPECT_FALSE(c.ok) << c.what;
  EXPECT_NE(error.find("square"), std::string::npos) << error;
  ASSERT_TRUE(kit::icon_from_picture(std::vector<uint32_t>(300 * 300, 0x80102030u), 300, 300, square, error));
  EXPECT_EQ(square.side, 300);
}

// --- The .exe's icon slot.

void put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t dib_size(int side) {
  return 40 + static_cast<size_t>(side) * side * 4 + (static_cast<size_t>(side) + 31) / 32 * 4 * side;
}

// Where the parts of the .exe-shaped block lie, for the tests that damage it.
struct ExeLayout {
  size_t group_at;       // the icon group's bytes
  size_t first_image_at; // the 16 x 16 image's header
  size_t icon_dir_at;    // the RT_ICON name directory
};

// A PE32+ file with one section, ".rsrc", holding the resource tree as the
// resource compiler lays out an icon of the slot's shape: RT_ICON ids 1 to 6
// (one per side, each a 32-bit DIB filled with 0xEE), RT_GROUP_ICON id 1.
Bytes exe_block(ExeLayout* layout = nullptr) {
  constexpr size_t kPe = 0x40, kOptional = kPe + 24, kSections = kOptional + 240, kRsrc = 0x200;
  constexpr uint32_t kRsrcRva = 0x1000;
  const size_t n = kit::kExeIconSides.size();
  // The tree: root, two name directories, n + 1 language directories, n + 1
  // data entries, then the data.
  const size_t icon_dir = 16 + 2 * 8, group_dir = icon_dir + 16 + n * 8;
  const size_t languages = group_dir + 24, entries = languages + (n + 1) * 24, data = entries + (n + 1) * 16;
  size_t total = data + 6 + 14 * n;
  for (const int side : kit::kExeIconSides) total += dib_size(side);
  Bytes b(kRsrc + total, 0);
  b[0] = 'M', b[1] = 'Z';
  put32(b, 0x3C, kPe);
  std::memcpy(&b[kPe], "PE\0\0", 4);
  put16(b, kPe + 4, 0x8664);
  put16(b, kPe + 6, 1);
  put16(b, kPe + 20, 240);
  put16(b, kOptional, 0x20B);
  put32(b, kOptional + 108, 16);
  put32(b, kOptional + 112 + 2 * 8, kRsrcRva);
  put32(b, kOptional + 112 + 2 * 8 + 4, static_cast<uint32_t>(total));
  std::memcpy(&b[kSections], ".rsrc", 5);
  put32(b, kSections + 8, static_cast<uint32_t>(total));
  put32(b, kSections + 12, kRsrcRva);
  put32(b, kSections + 16, static_cast<uint32_t>(total));
  put32(b, kSections + 20, kRsrc);
  const auto dir = [&](size_t at, uint32_t count) { put16(b, kRsrc + at + 14, count); };
  const auto dir_entry = [&](size_t dir_at, size_t k, uint32_t id, uint32_t offset) {
    put32(b, kRsrc + dir_at + 16 + k * 8, id);
    put32(b, kRsrc + dir_at + 16 + k * 8 + 4, offset);
  };
  dir(0, 2);
  dir_entry(0, 0, 3, 0x80000000u | static_cast<uint32_t>(icon_dir));
  dir_entry(0, 1, 14, 0x80000000u | static_cast<uint32_t>(group_dir));
  dir(icon_dir, static_cast<uint32_t>(n));
  dir(group_dir, 1);
  size_t at = data + 6 + 14 * n;
  for (size_t k = 0; k <= n; ++k) {
    const size_t language = languages + k * 24, entry = entries + k * 16;
    if (k < n) dir_entry(icon_dir, k, static_cast<uint32_t>(k + 1), 0x80000000u | static_cast<uint32_t>(language));
    if (k == n) dir_entry(group_dir, 0, 1, 0x80000000u | static_cast<uint32_t>(language));
    dir(language, 1);
    dir_entry(language, 0, 0x409, static_cast<uint32_t>(entry));
    const size_t bytes = k < n ? dib_size(kit::kExeIconSides[k]) : 6 + 14 * n;
    put32(b, kRsrc + entry, kRsrcRva + static_cast<uint32_t>(k < n ? at : data));
    put32(b, kRsrc + entry + 4, static_cast<uint32_t>(bytes));
    if (k < n) {
      const int side = kit::kExeIconSides[k];
      std::fill(b.begin() + static_cast<long>(kRsrc + at + 40), b.begin() + static_cast<long>(kRsrc + at + bytes), 0xEE);
      put32(b, kRsrc + at, 40);
      put32(b, kRsrc + at + 4, static_cast<uint32_t>(side));
      put32(b, kRsrc + at + 8, static_cast<uint32_t>(2 * side));
      put16(b, kRsrc + at + 12, 1);
      put16(b, kRsrc + at + 14, 32);
      const size_t g = kRsrc + data + 6 + 14 * k;
      b[g] = b[g + 1] = static_cast<uint8_t>(side % 256);
      put16(b, g + 4, 1);
      put16(b, g + 6, 32);
      put32(b, g + 8, static_cast<uint32_t>(bytes));
      put16(b, g + 12, static_cast<uint16_t>(k + 1));
      if (k == 0 && layout) layout->first_image_at = kRsrc + at;
      at += bytes;
    }
  }
  put16(b, kRsrc + data + 2, 1);
  put16(b, kRsrc + data + 4, static_cast<uint32_t>(n));
  if (layout) {
    layout->group_at = kRsrc + data;
    layout->icon_dir_at = kRsrc + icon_dir;
  }
  return b;
}

std::vector<IconPicture> party_icons() {
  std::vector<IconPicture> icons;
  for (const int side : kit::kExeIconSides) icons.push_back(pattern(side, static_cast<uint32_t>(side)));
  // Transparent pixels (alpha 0) must read back as they were written.
  icons[0].pixels[0] = 0x00123456u;
  return icons;
}

// The bytes that differ between two blocks of one size, outside [from, to).
size_t changed_outside(const Bytes& a, const Bytes& b, size_t from, size_t to) {
  size_t n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += (i < from || i >= to) && a[i] != b[i];
  return n;
}

TEST(KitExeIcon, TheSlotIsRewrittenInPlaceAndReadBack) {
  ExeLayout layout{};
  const Bytes original = exe_block(&layout);
  Bytes exe = original;
  std::string error;
  const std::vector<IconPicture> icons = party_icons();
  ASSERT_TRUE(kit::exe_icons_write(exe, icons, error)) << error;
  ASSERT_EQ(exe.size(), original.size());
  // Only the images' pixels and masks change: never a header, the group or
  // the directory.
  EXPECT_EQ(changed_outside(original, exe, layout.first_image_at + 40, exe.size()), 0u);
  EXPECT_EQ(std::memcmp(&exe[layout.first_image_at], &original[layout.first_image_at], 40), 0);
  std::vector<IconPicture> back;
  ASSERT_TRUE(kit::exe_icons_read(exe, back, error)) << error;
  ASSERT_EQ(back.size(), icons.size());
  for (size_t k = 0; k < icons.size(); ++k) EXPECT_EQ(back[k].pixels, icons[k].pixels) << kit::kExeIconSides[k];
  // The 16 x 16 image's first pixel is its top left, the last row stored:
  // its AND mask bit (the mask's last row, first bit) marks it transparent.
  const size_t mask16 = layout.first_image_at + 40 + 16 * 16 * 4;
  EXPECT_EQ(exe[mask16 + 15 * 4], 0x80);
  EXPECT_EQ(exe[mask16], 0x00);
}

TEST(KitExeIcon, AnExeWithoutTheSlotIsRefusedAndLeftAsItWas) {
  ExeLayout l{};
  exe_block(&l);
  struct Damage {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  };
  const Damage cases[] = {
      {"not an MZ file", 0, {'Z', 'M'}},
      {"a PE offset past the end", 0x3C, {0xFF, 0xFF, 0xFF, 0x7F}},
      {"no PE signature", 0x40, {'P', 'F'}},
      {"an unknown optional header", 0x40 + 24, {0x07, 0x01}},
      {"an icon group of five images", l.group_at + 4, {5, 0}},
      {"a 16 px entry of 8 bits", l.group_at + 6 + 6, {8, 0}},
      {"a group naming a missing image", l.group_at + 6 + 12, {99, 0}},
      {"a 16 px image that is compressed", l.first_image_at + 16, {1, 0, 0, 0}},
      {"a 16 px image 17 wide", l.first_image_at + 4, {17}},
      {"a directory entry pointing past the end", l.icon_dir_at + 16 + 4, {0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Damage& d : cases) {
    Bytes exe = exe_block();
    std::copy(d.bytes.begin(), d.bytes.end(), exe.begin() + static_cast<long>(d.at));
    const Bytes before = exe;
    std::string error;
    std::vector<IconPicture> back;
    EXPECT_FALSE(kit::exe_icons_read(exe, back, error)) << d.what;
    EXPECT_FALSE(kit::exe_icons_write(exe, party_icons(), error)) << d.what;
    EXPECT_EQ(exe, before) << d.what;
    EXPECT_NE(error.find("no icon slot"), std::string::npos) << d.what << ": " << error;
  }
  // Cut short anywhere, the block is refused, never read past its end.
  for (size_t size : {size_t{0}, size_t{0x41}, size_t{0x200}, l.group_at + 10, l.first_image_at + 100}) {
    Bytes exe = exe_block();
    exe.resize(size);
    std::string error;
    EXPECT_FALSE(kit::exe_icons_write(exe, party_icons(), error)) << size;
  }
  // Icons of the wrong sides are refused, the slot untouched.
  Bytes exe = exe_block();
  std::vector<IconPicture> icons = party_icons();
  std::swap(icons[0], icons[1]);
  std::string error;
  EXPECT_FALSE(kit::exe_icons_write(exe, icons, error));
  EXPECT_EQ(exe, exe_block());
}

// The picture file's pixels as 0xAARRGGBB (opaque RGB).
std::vector<uint32_t> png_pixels(const std::string& path) {
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  cimage picture;
  EXPECT_TRUE(picture.load(name.data())) << path;
  std::vector<uint32_t> out;
  for (int32_t i = 0; i < picture.width * picture.height; ++i) {
    const uint8_t* p = picture.pixels + i * 3;
    out.push_back(kOpaque | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0]);
  }
  mempool_free(picture.pixels);
  return out;
}

// The Windows build's program holds our icons in its slot, and a party's
// icons go into it without moving a byte of anything else.
TEST(KitExeIcon, TheWindowsBuildsProgramHoldsOurIconsInItsSlot) {
  const std::string path = VELMORA_SOURCE_DIR "/build/windows/bin/velmora2k.exe";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no Windows build at " << path;
  const Bytes original = res_test::read_file(path);
  std::vector<IconPicture> ours;
  std::string error;
  ASSERT_TRUE(kit::exe_icons_read(original, ours, error)) << error;
  for (size_t k = 0; k < ours.size(); ++k) {
    const int side = kit::kExeIconSides[k];
    EXPECT_EQ(ours[k].pixels, png_pixels(VELMORA_SOURCE_DIR "/dist/icons/velmora2k_" + std::to_string(side) + ".png"))
        << side;
  }
  Bytes exe = original;
  ASSERT_TRUE(kit::exe_icons_write(exe, party_icons(), error)) << error;
  std::vector<IconPicture> back;
  ASSERT_TRUE(kit::exe_icons_read(exe, back, error)) << error;
  EXPECT_EQ(back[5].pixels, party_icons()[5].pixels);
  size_t changed = 0;
  for (size_t i = 0; i < exe.size(); ++i) changed += exe[i] != original[i];
  size_t pixels = 0;
  for (const int side : kit::kExeIconSides) pixels += dib_size(side) - 40;
  EXPECT_LE(changed, pixels) << "only the images' pixels and masks change";
  EXPECT_EQ(exe.size(), original.size());
}

// --- The window's title and icon, as the program takes them from the
// archive.

class WindowIdentity : public res_test::ResourceTest {
 protected:
  // Opens an archive holding the items and a picture the archive always has.
  void archive(std::vector<pak_item> items) {
    items.push_back({"loading.png", res_test::text_bytes("not read")});
    ASSERT_EQ(open_archive(items), pak_status::opened);
  }
};

// A party's icon made by the kit, written as icon.png, is the window's, and
// title.txt its title; without them, or with ones outside the limits, the
// window is ours.
TEST_F(WindowIdentity, TheArchivesTitleAndIconOrOurs) {
  std::vector<uint32_t> logo(kit::kLogoWidth * kit::kLogoHeight);
  for (size_t i = 0; i < logo.size(); ++i) logo[i] = static_cast<uint32_t>(i * 40503u) & 0xFFFFFFu;
  IconPicture square;
  std::string error;
  ASSERT_TRUE(kit::icon_from_logo(logo, 640, 480, kit::kLogoIconSquare, square, error)) << error;
  const IconPicture icon = kit::icons_make(square).window;
  ASSERT_TRUE(png_write_rgb("icon.png", icon.pixels.data(), icon.side, icon.side, error)) << error;
  const pak_item icon_png{"icon.png", res_test::read_file("icon.png")};
  const std::string nordic = "Nordlicht Pixelfest 2027 \xC3\xA5 invitation";

  archive({{"title.txt", res_test::text_bytes(nordic + "\r\n")}, icon_png});
  EXPECT_EQ(window_title(), nordic);
  const WindowIcon shown = window_icon();
  EXPECT_EQ(shown.side, kit::kWindowIconSide);
  EXPECT_EQ(shown.pixels, icon.pixels);

  const WindowIcon ours = window_icon_ours();
  ASSERT_EQ(ours.side, kIconSide);
  EXPECT_EQ(ours.pixels, png_pixels(VELMORA_SOURCE_DIR "/dist/icons/velmora2k_64.png"));

  ASSERT_TRUE(png_write_rgb("wide.png", icon.pixels.data(), 32, 16, error)) << error;
  const struct {
    const char* what;
    std::string title;
  } titles[] = {
      {"empty", ""},
      {"a line end only", "\n"},
      {"two lines", "Party\nSecond"},
      {"a tab", "Party\tinvitation"},
      {"not UTF-8", "Caf\xE9"},
      {"an overlong UTF-8 form", "Party \xC0\xAF"},
      {"a surrogate", "Party \xED\xA0\x80"},
      {"129 bytes", std::string(129, 'x')},
      {"a long file", std::string(5000, 'x')},
  };
  for (const auto& c : titles) {
    pak_close();
    archive({{"title.txt", res_test::text_bytes(c.title)}, {"icon.png", res_test::read_file("wide.png")}});
    EXPECT_EQ(window_title(), kWindowTitle) << c.what;
    EXPECT_EQ(window_icon().pixels, ours.pixels) << "a picture that is not square";
  }
  pak_close();
  archive({{"title.txt", res_test::text_bytes(std::string(128, 'x'))}});
  EXPECT_EQ(window_title(), std::string(128, 'x'));
  EXPECT_EQ(window_icon().pixels, ours.pixels);
  // A title.txt or icon.png on disk beside an archive without them is not the
  // party's: the archive says what the window is.
  pak_close();
  res_test::write_file("title.txt", res_test::text_bytes("Stray"));
  archive({});
  EXPECT_EQ(window_title(), kWindowTitle);
}

}  // namespace
