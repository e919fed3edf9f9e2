// Pixel operations: the formulas' edge values, every SIMD path against the
// plain one, and the blits' clipping and row steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "gfx2d/pixel.h"
#include "gfx2d/pixel_kernels.h"
#include "platform/backend.h"
#include "platform/display.h"
#include "platform/headless.h"

namespace {

const ptc::Format kFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);

PixelPath fastest_path() {
  if (pixel_kernels(PixelPath::Avx2)) return PixelPath::Avx2;
  if (pixel_kernels(PixelPath::Sse2)) return PixelPath::Sse2;
  return PixelPath::Plain;
}

std::vector<uint32_t> pixels_of(ptc::Surface& s) {
  const auto* p = static_cast<const uint32_t*>(s.lock());
  std::vector<uint32_t> v(p, p + static_cast<size_t>(s.width()) * s.height());
  s.unlock();
  return v;
}

uint32_t& at(ptc::Surface& s, int x, int y) {
  auto* p = static_cast<uint32_t*>(s.lock());
  s.unlock();
  return p[static_cast<size_t>(y) * s.width() + x];
}

void fill(ptc::Surface& s, uint32_t value) { surface_clear(s, value); }

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Every public operation, run once with each kernel path the machine has.
class PixelOps : public ::testing::TestWithParam<PixelPath> {
 protected:
  void SetUp() override {
    if (!pixel_kernels_select(GetParam())) GTEST_SKIP() << "path not available here";
  }
  void TearDown() override { pixel_kernels_select(fastest_path()); }
};

const char* path_name(PixelPath path) {
  switch (path) {
    case PixelPath::Plain: return "plain";
    case PixelPath::Sse2: return "sse2";
    case PixelPath::Avx2: return "avx2";
    case PixelPath::Simd128: return "simd128";
  }
  return "?";
}

}  // namespace

void PrintTo(PixelPath path, std::ostream* os) { *os << path_name(path); }

namespace {

INSTANTIATE_TEST_SUITE_P(Paths, PixelOps, ::testing::Values(PixelPath::Plain, PixelPath::Sse2, PixelPath::Avx2),
                         [](const auto& info) { return std::string(path_name(info.param)); });

// Runs blend_span over 41 pixels of s onto d (long enough for every vector
// width and its tail) and returns the first resulting byte of each.
uint8_t blend_one(uint8_t s, uint8_t d, uint32_t f) {
  std::vector<uint8_t> src(41 * 4, s), dst(41 * 4, d);
  blend_span(src.data(), dst.data(), f, 40 * 4);
  for (size_t i = 0; i < 160; ++i) EXPECT_EQ(dst[i], dst[0]) << "byte " << i;
  EXPECT_EQ(dst[160], d) << "odd last pixel must stay";
  return dst[0];
}

TEST_P(PixelOps, BlendEdgeValues) {
  struct Case { uint8_t s, d; uint32_t f; uint8_t want; };
  const Case cases[] = {
      {17, 200, 0, 200},   {17, 200, 256, 17},   {255, 0, 128, 127}, {0, 255, 128, 127},
      {255, 0, 100, 99},   {0, 255, 100, 155},   // the 3D window's weight
      {200, 100, 300, 217}, {0, 1, 512, 255},   {1, 0, 512, 2},     // f > 256 wraps in 16 bits
      {10, 20, 65536 + 128, 15},                 // only the low 16 bits of f
  };
  for (const Case& c : cases) EXPECT_EQ(blend_one(c.s, c.d, c.f), c.want) << int(c.s) << " " << int(c.d) << " f=" << c.f;
  for (uint32_t f = 0; f <= 256; ++f) EXPECT_EQ(blend_one(255, 255, f), 255) << "f=" << f;
}

TEST_P(PixelOps, BlendIsWeightedMeanForEveryByteAndWeight) {
  std::vector<uint8_t> src(65536), base(65536), dst(65536);
  for (size_t i = 0; i < 65536; ++i) {
    src[i] = static_cast<uint8_t>(i);
    base[i] = static_cast<uint8_t>(i >> 8);
  }
  std::vector<uint8_t> want(65536);
  for (uint32_t f = 0; f <= 256; ++f) {
    for (size_t i = 0; i < 65536; ++i) want[i] = static_cast<uint8_t>((src[i] * f + base[i] * (256 - f)) >> 8);
    dst = base;
    blend_span(src.data(), dst.data(), f, 65536);
    if (dst == want) continue;
    const size_t i = static_cast<size_t>(std::mismatch(dst.begin(), dst.end(), want.begin()).first - dst.begin());
    FAIL() << "s=" << int(src[i]) << " d=" << int(base[i]) << " f=" << f << ": " << int(dst[i]) << " not " << int(want[i]);
  }
}

TEST_P(PixelOps, FadeEdgeValuesAndChannelOrder) {
  struct Case { uint32_t pixel; uint64_t factor; uint32_t want; };
  const Case cases[] = {
      {0x00FFFFFF, fade_factor(255), 0x00FEFEFE},
      {0x80000000, fade_factor(255), 0x7F000000},
      {0xFFFFFFFF, fade_factor(0), 0x00000000},
      {0x80402010, fade_factor(128), 0x40201008},
      // words: blue x1, green x0.5, red x0, fourth x2 (0x40 * 0x200 wraps to 0x8000)
      {0x40302010, 0x0200000000800100ull, 0x80001010},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> buf(19, c.pixel);
    fade_span(buf.data(), c.factor, 19);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(buf[i], c.want) << std::hex << c.pixel << " pixel " << i;
    EXPECT_EQ(buf[18], c.pixel) << "odd last pixel must stay";
  }
}

TEST_P(PixelOps, FadeIsFloorOfScaledLevel) {
  std::vector<uint8_t> buf(256);
  for (uint32_t v = 0; v <= 255; ++v) {
    for (size_t c = 0; c < 256; ++c) buf[c] = static_cast<uint8_t>(c);
    fade_span(buf.data(), fade_factor(v), 64);
    for (uint32_t c = 0; c < 256; ++c) ASSERT_EQ(buf[c], c * v / 256) << "c=" << c << " v=" << v;
  }
}

TEST_P(PixelOps, RunsShorterThanAPairChangeNothing) {
  uint32_t px[2] = {0x11223344, 0x55667788};
  const uint32_t src[2] = {0, 0};
  blend_span(src, px, 256, 7);
  fade_span(px, 0, 1);
  EXPECT_EQ(px[0], 0x11223344u);
  EXPECT_EQ(px[1], 0x55667788u);
}

TEST_P(PixelOps, BlitAddSaturatesEveryByte) {
  struct Case { uint32_t dst, src, want; };
  const Case cases[] = {
      {0xC8C8C8C8, 0x64646464, 0xFFFFFFFF},  // 200 + 100 saturates
      {0x12345678, 0x00000000, 0x12345678},  // a zero source pixel changes nothing
      {0x10000000, 0x20000000, 0x30000000},  // the fourth bytes add
      {0x01FF7F80, 0x01018080, 0x02FFFFFF},
  };
  for (const Case& c : cases) {
    ptc::Surface dst(kScreenWidth, 4, kFormat), src(6, 2, kFormat);
    fill(dst, c.dst);
    fill(src, c.src);
    blit_add(dst, src, 3, 1);
    EXPECT_EQ(at(dst, 3, 1), c.want);
    EXPECT_EQ(at(dst, 8, 2), c.want);
    EXPECT_EQ(at(dst, 2, 1), c.dst);
    EXPECT_EQ(at(dst, 9, 1), c.dst);
    EXPECT_EQ(at(dst, 3, 3), c.dst);
  }
}

TEST_P(PixelOps, BlitAddSkipsOddLastColumnAndClipsToScreen) {
  ptc::Surface dst(kScreenWidth, kScreenHeight + 2, kFormat);
  for (int w : {1, 3, 5, 37}) {
    ptc::Surface src(w, 2, kFormat);
    fill(src, 0x01010101);
    fill(dst, 0);
    blit_add(dst, src, 10, 10);
    for (int c = 0; c < w; ++c) EXPECT_EQ(at(dst, 10 + c, 10), c < (w & ~1) ? 0x01010101u : 0u) << w << " " << c;
  }
  // A caption line near the corner: nothing wraps into the next row and
  // nothing lands below row 479 even where the surface has more rows.
  ptc::Surface cap(kScreenWidth, 40, kFormat);
  fill(cap, 0x01010101);
  fill(dst, 0);
  blit_add(dst, cap, 5, kScreenHeight - 2);
  const std::vector<uint32_t> px = pixels_of(dst);
  for (int y = 0; y < kScreenHeight + 2; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool drawn = y >= kScreenHeight - 2 && y < kScreenHeight && x >= 5;
      ASSERT_EQ(px[static_cast<size_t>(y) * kScreenWidth + x], drawn ? 0x01010101u : 0u) << x << "," << y;
    }
  }
}

TEST_P(PixelOps, TransitionKeepsTopRowsAndEndsOnTarget) {
  ptc::Surface target(kScreenWidth, kScreenHeight, kFormat), screen(kScreenWidth, kScreenHeight, kFormat);
  std::mt19937 rng(7);
  for (auto* s : {&target, &screen}) {
    auto* p = static_cast<uint32_t*>(s->lock());
    for (size_t i = 0; i < static_cast<size_t>(kScreenWidth) * kScreenHeight; ++i) p[i] = rng();
    s->unlock();
  }
  const std::vector<uint32_t> before = pixels_of(screen);
  transition_blend(target, screen, 0);
  EXPECT_EQ(pixels_of(screen), before);
  for (uint32_t f = 16; f <= 256; f += 16) transition_blend(target, screen, f);
  const std::vector<uint32_t> after = pixels_of(screen), want = pixels_of(target);
  const size_t split = kTransitionFirstRow * kScreenWidth;
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + split, before.begin()));
  EXPECT_TRUE(std::equal(after.begin() + split, after.end(), want.begin() + split));
}

TEST_P(PixelOps, OverlayBlendsOnlyItsWindow) {
  constexpr int kX = 480, kY = 285, kW = 150, kH = 130;
  ptc::Surface dst(kScreenWidth, kScreenHeight, kFormat);
  fill(dst, 0xFFFFFFFF);
  const std::vector<uint32_t> window(kW * kH, 0);
  overlay_blend(dst, window.data(), kX, kY, kW, kH);
  const std::vector<uint32_t> px = pixels_of(dst);
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool in = x >= kX && x < kX + kW && y >= kY && y < kY + kH;
      ASSERT_EQ(px[static_cast<size_t>(y) * kScreenWidth + x], in ? 0x9B9B9B9Bu : 0xFFFFFFFFu) << x << "," << y;
    }
  }
  // Past the corner it is clipped to the surface (no wrap, no overrun).
  fill(dst, 0xFFFFFFFF);
  overlay_blend(dst, window.data(), 600, 400, kW, kH);
  EXPECT_EQ(at(dst, 639, 479), 0x9B9B9B9Bu);
  EXPECT_EQ(at(dst, 599, 479), 0xFFFFFFFFu);
  EXPECT_EQ(at(dst, 0, 401), 0xFFFFFFFFu);
}

TEST_P(PixelOps, CrossfadePresentsTheBlend) {
  platform::HeadlessBackend hb;
  platform::backend_install(&hb);
  {
    ptc::Console console;
    console.open("test", kScreenWidth, kScreenHeight, kFormat, 1);
    ptc::Surface src(kScreenWidth, kScreenHeight, kFormat), dst(kScreenWidth, kScreenHeight, kFormat);
    fill(src, 0xFFFFFFFF);
    crossfade_present(src, dst, 128, console);
    EXPECT_EQ(hb.frames(), 1u);
    ASSERT_EQ(hb.last_frame().size(), static_cast<size_t>(kScreenWidth) * kScreenHeight);
    for (uint32_t p : hb.last_frame()) ASSERT_EQ(p, 0x7F7F7F7Fu);
    crossfade_present(src, dst, 256, console);
    EXPECT_EQ(hb.last_frame(), pixels_of(src));
    EXPECT_FALSE(src.locked() || dst.locked());
  }
  platform::backend_install(nullptr);
}

// Every SIMD path against the plain one: random bytes, runs of every short
// length and some long ones, starts at every byte offset.
TEST(PixelKernels, SimdPathsMatchPlain) {
  const PixelKernels& plain = *pixel_kernels(PixelPath::Plain);
  std::mt19937 rng(2024);
  int compared = 0;
  for (PixelPath path : {PixelPath::Sse2, PixelPath::Avx2}) {
    const PixelKernels* k = pixel_kernels(path);
    if (k == nullptr) continue;
    ++compared;
    std::vector<size_t> runs;
    for (size_t n = 0; n <= 20; ++n) runs.push_back(n);
    for (size_t n : {31, 33, 63, 65, 320, 1001}) runs.push_back(n);
    for (size_t pairs : runs) {
      for (size_t off : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 16, 24}) {
        const size_t bytes = pairs * 8 + off + 8;  // a guard after the run
        const std::vector<uint8_t> src = random_bytes(rng, bytes), dst0 = random_bytes(rng, bytes);
        // Every weight on the short runs; the long ones add the bulk loops.
        std::vector<uint32_t> factors = {0, 1, 127, 128, 255, 256, 257, 0xFFFF};
        if (pairs <= 20) {
          for (uint32_t f = 2; f < 256; ++f) factors.push_back(f);
        }
        for (int i = 0; i < 8; ++i) factors.push_back(rng());
        for (uint32_t f : factors) {
          std::vector<uint8_t> a = dst0, b = dst0;
          plain.blend(src.data() + off, a.data() + off, f, pairs);
          k->blend(src.data() + off, b.data() + off, f, pairs);
          ASSERT_EQ(a, b) << k->name << " blend pairs=" << pairs << " off=" << off << " f=" << f;
        }
        std::vector<uint64_t> fades;
        for (uint64_t v = 0; v <= 255; v += (pairs < 3 ? 1 : 51)) fades.push_back(fade_factor(v));
        for (int i = 0; i < 8; ++i) fades.push_back((uint64_t{rng()} << 32) | rng());
        for (uint64_t m : fades) {
          std::vector<uint8_t> a = dst0, b = dst0;
          plain.fade(a.data() + off, m, pairs);
          k->fade(b.data() + off, m, pairs);
          ASSERT_EQ(a, b) << k->name << " fade pairs=" << pairs << " off=" << off << " m=" << std::hex << m;
        }
        for (size_t pixels : {pairs * 2, pairs * 2 + 1}) {
          std::vector<uint8_t> a = dst0, b = dst0;
          plain.add(src.data() + off, a.data() + off, pixels);
          k->add(src.data() + off, b.data() + off, pixels);
          ASSERT_EQ(a, b) << k->name << " add pixels=" << pixels << " off=" << off;
        }
      }
    }
  }
#if defined(__x86_64__)
  EXPECT_GE(compared, 1) << "SSE2 is always there on x86-64";
#endif
}

TEST(PixelBlits, KeyedSkipsOnlyTheExactKeyAndClipsAtTheEdges) {
  ptc::Surface dst(kScreenWidth, kScreenHeight, kFormat), src(3, 1, kFormat);
  fill(dst, 0x12345678);
  at(src, 0, 0) = 0x00000000;
  at(src, 1, 0) = 0xFF000000;
  at(src, 2, 0) = 0x00000001;
  blit_keyed(dst, src, 10, 20, 0);
  EXPECT_EQ(at(dst, 10, 20), 0x12345678u);
  EXPECT_EQ(at(dst, 11, 20), 0xFF000000u);
  EXPECT_EQ(at(dst, 12, 20), 0x00000001u);

  // A pointer larger than 16 x 16 at the corner: no wrap into the next row,
  // no write past the last row.
  ptc::Surface pointer(24, 24, kFormat);
  fill(pointer, 0x00FFFFFF);
  fill(dst, 0);
  blit_keyed(dst, pointer, kScreenWidth - 8, kScreenHeight - 8, 0);
  EXPECT_EQ(at(dst, kScreenWidth - 1, kScreenHeight - 1), 0x00FFFFFFu);
  EXPECT_EQ(at(dst, kScreenWidth - 9, kScreenHeight - 1), 0u);
  EXPECT_EQ(at(dst, 0, kScreenHeight - 1), 0u);
  blit_keyed(dst, pointer, -4, -4, 0);
  EXPECT_EQ(at(dst, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(at(dst, kScreenWidth - 1, 0), 0u);
}

TEST(PixelBlits, OpaqueClipsAtTheRightEdge) {
  struct Case { int src_w, x, copied; };
  const Case cases[] = {{640, 0, 640}, {100, 600, 40}, {100, 0, 100}, {1, 639, 1}, {10, 640, 0}, {10, -4, 6}};
  for (const Case& c : cases) {
    ptc::Surface dst(kScreenWidth, 4, kFormat), src(c.src_w, 3, kFormat);
    auto* s = static_cast<uint32_t*>(src.lock());
    for (int i = 0; i < c.src_w * 3; ++i) s[i] = 0x01000000u + static_cast<uint32_t>(i);
    src.unlock();
    blit_opaque(dst, src, c.x, 1);
    const std::vector<uint32_t> px = pixels_of(dst);
    int copied = 0;
    for (size_t i = 0; i < px.size(); ++i) {
      if (px[i] == 0) continue;
      const int y = static_cast<int>(i / kScreenWidth), x = static_cast<int>(i % kScreenWidth);
      const int sx = x - c.x, sy = y - 1;
      ASSERT_EQ(px[i], 0x01000000u + static_cast<uint32_t>(sy * c.src_w + sx)) << c.src_w << "@" << c.x;
      if (sy == 0) ++copied;
    }
    EXPECT_EQ(copied, c.copied) << c.src_w << "@" << c.x;
  }
  // A source taller than the room below y stops at the last row.
  ptc::Surface dst(kScreenWidth, 4, kFormat), tall(8, 8, kFormat);
  fill(tall, 0xABCDEF01);
  blit_opaque(dst, tall, 2, 2);
  EXPECT_EQ(at(dst, 2, 3), 0xABCDEF01u);
}

TEST(PixelBlocks, FillTouchesExactlyItsRun) {
  // Counts around the fill's 4096-byte block, at unaligned starts.
  const uint32_t counts[] = {0, 1, 3, 4, 5, 17, 1023, 1024, 1025, 2049, 3001};
  std::vector<uint8_t> buf(3001 * 4 + 8), want(buf.size());
  for (uint32_t value : {0x00000000u, 0xA5A5A5A5u, 0x11223344u, 0xFF000001u}) {
    for (size_t off : {0, 1, 3}) {
      for (uint32_t count : counts) {
        std::fill(buf.begin(), buf.end(), 0xEE);
        pixel_fill(value, count, buf.data() + off);
        for (size_t i = 0; i < buf.size(); ++i) {
          const bool in = i >= off && i < off + count * 4;
          want[i] = in ? static_cast<uint8_t>(value >> (8 * ((i - off) % 4))) : 0xEE;
        }
        ASSERT_EQ(buf, want) << std::hex << value << std::dec << " off=" << off << " count=" << count;
      }
    }
  }
}

}  // namespace
