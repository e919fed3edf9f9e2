// identity: see identity.h.
#include "app/identity.h"

#include <cstring>
#include <iterator>

#include "app/driver.h"
#include "resources/cfile.h"
#include "resources/cimage.h"
#include "resources/log.h"
#include "resources/mempool.h"
#include "resources/pak.h"

namespace {

constexpr const char* kTitleFile = "title.txt";
constexpr const char* kIconFile = "icon.png";

// The start of a PNG file up to its header's fields (the signature, the
// IHDR chunk's length and type, width, height, bit depth, colour type).
constexpr size_t kPngHeadBytes = 26;
constexpr uint8_t kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kPngWidthAt = 16;
constexpr size_t kPngHeightAt = 20;
constexpr size_t kPngDepthAt = 24;
constexpr size_t kPngColourAt = 25;
constexpr uint8_t kPngColourRgb = 2;
constexpr uint8_t kPngColourRgba = 6;
constexpr uint8_t kPngDepth = 8;
constexpr uint32_t kOpaque = 0xFF000000u;
constexpr const char* kTitleTooLong = "it is longer than the 128 bytes a title may have";
static_assert(kTitleMaxBytes == 128, "kTitleTooLong names the limit");

constexpr uint32_t kOurIcon[kIconSide * kIconSide] = {
#include "app/identity_icon.inc"
};

bool in_archive(const char* name) {
  for (uint32_t i = 0; i < pak_count; ++i) {
    if (std::strcmp(pak_dir[i]->Fname, name) == 0) return true;
  }
  return false;
}

// The archive entry's bytes, at most limit of them; false when it is longer.
bool read_entry(const char* name, size_t limit, std::string& bytes) {
  cfile file;
  file.open(name, "rb");
  const long size = file.size();
  const bool fits = size >= 0 && static_cast<size_t>(size) <= limit;
  if (fits) {
    bytes.assign(static_cast<size_t>(size), '\0');
    file.read(bytes.data(), static_cast<uint32_t>(size));
  }
  file.close();
  return fits;
}

// Length of the UTF-8 sequence that starts text[i] (shortest form, no
// surrogates, at most U+10FFFF), 0 when none starts there.
size_t utf8_length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return k < text.size() ? static_cast<uint8_t>(text[k]) : 0u; };
  const auto tail = [&](size_t k) { return (byte(k) & 0xC0u) == 0x80u; };
  const uint32_t b = byte(i);
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) return tail(i + 1) ? 2 : 0;
  if (b >= 0xE0 && b <= 0xEF) {
    const uint32_t b1 = byte(i + 1);
    if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F)) return 0;
    return tail(i + 1) && tail(i + 2) ? 3 : 0;
  }
  if (b >= 0xF0 && b <= 0xF4) {
    const uint32_t b1 = byte(i + 1);
    if ((b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 > 0x8F)) return 0;
    return tail(i + 1) && tail(i + 2) && tail(i + 3) ? 4 : 0;
  }
  return 0;
}

// Why text cannot be a title, or null when it can.
const char* title_fault(const std::string& text) {
  if (text.empty()) return "it is empty";
  if (text.size() > kTitleMaxBytes) return kTitleTooLong;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c < 0x20 || c == 0x7F) return "it holds a control character or a second line";
    const size_t n = utf8_length(text, i);
    if (n == 0) return "it is not UTF-8";
    i += n;
  }
  return nullptr;
}

void drop_line_end(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

uint32_t big_endian(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 8 | static_cast<uint8_t>(b[at + 3]);
}

// Why the PNG whose first bytes are head cannot be the icon, or null when it
// can. A head that is no PNG's is left to the decoder, which reports it.
const char* icon_fault(const std::string& head) {
  if (head.size() < kPngHeadBytes || std::memcmp(head.data(), kPngSignature, sizeof kPngSignature) != 0) {
    return nullptr;
  }
  const uint32_t width = big_endian(head, kPngWidthAt);
  const uint32_t height = big_endian(head, kPngHeightAt);
  const auto colour = static_cast<uint8_t>(head[kPngColourAt]);
  if (width != height) return "it is not square";
  if (width < kIconMinSide || width > kIconMaxSide) return "its side is not 16 to 256 pixels";
  if (static_cast<uint8_t>(head[kPngDepthAt]) != kPngDepth || (colour != kPngColourRgb && colour != kPngColourRgba)) {
    return "it is not an 8-bit RGB or RGBA PNG";
  }
  return nullptr;
}

// The decoded icon: bytes blue, green, red (and alpha) per pixel.
WindowIcon icon_from_picture(const cimage& picture) {
  WindowIcon icon;
  icon.side = picture.width;
  const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
  const size_t step = picture.bpp == 32 ? 4 : 3;
  icon.pixels.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = picture.pixels + i * step;
    const uint32_t alpha = step == 4 ? static_cast<uint32_t>(p[3]) << 24 : kOpaque;
    icon.pixels[i] = alpha | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  }
  return icon;
}

}  // namespace

std::string window_title() {
  if (!in_archive(kTitleFile)) return kWindowTitle;
  std::string text;
  // Room for the title and its line end: a longer entry is refused unread.
  const char* fault = read_entry(kTitleFile, kTitleMaxBytes + 2, text)
                          ? nullptr
                          : kTitleTooLong;
  drop_line_end(text);
  if (!fault) fault = title_fault(text);
  if (!fault) return text;
  LOGW("identity: %s set aside: %s; the title is %s\n", kTitleFile, fault, kWindowTitle);
  return kWindowTitle;
}

WindowIcon window_icon_ours() {
  WindowIcon icon;
  icon.side = kIconSide;
  icon.pixels.reserve(std::size(kOurIcon));
  for (const uint32_t px : kOurIcon) icon.pixels.push_back(px | kOpaque);
  return icon;
}

WindowIcon window_icon() {
  if (!in_archive(kIconFile)) return window_icon_ours();
  std::string head(kPngHeadBytes, '\0');
  cfile file;
  file.open(kIconFile, "rb");
  if (file.size() >= static_cast<long>(kPngHeadBytes)) {
    file.read(head.data(), static_cast<uint32_t>(head.size()));
  } else {
    head.clear();
  }
  file.close();
  if (const char* fault = icon_fault(head)) {
    LOGW("identity: %s set aside: %s; the icon is ours\n", kIconFile, fault);
    return window_icon_ours();
  }
  char name[] = "icon.png";
  cimage picture;
  picture.load(name);
  WindowIcon icon = icon_from_picture(picture);
  mempool_free(picture.pixels);
  return icon;
}
