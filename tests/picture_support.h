// Support for the decoder tests: a fixture that loads pictures through
// cimage::load and releases them, the encoder-made files of
// tests/data/pictures with the pixels their encoder was given, and checks
// that a refused file leaves nothing behind.
#pragma once

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "res_support.h"
#include "resources/cimage.h"
#include "resources/mempool.h"

namespace pic_test {

using res_test::bytes;

const std::string kPictures = std::string(VELMORA_SOURCE_DIR) + "/tests/data/pictures/";

inline bytes picture_file(const std::string& name) {
  return res_test::read_file(kPictures + name);
}

// Red, green, blue [, alpha] pixels as blue, green, red [, alpha].
inline bytes red_blue_swapped(bytes pixels, size_t step) {
  for (size_t i = 0; i + step <= pixels.size(); i += step) std::swap(pixels[i], pixels[i + 2]);
  return pixels;
}

inline bytes block(const cimage& pic) {
  return bytes(pic.pixels, pic.pixels + pic.size);
}

inline void put_u16(bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

inline bytes joined(bytes a, const bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct refused_file {
  const char* what;
  bytes file;
};

class PictureTest : public res_test::ResourceTest {
 protected:
  void TearDown() override {
    for (cimage& p : loaded_) {
      if (p.pixels) mempool_free(p.pixels);
    }
    res_test::ResourceTest::TearDown();
  }

  // Loads name (copied into a writable buffer); the block is released at the end.
  cimage& load(const std::string& name) {
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    loaded_.emplace_back();
    EXPECT_TRUE(loaded_.back().load(buffer.data())) << name;
    return loaded_.back();
  }

  // Writes data as name and loads it.
  cimage& load_bytes(const std::string& name, const bytes& data) {
    res_test::write_file(name, data);
    return load(name);
  }

  // With reports returning, loading data as name must fail with one box
  // holding want, leave the record untouched and the pool as it was.
  void expect_refused(const std::string& name, const bytes& data, const std::string& want) {
    res_test::write_file(name, data);
    report_returns_set(1);
    const uint32_t blocks = g_pool->used;
    const size_t boxes = backend_.boxes().size();
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    cimage pic;
    pic.width = 7;
    EXPECT_FALSE(pic.load(buffer.data()));
    EXPECT_EQ(pic.width, 7);
    EXPECT_EQ(pic.pixels, nullptr);
    EXPECT_EQ(g_pool->used, blocks);
    ASSERT_EQ(backend_.boxes().size(), boxes + 1);
    EXPECT_NE(backend_.boxes().back().find(want), std::string::npos) << backend_.boxes().back();
    report_returns_set(0);
  }

  // Files that name must refuse: the first ends the run with status 1 and a
  // box naming the file; each, with reports returning, is refused before any
  // pool block is taken.
  void expect_all_refused(const std::string& name, const std::vector<refused_file>& cases) {
    std::string pattern = "KORAL ERROR !: .*";
    for (char c : name) pattern += c == '.' ? std::string("\\.") : std::string(1, c);
    EXPECT_EXIT(load_bytes(name, cases[0].file), ::testing::ExitedWithCode(1), pattern);
    for (const refused_file& c : cases) {
      SCOPED_TRACE(c.what);
      enable_log();
      expect_refused(name, c.file, name);
      EXPECT_EQ(log_text().find("MEMPOOL : allocated"), std::string::npos);
    }
  }

  std::deque<cimage> loaded_;  // references to its elements stay valid
};

}  // namespace pic_test
