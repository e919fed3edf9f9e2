// The JPEG decoder: files made by libjpeg-turbo's encoder (grey, colour,
// progressive, CMYK and YCCK) compared with the pixels the encoder was given,
// the failure path (the library's text, the dashes and the name, cut to fit
// its buffer) and the limits on hostile files.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include <cstdlib>
#include <functional>
#include <sstream>

#include "picture_support.h"
#include "resources/decodekit.h"
#include "resources/jpeg.h"

namespace {

using pic_test::block;
using pic_test::bytes;

struct encoding {
  J_COLOR_SPACE given;   // what the pixels are
  int components;        // per pixel
  J_COLOR_SPACE stored;  // what the file holds
  bool adobe_marker = true;
  bool progressive = false;
  std::vector<jpeg_scan_info> scans = {};  // a scan script of our own, when not empty
};

// The pixels encoded at quality 100 without chroma subsampling, so that the
// decoded pixels stay within a few levels of the given ones.
bytes encode(uint32_t width, uint32_t height, const bytes& pixels, const encoding& e) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&c, &out, &out_size);
  c.image_width = width;
  c.image_height = height;
  c.input_components = e.components;
  c.in_color_space = e.given;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, e.stored);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  c.write_Adobe_marker = e.adobe_marker;
  if (e.progressive) jpeg_simple_progression(&c);
  if (!e.scans.empty()) {
    c.scan_info = e.scans.data();
    c.num_scans = static_cast<int>(e.scans.size());
  }
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < height) {
    auto* row = const_cast<JSAMPROW>(pixels.data() + c.next_scanline * width * e.components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  bytes file(out, out + out_size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return file;
}

// Smooth gradients with a little noise: what photographs look like to JPEG.
bytes pixels(uint32_t width, uint32_t height, int components, uint32_t seed) {
  bytes b;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c) {
        seed = seed * 1103515245u + 12345u;
        b.push_back(static_cast<uint8_t>(20 + 9 * x + 13 * y + 50 * c + (seed >> 28)));
      }
    }
  }
  return b;
}

// What the decoder should give for the given pixels: blue, green, red.
bytes expected_bgr(const bytes& given, const encoding& e) {
  bytes out;
  for (size_t i = 0; i < given.size(); i += e.components) {
    const uint8_t* p = &given[i];
    if (e.components == 1) {
      out.insert(out.end(), {p[0], p[0], p[0]});
    } else if (e.components == 3) {
      out.insert(out.end(), {p[2], p[1], p[0]});
    } else {
      // Adobe's writers store CMYK inverted (255 = no ink).
      auto ink = [&](int c) { return e.adobe_marker ? p[c] : 255 - p[c]; };
      for (int c = 2; c >= 0; --c) out.push_back(static_cast<uint8_t>((ink(c) * ink(3) + 127) / 255));
    }
  }
  return out;
}

int largest_difference(const bytes& a, const bytes& b) {
  int worst = a.size() == b.size() ? 0 : 256;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// The file with its frame header claiming another size.
bytes with_size(bytes file, uint16_t width, uint16_t height) {
  for (size_t i = 0; i + 9 < file.size(); ++i) {
    if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
      file[i + 5] = static_cast<uint8_t>(height >> 8), file[i + 6] = static_cast<uint8_t>(height);
      file[i + 7] = static_cast<uint8_t>(width >> 8), file[i + 8] = static_cast<uint8_t>(width);
      return file;
    }
  }
  return {};
}

// A progressive grey scan script: one DC scan, then every AC coefficient in a
// band of its own, first at a point transform of `bits`, then refined bit by
// bit: 1 + 63 x (bits + 1) scans.
std::vector<jpeg_scan_info> many_scans(int bits) {
  std::vector<jpeg_scan_info> scans;
  scans.push_back({1, {0, 0, 0, 0}, 0, 0, 0, 0});
  for (int k = 1; k < 64; ++k) {
    scans.push_back({1, {0, 0, 0, 0}, k, k, 0, bits});
    for (int al = bits - 1; al >= 0; --al) scans.push_back({1, {0, 0, 0, 0}, k, k, al + 1, al});
  }
  return scans;
}

const encoding kGrey{JCS_GRAYSCALE, 1, JCS_GRAYSCALE};
const encoding kColour{JCS_RGB, 3, JCS_YCbCr};

// The pool logs blocks of a megabyte and more in kbytes.
bool allocated_a_megabyte(const std::string& log) {
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("MEMPOOL : allocated", 0) == 0 && line.find("kbytes") != std::string::npos) return true;
  }
  return false;
}

class JpegTest : public pic_test::PictureTest {};

TEST_F(JpegTest, EncodedFilesGiveTheEncodersPixels) {
  encoding progressive = kColour;
  progressive.progressive = true;
  encoding rgb_stored = kColour;
  rgb_stored.stored = JCS_RGB;
  encoding cmyk_plain{JCS_CMYK, 4, JCS_CMYK};
  cmyk_plain.adobe_marker = false;
  const struct {
    const char* what;
    encoding e;
    uint32_t width;
    uint32_t height;
    int tolerance;
  } cases[] = {
      {"grey", kGrey, 9, 5, 2},
      {"colour", kColour, 13, 7, 3},
      {"colour stored as RGB", rgb_stored, 16, 3, 2},
      {"progressive colour", progressive, 17, 17, 3},
      {"CMYK with an Adobe marker", {JCS_CMYK, 4, JCS_CMYK}, 11, 6, 3},
      {"YCCK", {JCS_CMYK, 4, JCS_YCCK}, 11, 6, 3},
      {"CMYK without an Adobe marker", cmyk_plain, 5, 9, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bytes given = pixels(c.width, c.height, c.e.components, c.width * 7 + c.e.components);
    const cimage& pic = load_bytes("picture.jpg", encode(c.width, c.height, given, c.e));
    EXPECT_EQ(pic.kind, kImageJpeg);
    EXPECT_EQ(pic.bpp, 24);
    EXPECT_EQ(pic.width, static_cast<int>(c.width));
    EXPECT_EQ(pic.height, static_cast<int>(c.height));
    EXPECT_EQ(pic.size, c.width * c.height * 3);
    EXPECT_LE(largest_difference(block(pic), expected_bgr(given, c.e)), c.tolerance);
  }
}

TEST_F(JpegTest, GreyFilesGiveEqualBytesPerPixel) {
  const bytes given = pixels(8, 8, 1, 3);
  const cimage& pic = load_bytes("grey.jpg", encode(8, 8, given, kGrey));
  ASSERT_EQ(pic.size, 8u * 8u * 3u);
  for (uint32_t i = 0; i < 64; ++i) {
    EXPECT_EQ(pic.pixels[3 * i], pic.pixels[3 * i + 1]) << i;
    EXPECT_EQ(pic.pixels[3 * i], pic.pixels[3 * i + 2]) << i;
  }
}

TEST_F(JpegTest, LoadLogsNameAndLength) {
  const bytes file = encode(4, 4, pixels(4, 4, 3, 1), kColour);
  ASSERT_EQ(open_archive({{"photo.jpg", file}, {"next.bin", bytes(10, 1)}}), pak_status::opened);
  enable_log();
  load("photo.jpg");
  EXPECT_NE(log_text().find("fname: photo.jpg  -- " + std::to_string(file.size()) + "\n"), std::string::npos);
}

TEST_F(JpegTest, NotAJpegEndsWithTheLibrarysTextTheDashesAndTheName) {
  const bytes text = res_test::text_bytes("this is text\n");
  EXPECT_EXIT(load_bytes("notjpeg.jpg", text), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: Not a JPEG file: starts with 0x74 0x68   --  notjpeg\\.jpg\n");
  enable_log();
  expect_refused("notjpeg.jpg", text, "");
  EXPECT_EQ(backend_.boxes().back(), "KORAL ERROR !: Not a JPEG file: starts with 0x74 0x68   --  notjpeg.jpg\n");
  EXPECT_NE(log_text().find("Not a JPEG file: starts with 0x74 0x68   --  notjpeg.jpg\n"), std::string::npos);
}

TEST_F(JpegTest, LongMessagesAreCutToTheirBuffer) {
  const std::string name = std::string(150, 'n') + ".jpg";
  expect_refused(name, res_test::text_bytes("xx"), "Not a JPEG file");
  const std::string text = backend_.boxes().back().substr(std::string("KORAL ERROR !: ").size());
  EXPECT_EQ(text.size(), static_cast<size_t>(kJpegMessageBytes - 1));
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.rfind("Not a JPEG file: starts with 0x78 0x78   --  nnn", 0), 0u);
}

TEST_F(JpegTest, BadAndHostileFilesAreRefused) {
  const bytes grey = encode(16, 16, pixels(16, 16, 1, 5), kGrey);
  const bytes two_components = encode(4, 4, pixels(4, 4, 2, 5), {JCS_UNKNOWN, 2, JCS_UNKNOWN});
  encoding scans = kGrey;
  scans.scans = many_scans(7);
  ASSERT_GT(scans.scans.size(), static_cast<size_t>(kJpegMaxScans));
  const bytes too_many_scans = encode(8, 8, pixels(8, 8, 1, 5), scans);
  const struct {
    const char* what;
    bytes file;
    const char* text;
  } cases[] = {
      {"empty", {}, "Empty input file"},
      {"cut in the header", bytes(grey.begin(), grey.begin() + 20), "JPEG datastream contains no image"},
      {"two components", two_components, "this many components"},
      {"a side past the limit", with_size(grey, static_cast<uint16_t>(kPictureMaxSide + 1), 1),
       "larger than the loader accepts"},
      {"more bytes than the limit", with_size(grey, 10000, 10000), "larger than the loader accepts"},
      {"too many scans", too_many_scans, "more scans than the loader accepts"},
  };
  EXPECT_EXIT(load_bytes("bad.jpg", cases[3].file), ::testing::ExitedWithCode(1),
              "KORAL ERROR !: JPEG picture is larger than the loader accepts   --  bad\\.jpg");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) != "empty") {
      ASSERT_FALSE(c.file.empty());
    }
    enable_log();
    expect_refused("bad.jpg", c.file, std::string(c.text));
    EXPECT_NE(backend_.boxes().back().find("   --  bad.jpg\n"), std::string::npos);
    // No block of a megabyte or more was taken.
    EXPECT_FALSE(allocated_a_megabyte(log_text())) << log_text();
  }
}

TEST_F(JpegTest, ScansUpToTheLimitDecode) {
  encoding scans = kGrey;
  scans.scans = many_scans(3);
  ASSERT_LE(scans.scans.size(), static_cast<size_t>(kJpegMaxScans));
  const bytes given = pixels(8, 8, 1, 9);
  const cimage& pic = load_bytes("scans.jpg", encode(8, 8, given, scans));
  EXPECT_LE(largest_difference(block(pic), expected_bgr(given, kGrey)), 2);
}

// A truncated file is the library's warning, not a failure: the rows that
// did not arrive come out grey, and the warning goes to the log.
TEST_F(JpegTest, TruncatedDataLoadsWithAWarning) {
  const bytes file = encode(16, 64, pixels(16, 64, 3, 2), kColour);
  enable_log();
  const cimage& pic = load_bytes("cut.jpg", bytes(file.begin(), file.begin() + file.size() / 2));
  EXPECT_EQ(pic.height, 64);
  EXPECT_NE(log_text().find("cimage->jpg: Premature end of JPEG file\n"), std::string::npos) << log_text();
}

}  // namespace
