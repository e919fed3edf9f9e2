// exeicon: see exeicon.h.
#include "kit/exeicon.h"

#include <cstring>
#include <optional>

namespace kit {

namespace {

// Offsets into the file, 64 bits wide so that sums of the file's 32-bit
// fields never wrap (size_t is 32 bits in WebAssembly).
using Offset = uint64_t;

// The MS-DOS header's word at kPeOffsetAt gives the PE signature's offset;
// the COFF header follows the signature, the optional header the COFF
// header, the section table the optional header.
constexpr size_t kPeOffsetAt = 0x3C;
constexpr uint32_t kDosMagic = 0x5A4D;        // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr size_t kPeSignatureBytes = 4;
constexpr size_t kCoffBytes = 20;
constexpr size_t kCoffSectionsAt = 2;
constexpr size_t kCoffOptionalSizeAt = 16;
constexpr uint32_t kPe32Magic = 0x10B;
constexpr uint32_t kPe32PlusMagic = 0x20B;
// Where the data directories' count and the directories start in each form.
constexpr size_t kPe32DirCountAt = 92;
constexpr size_t kPe32PlusDirCountAt = 108;
constexpr size_t kDirCountBytes = 4;
constexpr uint32_t kResourceDir = 2;
constexpr size_t kDataDirBytes = 8;
constexpr size_t kSectionBytes = 40;
constexpr size_t kSectionAddressAt = 12;
constexpr size_t kSectionRawSizeAt = 16;
constexpr size_t kSectionRawAt = 20;

// The resource tree: directories of entries, three levels (type, name,
// language), then data entries. Offsets are from the tree's start; an
// entry's offset with the high bit set is a directory's.
constexpr Offset kResRoot = 0;  // the root directory's offset
constexpr size_t kResDirBytes = 16;
constexpr size_t kResNamedCountAt = 12;
constexpr size_t kResIdCountAt = 14;
constexpr size_t kResEntryBytes = 8;
constexpr uint32_t kResHighBit = 0x80000000u;
constexpr uint32_t kResIcon = 3;
constexpr uint32_t kResGroupIcon = 14;

// The icon group: a 6-byte header (reserved, type 1, count), then one
// 14-byte entry per image (width, height, colours, reserved, planes, bits,
// bytes, id).
constexpr size_t kGroupHeaderBytes = 6;
constexpr size_t kGroupCountAt = 4;
constexpr size_t kGroupEntryBytes = 14;
constexpr size_t kGroupBitsAt = 6;
constexpr size_t kGroupBytesAt = 8;
constexpr size_t kGroupIdAt = 12;
constexpr int kSideByteWraps = 256;

// BITMAPINFOHEADER fields of the slot's images.
constexpr uint32_t kDibHeaderBytes = 40;
constexpr size_t kDibWidthAt = 4;
constexpr size_t kDibHeightAt = 8;
constexpr size_t kDibPlanesAt = 12;
constexpr size_t kDibBitsAt = 14;
constexpr size_t kDibCompressionAt = 16;
constexpr uint32_t kDibBits = 32;

// Little-endian reads that fail, instead of reading past the end, at any
// offset outside the bytes.
class Reader {
 public:
  explicit Reader(const Bytes& bytes) : bytes_(bytes) {}
  bool has(Offset at, Offset count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
  std::optional<uint32_t> u16(Offset at) const {
    if (!has(at, 2)) return std::nullopt;
    return static_cast<uint32_t>(bytes_[at]) | static_cast<uint32_t>(bytes_[at + 1]) << 8;
  }
  std::optional<uint32_t> u32(Offset at) const {
    if (!has(at, 4)) return std::nullopt;
    return static_cast<uint32_t>(bytes_[at]) | static_cast<uint32_t>(bytes_[at + 1]) << 8 |
           static_cast<uint32_t>(bytes_[at + 2]) << 16 | static_cast<uint32_t>(bytes_[at + 3]) << 24;
  }

 private:
  const Bytes& bytes_;
};

struct Section {
  uint32_t address;
  uint32_t raw_size;
  uint32_t raw;
};

// One image of the slot: where its bytes start in the file, and its side.
struct SlotImage {
  Offset at;
  int side;
};

size_t mask_row_bytes(int side) {
  return (static_cast<size_t>(side) + 31) / 32 * 4;
}

size_t dib_bytes(int side) {
  const auto s = static_cast<size_t>(side);
  return kDibHeaderBytes + s * s * 4 + mask_row_bytes(side) * s;
}

class SlotFinder {
 public:
  explicit SlotFinder(const Bytes& exe) : read_(exe) {}

  // The slot's images in kExeIconSides order; false and a message when the
  // .exe has no slot of that shape.
  bool find(std::vector<SlotImage>& images, std::string& error) {
    if (!headers()) return refuse(error, "it is not a Windows program (no PE headers)");
    if (!resource_root_) return refuse(error, "it holds no resources");
    std::optional<uint32_t> group_dir = subdirectory(kResRoot, kResGroupIcon);
    if (!group_dir || entry_count(*group_dir) != 1) return refuse(error, "it does not hold exactly one icon group");
    const std::optional<Offset> group = leaf(*group_dir, std::nullopt);
    if (!group) return refuse(error, "its icon group cannot be read");
    return slot_images(*group, images, error);
  }

 private:
  static bool refuse(std::string& error, const std::string& why) {
    error = "velmora2k.exe has no icon slot to write into: " + why +
            "; use the velmora2k.exe of this version's own Windows release";
    return false;
  }

  bool headers() {
    if (read_.u16(0) != kDosMagic) return false;
    const std::optional<uint32_t> pe = read_.u32(kPeOffsetAt);
    if (!pe || !read_.has(*pe, kPeSignatureBytes + kCoffBytes)) return false;
    if (read_.u32(*pe) != kPeSignature) return false;
    const Offset coff = *pe + kPeSignatureBytes;
    const uint32_t sections = *read_.u16(coff + kCoffSectionsAt);
    const uint32_t optional_size = *read_.u16(coff + kCoffOptionalSizeAt);
    const Offset optional = coff + kCoffBytes;
    const std::optional<uint32_t> magic = read_.u16(optional);
    if (!magic || (*magic != kPe32Magic && *magic != kPe32PlusMagic)) return false;
    const Offset count_at = optional + (*magic == kPe32Magic ? kPe32DirCountAt : kPe32PlusDirCountAt);
    const std::optional<uint32_t> dir_count = read_.u32(count_at);
    if (!dir_count) return false;
    read_sections(optional + optional_size, sections);
    if (*dir_count <= kResourceDir) return true;
    const std::optional<uint32_t> rva = read_.u32(count_at + kDirCountBytes + kResourceDir * kDataDirBytes);
    if (!rva || *rva == 0) return true;
    resource_root_ = file_offset(*rva);
    return true;
  }

  void read_sections(Offset table, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      const Offset at = table + i * kSectionBytes;
      if (!read_.has(at, kSectionBytes)) return;
      sections_.push_back(
          Section{*read_.u32(at + kSectionAddressAt), *read_.u32(at + kSectionRawSizeAt), *read_.u32(at + kSectionRawAt)});
    }
  }

  // The file offset of a relative virtual address, when a section's stored
  // bytes hold it.
  std::optional<Offset> file_offset(uint32_t rva) const {
    for (const Section& s : sections_) {
      if (rva >= s.address && rva - s.address < s.raw_size) {
        const Offset at = static_cast<Offset>(s.raw) + (rva - s.address);
        if (read_.has(at, 1)) return at;
      }
    }
    return std::nullopt;
  }

  std::optional<uint32_t> entry_count(Offset dir_offset) const {
    const std::optional<uint32_t> named = read_.u16(*resource_root_ + dir_offset + kResNamedCountAt);
    const std::optional<uint32_t> ids = read_.u16(*resource_root_ + dir_offset + kResIdCountAt);
    if (!named || !ids) return std::nullopt;
    return *named + *ids;
  }

  // The offset field of the directory's entry for id (or of its first entry
  // when id is empty).
  std::optional<uint32_t> entry(Offset dir_offset, std::optional<uint32_t> id) const {
    const std::optional<uint32_t> count = entry_count(dir_offset);
    if (!count) return std::nullopt;
    for (uint32_t i = 0; i < *count; ++i) {
      const Offset at = *resource_root_ + dir_offset + kResDirBytes + i * kResEntryBytes;
      const std::optional<uint32_t> name = read_.u32(at);
      const std::optional<uint32_t> offset = read_.u32(at + 4);
      if (!name || !offset) return std::nullopt;
      if (!id || *name == *id) return offset;
    }
    return std::nullopt;
  }

  std::optional<uint32_t> subdirectory(Offset dir_offset, uint32_t id) const {
    const std::optional<uint32_t> offset = entry(dir_offset, id);
    if (!offset || !(*offset & kResHighBit)) return std::nullopt;
    return *offset & ~kResHighBit;
  }

  // A name directory's entry for id (or its first entry), through its first
  // language, as the file offset of the data; its size in bytes goes to size.
  std::optional<Offset> leaf(Offset name_dir, std::optional<uint32_t> id, Offset* size = nullptr) const {
    const std::optional<uint32_t> language_dir = entry(name_dir, id);
    if (!language_dir || !(*language_dir & kResHighBit)) return std::nullopt;
    const std::optional<uint32_t> data_entry = entry(*language_dir & ~kResHighBit, std::nullopt);
    if (!data_entry || (*data_entry & kResHighBit)) return std::nullopt;
    const std::optional<uint32_t> rva = read_.u32(*resource_root_ + *data_entry);
    const std::optional<uint32_t> bytes = read_.u32(*resource_root_ + *data_entry + 4);
    if (!rva || !bytes) return std::nullopt;
    const std::optional<Offset> at = file_offset(*rva);
    if (!at || !read_.has(*at, *bytes)) return std::nullopt;
    if (size) *size = *bytes;
    return at;
  }

  bool slot_images(Offset group, std::vector<SlotImage>& images, std::string& error) const {
    const std::optional<uint32_t> count = read_.u16(group + kGroupCountAt);
    if (!count || *count != kExeIconSides.size()) return refuse(error, "its icon group is not the slot's sizes");
    const std::optional<uint32_t> icon_dir = subdirectory(kResRoot, kResIcon);
    if (!icon_dir) return refuse(error, "it holds no icon images");
    for (size_t k = 0; k < kExeIconSides.size(); ++k) {
      const int side = kExeIconSides[k];
      const Offset at = group + kGroupHeaderBytes + k * kGroupEntryBytes;
      if (!read_.has(at, kGroupEntryBytes)) return refuse(error, "its icon group is cut short");
      const uint32_t width = *read_.u16(at) & 0xFF;
      const uint32_t bits = *read_.u16(at + kGroupBitsAt);
      const uint32_t bytes = *read_.u32(at + kGroupBytesAt);
      const uint32_t id = *read_.u16(at + kGroupIdAt);
      if (width != static_cast<uint32_t>(side % kSideByteWraps) || bits != kDibBits || bytes != dib_bytes(side)) {
        return refuse(error, "its icon group's image " + std::to_string(k + 1) + " is not a 32-bit " +
                                 std::to_string(side) + " x " + std::to_string(side) + " bitmap");
      }
      Offset size = 0;
      const std::optional<Offset> image = leaf(*icon_dir, id, &size);
      if (!image || size != dib_bytes(side) || !dib_header_fits(*image, side)) {
        return refuse(error, "its " + std::to_string(side) + " x " + std::to_string(side) +
                                 " icon image is not an uncompressed 32-bit bitmap");
      }
      images.push_back(SlotImage{*image, side});
    }
    return true;
  }

  bool dib_header_fits(Offset at, int side) const {
    return *read_.u32(at) == kDibHeaderBytes && *read_.u32(at + kDibWidthAt) == static_cast<uint32_t>(side) &&
           *read_.u32(at + kDibHeightAt) == static_cast<uint32_t>(2 * side) && *read_.u16(at + kDibPlanesAt) == 1 &&
           *read_.u16(at + kDibBitsAt) == kDibBits && *read_.u32(at + kDibCompressionAt) == 0;
  }

  Reader read_;
  std::vector<Section> sections_;
  std::optional<Offset> resource_root_;
};

}  // namespace

bool exe_icons_read(const Bytes& exe, std::vector<IconPicture>& icons, std::string& error) {
  std::vector<SlotImage> images;
  if (!SlotFinder(exe).find(images, error)) return false;
  icons.clear();
  for (const SlotImage& image : images) {
    IconPicture icon;
    icon.side = image.side;
    icon.pixels.resize(static_cast<size_t>(image.side) * image.side);
    const uint8_t* rows = exe.data() + static_cast<size_t>(image.at) + kDibHeaderBytes;
    for (int y = 0; y < image.side; ++y) {
      // Rows are stored from the bottom up.
      const uint8_t* p = rows + static_cast<size_t>(image.side - 1 - y) * image.side * 4;
      for (int x = 0; x < image.side; ++x, p += 4) {
        icon.pixels[static_cast<size_t>(y) * image.side + x] = static_cast<uint32_t>(p[3]) << 24 |
                                                                static_cast<uint32_t>(p[2]) << 16 |
                                                                static_cast<uint32_t>(p[1]) << 8 | p[0];
      }
    }
    icons.push_back(std::move(icon));
  }
  return true;
}

bool exe_icons_write(Bytes& exe, const std::vector<IconPicture>& icons, std::string& error) {
  std::vector<SlotImage> images;
  if (!SlotFinder(exe).find(images, error)) return false;
  for (size_t k = 0; k < images.size(); ++k) {
    const int side = images[k].side;
    if (k >= icons.size() || icons[k].side != side ||
        icons[k].pixels.size() != static_cast<size_t>(side) * side) {
      error = "the .exe's icons must be " + std::to_string(kExeIconSides.size()) +
              " pictures of the sides 16, 32, 48, 64, 128 and 256, in that order";
      return false;
    }
  }
  for (size_t k = 0; k < images.size(); ++k) {
    const int side = images[k].side;
    uint8_t* rows = exe.data() + static_cast<size_t>(images[k].at) + kDibHeaderBytes;
    uint8_t* mask = rows + static_cast<size_t>(side) * side * 4;
    std::memset(mask, 0, mask_row_bytes(side) * side);
    for (int y = 0; y < side; ++y) {
      const size_t row = static_cast<size_t>(side - 1 - y);
      uint8_t* p = rows + row * side * 4;
      for (int x = 0; x < side; ++x, p += 4) {
        const uint32_t px = icons[k].pixels[static_cast<size_t>(y) * side + x];
        p[0] = px & 0xFF;
        p[1] = (px >> 8) & 0xFF;
        p[2] = (px >> 16) & 0xFF;
        p[3] = px >> 24;
        // The AND mask marks the transparent pixels for the old ways of
        // drawing an icon, which ignore alpha.
        if ((px >> 24) == 0) mask[row * mask_row_bytes(side) + x / 8] |= static_cast<uint8_t>(0x80u >> (x % 8));
      }
    }
  }
  return true;
}

}  // namespace kit
