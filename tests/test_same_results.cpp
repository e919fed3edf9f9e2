// Results that must be the same bits on every system the invitation runs on,
// held as the Linux build gives them; the Windows build runs these tests too
// (under wine, with its maths and libraries linked into the program, so what
// passes there stands for Windows):
//  - the blob turns its balls by std::sin and std::cos of every angle they
//    take: the results for every angle of a whole turn of the scene's three
//    balls, as a hash per ball and axis;
//  - the music as decoded: its length and a hash of its samples (a file read
//    in text mode, or another decoder, would change them).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include <vector>

#include "platform/mpegdecode.h"
#include "render3d/balls.h"
#include "render3d/scene.h"

namespace {

struct TurnResults {
  uint32_t angles;     // angles taken before the first restart at the start angle
  uint64_t cos_hash;   // FNV-1a of the bits of std::cos at each angle, in order
  uint64_t sin_hash;   // the same for std::sin
};

// Linux (glibc) results, per ball and axis.
constexpr TurnResults kLinux[kSceneBalls][3] = {
    {{268, 0x3fb7f4e53ce44c06ull, 0x483b19b99224d754ull},
     {98, 0x771fe1aad2aea50full, 0xb943b708c89e209full},
     {255, 0x85cb02875759c0daull, 0xc72eff3f5c3fed1cull}},
    {{321, 0xf4af75691d8c96e9ull, 0xb1bf5e07444c28c2ull},
     {88, 0xbc97eb7f274222a4ull, 0xdfed63313d698119ull},
     {95, 0xfc159f4b3e688ba4ull, 0x540686e42934187dull}},
    {{138, 0x1fb5b9ba1b7c2c70ull, 0xd0c764af3d774765ull},
     {283, 0x46e0f386febc72ecull, 0x998688b92b16c416ull},
     {128, 0xccb53db666add0fbull, 0x3a5e261c558a106eull}},
};

// The decoded qtn.mp3 on Linux: stereo frames and the hash of its samples.
constexpr size_t kMusicFrames = 3748500;
constexpr uint64_t kMusicHash = 0xeec47ef69bd9dd95ull;

constexpr uint64_t kFnvBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

void fnv_add(uint64_t& hash, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * kFnvPrime;
}

void fnv_add(uint64_t& hash, double value) {
  fnv_add(hash, &value, sizeof value);
}

// The angles one axis takes, stepped as cballs::update steps them, from the
// start angle until it restarts there.
TurnResults turn(float speed) {
  TurnResults r{0, kFnvBasis, kFnvBasis};
  float angle = kBallStartAngle;
  do {
    const double radians = angle * kDegreesToRadians;
    fnv_add(r.cos_hash, std::cos(radians));
    fnv_add(r.sin_hash, std::sin(radians));
    ++r.angles;
    const float next = static_cast<float>(static_cast<double>(angle) + speed);
    angle = next > kFullTurn ? kBallStartAngle : next;
  } while (angle != kBallStartAngle);
  return r;
}

TEST(SameResults, EveryBallAngleOfAWholeTurnGivesTheLinuxBits) {
  balls.count = 0;
  scene_place_balls();
  ASSERT_EQ(balls.count, kSceneBalls);
  for (uint32_t n = 0; n < kSceneBalls; ++n) {
    for (int axis = 0; axis < 3; ++axis) {
      const TurnResults got = turn(balls.ball[n].speed[axis]);
      const TurnResults& want = kLinux[n][axis];
      EXPECT_EQ(got.angles, want.angles) << "ball " << n << " axis " << axis;
      EXPECT_EQ(got.cos_hash, want.cos_hash) << "ball " << n << " axis " << axis;
      EXPECT_EQ(got.sin_hash, want.sin_hash) << "ball " << n << " axis " << axis;
    }
  }
}

TEST(SameResults, TheMusicDecodesToTheLinuxSamples) {
  std::vector<int16_t> samples;
  ASSERT_EQ(platform::mpeg_decode_file(VELMORA_SOURCE_DIR "/data/qtn.mp3", samples), platform::MpegResult::Ok);
  uint64_t hash = kFnvBasis;
  fnv_add(hash, samples.data(), samples.size() * sizeof(int16_t));
  EXPECT_EQ(samples.size() / 2, kMusicFrames);
  EXPECT_EQ(hash, kMusicHash);
}

}  // namespace
