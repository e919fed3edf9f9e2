// Music stream: error texts, decoding (gapless length, mono, other rates,
// broken files), the sound-system operations, the music_start failure path
// and the clock through a loop of the track.
//
// tests/data holds two small MP3s, made with sox and lame:
//   tone_1s.mp3          sox -n -r 44100 -c 2 -b 16 t.wav synth 1.0 sine 440 vol 0.5
//                        lame -b 64 --resample 44.1 t.wav  (44100 frames)
//   mono48k_halfsec.mp3  sox -n -r 48000 -c 1 -b 16 m.wav synth 0.5 sine 1000 vol 0.5
//                        lame -b 64 --resample 48 -m m m.wav  (24000 frames at 48 kHz)
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/driver.h"
#include "platform/display.h"
#include "platform/headless.h"
#include "platform/mpegdecode.h"
#include "platform/sound.h"
#include "platform/soundclock.h"
#include "platform/stall.h"
#include "resources/log.h"

namespace {

using platform::HeadlessBackend;
using platform::HeadlessConfig;
using platform::MpegResult;
using platform::SoundClock;
using platform::SoundClockSample;
using platform::StallChange;
using platform::StallGuard;

const std::string kData = std::string(VELMORA_SOURCE_DIR) + "/tests/data/";
const std::string kTone = kData + "tone_1s.mp3";
const std::string kMono48 = kData + "mono48k_halfsec.mp3";
constexpr uint64_t kToneFrames = 44100;

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// A fresh empty folder under the test temp folder.
std::string make_temp_dir() {
  std::string pattern = ::testing::TempDir() + "sound_XXXXXX";
  if (!mkdtemp(pattern.data())) return ::testing::TempDir();
  return pattern + "/";
}

// Bytes that hold no MPEG frame sync anywhere.
std::string garbage() {
  std::string bytes(4096, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 0xE0);
  return bytes;
}

TEST(SoundErrorText, EveryCodeHasItsExactText) {
  const char* const texts[] = {
      "No errors",
      "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
      "This command failed because FSOUND_Init was not called",
      "Error initializing output device.",
      "The output device is already in use and cannot be reused.",
      "Playing the sound failed.",
      "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
      "Error setting cooperative level for hardware.",
      "Error creating hardware sound buffer.",
      "File not found",
      "Unknown file format",
      "Error loading file",
      "Not enough memory ",
      "The version number of this file format is not supported",
      "Incorrect mixer selected",
      "An invalid parameter was passed to this function",
      "Tried to use an EAX command on a non EAX enabled channel or output.",
      "Unknown error",
      "Failed to allocate a new channel",
  };
  for (int code = 0; code < 19; ++code) EXPECT_STREQ(fmod_error_text(code), texts[code]) << code;
  for (int code : {17, 19, 20, 255, 1000, -1, INT32_MIN, INT32_MAX}) {
    EXPECT_STREQ(fmod_error_text(code), "Unknown error") << code;
  }
}

TEST(MpegDecode, GaplessToneHasExactlyItsFramesAndShape) {
  std::vector<int16_t> samples;
  ASSERT_EQ(platform::mpeg_decode_file(kTone.c_str(), samples), MpegResult::Ok);
  ASSERT_EQ(samples.size(), kToneFrames * 2);
  // The encoder's delay is gone: frame k is the sine at k, in both channels
  // (a delay of even one frame would miss by more than the coding noise).
  double worst = 0.0;
  for (uint64_t k = 0; k < kToneFrames; ++k) {
    const double want = 0.5 * 32767.0 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(k) / 44100.0);
    worst = std::max(worst, std::fabs(samples[2 * k] - want));
    worst = std::max(worst, std::fabs(samples[2 * k + 1] - want));
  }
  EXPECT_LT(worst, 0.06 * 32767.0);
}

TEST(MpegDecode, MonoAt48kBecomesStereoAt44k) {
  std::vector<int16_t> samples;
  ASSERT_EQ(platform::mpeg_decode_file(kMono48.c_str(), samples), MpegResult::Ok);
  const size_t frames = samples.size() / 2;
  EXPECT_NEAR(static_cast<double>(frames), 22050.0, 64.0);
  int16_t peak = 0;
  for (size_t k = 0; k < frames; ++k) {
    ASSERT_EQ(samples[2 * k], samples[2 * k + 1]) << k;
    peak = std::max<int16_t>(peak, samples[2 * k]);
  }
  EXPECT_GT(peak, 12000);
}

// Each test starts with a fresh headless backend and leaves the sound system closed.
class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::backend_install(&hb_); }
  void TearDown() override {
    FSOUND_Close();
    platform::backend_install(nullptr);
  }
  HeadlessBackend hb_;
};

TEST_F(SoundTest, OperationsCheckTheirOrderAndArguments) {
  EXPECT_EQ(FSOUND_Stream_OpenMpeg(kTone.c_str(), kMusicMode), nullptr);
  EXPECT_EQ(FSOUND_GetError(), kSoundErrUninitialized);
  EXPECT_EQ(FSOUND_GetError(), kSoundErrUninitialized);  // reading it keeps it
  EXPECT_FALSE(FSOUND_Init(22050, kMaxChannels, 0));
  EXPECT_EQ(FSOUND_GetError(), kSoundErrInvalidParam);
  EXPECT_FALSE(hb_.audio_is_open());

  ASSERT_TRUE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  EXPECT_EQ(FSOUND_GetError(), kSoundErrNone);
  EXPECT_TRUE(hb_.audio_is_open());
  EXPECT_FALSE(hb_.audio_is_playing());
  EXPECT_FALSE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  EXPECT_EQ(FSOUND_GetError(), kSoundErrInitialized);
  EXPECT_FALSE(FSOUND_SetOutput(kSoundOutput));
  EXPECT_EQ(FSOUND_GetError(), kSoundErrInitialized);

  sound_stream* stream = FSOUND_Stream_OpenMpeg(kTone.c_str(), kMusicMode);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0u);  // not playing yet
  EXPECT_EQ(FSOUND_Stream_Play(kMaxChannels, stream), -1);
  EXPECT_EQ(FSOUND_GetError(), kSoundErrInvalidParam);
  int bogus = 0;
  EXPECT_EQ(FSOUND_Stream_Play(kAnyChannel, reinterpret_cast<sound_stream*>(&bogus)), -1);
  EXPECT_EQ(FSOUND_Stream_Play(kAnyChannel, stream), 0);
  EXPECT_TRUE(hb_.audio_is_playing());

  EXPECT_FALSE(FSOUND_Stream_Close(reinterpret_cast<sound_stream*>(&bogus)));
  EXPECT_EQ(FSOUND_GetError(), kSoundErrInvalidParam);
  EXPECT_TRUE(FSOUND_Stream_Close(stream));
  EXPECT_FALSE(FSOUND_Stream_Close(stream));  // a second close is refused, not a double free
  FSOUND_Close();
  EXPECT_FALSE(hb_.audio_is_open());
  EXPECT_EQ(FSOUND_Stream_Play(kAnyChannel, stream), -1);
  EXPECT_EQ(FSOUND_GetError(), kSoundErrUninitialized);
}

TEST_F(SoundTest, OpenReportsTheFileErrorCodes) {
  const std::string dir = make_temp_dir();
  write_file(dir + "garbage.mp3", garbage());
  write_file(dir + "empty.mp3", "");
  mkdir((dir + "folder.mp3").c_str(), 0700);
  ASSERT_TRUE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  const std::pair<std::string, int> cases[] = {
      {dir + "missing.mp3", kSoundErrFileNotFound},
      {dir + "nodir/missing.mp3", kSoundErrFileNotFound},
      {dir + "garbage.mp3", kSoundErrFileFormat},
      {dir + "empty.mp3", kSoundErrFileFormat},
      {dir + "folder.mp3", kSoundErrFileBad},
  };
  for (const auto& [path, code] : cases) {
    EXPECT_EQ(FSOUND_Stream_OpenMpeg(path.c_str(), kMusicMode), nullptr) << path;
    EXPECT_EQ(FSOUND_GetError(), code) << path;
  }
}

// What the child of a death test reports when it ends.
void report_end(HeadlessBackend& hb, const std::string& log, int code) {
  std::fprintf(stderr, "end: code %d, window open %d, audio open %d, log [%s]\n", code, hb.window_is_open(),
               hb.audio_is_open(), read_file(log).c_str());
}

struct StartFailure {
  const char* name;
  bool fail_sound;
  std::string file;  // bytes of qtn.mp3; empty: no file
  const char* text;
};

TEST(MusicStartDeathTest, FailureClosesTheWindowShowsTheBoxAndExitsWithMinusOne) {
  const StartFailure cases[] = {
      {"missing file", false, "", "File not found"},
      {"sound system", true, read_file(kTone), "Error initializing output device."},
      {"not mpeg", false, garbage(), "Unknown file format"},
  };
  for (const StartFailure& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = make_temp_dir();
    if (!c.file.empty()) write_file(dir + kMusicFile, c.file);
    const std::string log = dir + "run.log";
    const std::string end = std::string("end: code -1, window open 0, audio open 0, log [") + c.text + "]";
    EXPECT_EXIT(
        {
          HeadlessConfig config;
          config.fail_sound = c.fail_sound;
          HeadlessBackend hb(config);
          platform::backend_install(&hb);
          hb.exit_hook = [&](int code, bool) { report_end(hb, log, code); };
          log_enable(g_log, log.c_str());
          if (chdir(dir.c_str()) != 0) std::abort();
          console.open(kWindowTitle, 640, 480, pixfmt, 0);
          music_start();
        },
        ::testing::ExitedWithCode(255),
        ::testing::AllOf(::testing::HasSubstr(std::string(kMusicBoxCaption) + ": " + c.text + "\n"),
                         ::testing::HasSubstr(end)));
  }
}

TEST_F(SoundTest, MusicStartsPlaysOnTheVirtualClockAndStops) {
  const std::string dir = make_temp_dir();
  write_file(dir + kMusicFile, read_file(kTone));
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(dir.c_str()), 0);
  music_start();
  ASSERT_EQ(chdir(cwd), 0);
  ASSERT_NE(music_stream, nullptr);
  EXPECT_TRUE(hb_.audio_is_playing());
  EXPECT_EQ(music_clock(), 0u);
  const std::vector<uint32_t> frame(16, 0);
  for (int i = 0; i < 3; ++i) hb_.window_present(frame.data(), 4, 4);
  EXPECT_EQ(music_clock(), 50u);  // floor(3 x 1000 / 60)
  music_stop();
  EXPECT_EQ(music_stream, nullptr);
  EXPECT_FALSE(hb_.audio_is_open());
  EXPECT_EQ(FSOUND_GetError(), kSoundErrNone);
}

// One simulated device: 512-frame buffers (so the loop point falls inside a
// buffer), callbacks about every 11.6 ms with jitter, the clock read every
// 250 us in between.
TEST_F(SoundTest, LoopIsSeamlessAndTheClockRisesThroughIt) {
  std::vector<int16_t> file;
  ASSERT_EQ(platform::mpeg_decode_file(kTone.c_str(), file), MpegResult::Ok);
  ASSERT_TRUE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  sound_stream* stream = FSOUND_Stream_OpenMpeg(kTone.c_str(), kMusicMode);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(FSOUND_Stream_Play(kAnyChannel, stream), 0);
  platform::AudioSource* source = hb_.audio_source();
  ASSERT_NE(source, nullptr);

  constexpr uint64_t kFrequency = 1000000;  // microsecond ticks
  constexpr int kBuffer = 512;
  constexpr uint64_t kPeriod = kBuffer * kFrequency / kMixRate;
  const int64_t jitter[] = {0, 300, -200, 900, -700, 50, 0, 1500, -1400, 100};
  SoundClock clock;
  clock.reset(kMixRate);
  SoundClockSample sample;
  uint64_t handed = 0;
  uint64_t now = 5000;
  uint32_t last = 0;
  uint32_t largest_step = 0;
  std::vector<int16_t> out(2 * kBuffer);
  for (int callback = 0; callback < 250; ++callback) {  // 2.9 s: through two loop points
    source->fill(out.data(), kBuffer);
    for (int k = 0; k < 2 * kBuffer; ++k) {
      ASSERT_EQ(out[k], file[(handed * 2 + k) % file.size()]) << "frame " << handed + k / 2;
    }
    sample = SoundClockSample{handed, static_cast<uint64_t>(kBuffer), now, true};
    handed += kBuffer;
    const uint64_t next = now + kPeriod + jitter[callback % 10];
    for (uint64_t t = now; t < next; t += 250) {
      const uint32_t ms = clock.read(sample, t, kFrequency);
      ASSERT_GE(ms, last) << "at " << t;
      // Within the buffer being played: between frames_before and all handed out.
      ASSERT_GE(ms, sample.frames_before * 1000 / kMixRate);
      ASSERT_LE(ms, handed * 1000 / kMixRate);
      if (ms != last) largest_step = std::max(largest_step, ms - last);
      last = ms;
    }
    now = next;
  }
  EXPECT_GE(last, 250 * kBuffer * 1000 / kMixRate - 1);
  EXPECT_LE(largest_step, 5u);
}

TEST(SoundClockMath, FramesFollowTheCallbacks) {
  constexpr uint64_t f = 1000000;  // ticks per second
  struct Case {
    const char* what;
    SoundClockSample sample;
    uint64_t now;
    int rate;
    uint64_t frames;
  };
  const Case cases[] = {
      {"before the first callback", {1000, 441, 0, false}, 5000, 44100, 0},
      {"at the callback", {44100, 441, 1000, true}, 1000, 44100, 44100},
      {"half a buffer later", {44100, 441, 1000, true}, 6000, 44100, 44100 + 220},
      {"the buffer used up", {44100, 441, 1000, true}, 11000, 44100, 44541},
      {"a late callback holds at the buffer", {44100, 441, 1000, true}, 50000, 44100, 44541},
      {"a reading taken before the callback", {44100, 441, 9000, true}, 1000, 44100, 44100},
      {"a long stall does not overflow", {7, 441, 0, true}, UINT64_MAX, 44100, 448},
      {"no rate", {7, 441, 0, true}, 100, 0, 0},
      {"another rate", {48000, 480, 0, true}, 5000, 48000, 48240},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::sound_clock_frames(c.sample, c.now, f, c.rate), c.frames) << c.what;
  }
  EXPECT_EQ(platform::sound_clock_frames({7, 441, 0, true}, 100, 0, 44100), 0u);
}

TEST(SoundClockMath, MillisecondsTruncateAndSaturate) {
  EXPECT_EQ(platform::sound_clock_ms({44099, 0, 0, true}, 0, 1000, 44100), 999u);
  EXPECT_EQ(platform::sound_clock_ms({44100, 0, 0, true}, 0, 1000, 44100), 1000u);
  const uint64_t beyond = (uint64_t{UINT32_MAX} + 5) * 441 / 10;
  EXPECT_EQ(platform::sound_clock_ms({beyond, 0, 0, true}, 0, 1000, 44100), UINT32_MAX);
}

TEST(SoundClockMath, ReadingsNeverGoBackwards) {
  SoundClock clock;
  clock.reset(44100);
  EXPECT_EQ(clock.read({0, 441, 0, true}, 10000, 1000000), 10u);
  // A device restarted from zero (or a stale sample) must not pull it back.
  EXPECT_EQ(clock.read({0, 441, 0, true}, 2000, 1000000), 10u);
  EXPECT_EQ(clock.read({441, 441, 10000, true}, 15100, 1000000), 15u);
  clock.reset(44100);
  EXPECT_EQ(clock.read({0, 441, 0, true}, 2000, 1000000), 1u);
}

// The device plays, stops, plays again, is reopened (its clock starts again
// from zero) and stops for good: the music clock stands for the grace, then
// runs in real time, follows the device again, and never steps back or
// further than the time that passed.
TEST(StallGuardMath, ClockStandsForTheGraceThenRunsOnAndFollowsTheDeviceAgain) {
  struct Step {
    uint32_t device;
    uint64_t now;
    uint32_t music;
    StallChange change;
  };
  const Step steps[] = {
      {40, 1000, 40, StallChange::None},      // the first reading starts the clock
      {140, 1100, 140, StallChange::None},
      {140, 1200, 140, StallChange::None},    // the device stops
      {140, 1599, 140, StallChange::None},    // still within the grace
      {140, 1600, 140, StallChange::Stalled}, // the grace is over: it stood still
      {140, 1700, 240, StallChange::None},    // real time from here
      {140, 2000, 540, StallChange::None},
      {150, 2050, 590, StallChange::Resumed}, // plays again; this step is still real time
      {250, 2150, 690, StallChange::None},    // the device's own pace
      {0, 2160, 690, StallChange::None},      // reopened: its clock starts from zero
      {30, 2190, 720, StallChange::None},
      {30, 2689, 720, StallChange::None},
      {30, 2690, 720, StallChange::Stalled},
      {30, 5000, 3030, StallChange::None},
  };
  StallGuard guard;
  guard.reset();
  uint32_t last = 0;
  uint64_t last_now = 0;
  for (const Step& st : steps) {
    SCOPED_TRACE(testing::Message() << "device " << st.device << " at " << st.now);
    const uint32_t music = guard.read(st.device, st.now);
    EXPECT_EQ(music, st.music);
    EXPECT_EQ(guard.change(), st.change);
    if (last_now != 0) {
      EXPECT_GE(music, last);
      EXPECT_LE(music - last, st.now - last_now);
    }
    last = music;
    last_now = st.now;
  }
}

// The sound system over a headless device that stalls at 200 ms and plays
// again at 1000 ms of a 100 fps clock: the stream's time stands for the
// grace, runs on, and when the device plays again the user is told, the
// device's queue is dropped and the music is heard from the time's position.
TEST(SoundStall, TimeRunsOnSilentlyAndTheMusicResumesAtIt) {
  HeadlessConfig config;
  config.fps = 100;
  config.stall_from_ms = 200;
  config.stall_until_ms = 1000;
  HeadlessBackend hb(config);
  platform::backend_install(&hb);
  ASSERT_TRUE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  sound_stream* stream = FSOUND_Stream_OpenMpeg(kTone.c_str(), kMusicMode);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(FSOUND_Stream_Play(kAnyChannel, stream), 0);
  testing::internal::CaptureStderr();
  const uint32_t pixel = 0;
  std::vector<uint32_t> times;
  for (int frame = 0; frame <= 150; ++frame) {
    times.push_back(FSOUND_Stream_GetTime(stream));
    hb.window_present(&pixel, 1, 1);
  }
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(times[20], 200u);
  EXPECT_EQ(times[70], 200u);   // stood still for the grace
  EXPECT_EQ(times[80], 300u);   // then real time
  EXPECT_EQ(times[100], 500u);  // the device's clock moves again after this
  EXPECT_EQ(times[101], 510u);
  EXPECT_EQ(times[150], 1000u);
  for (size_t i = 1; i < times.size(); ++i) {
    EXPECT_GE(times[i], times[i - 1]) << "frame " << i;
    EXPECT_LE(times[i] - times[i - 1], 10u) << "frame " << i;
  }
  for (const char* text : {kAudioStalledText, kAudioResumedText}) {
    const std::string line = std::string(text) + "\n";
    EXPECT_NE(err.find(line), std::string::npos) << err;
    EXPECT_EQ(err.find(line, err.find(line) + 1), std::string::npos) << "said twice: " << err;
  }
  using platform::AudioState;
  EXPECT_EQ(hb.audio_states(), (std::vector<AudioState>{AudioState::Stalled, AudioState::Playing}));
  EXPECT_EQ(hb.audio_flushes(), 1);

  // Resumed at 510 ms; nothing was pulled since: the next samples are the
  // tone's from 510 ms on.
  std::vector<int16_t> tone;
  ASSERT_EQ(platform::mpeg_decode_file(kTone.c_str(), tone), MpegResult::Ok);
  std::vector<int16_t> heard(2 * 64);
  hb.audio_source()->fill(heard.data(), 64);
  const size_t from = 510 * kMixRate / 1000 * 2;
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), tone.begin() + static_cast<long>(from)));
  FSOUND_Close();
  platform::backend_install(nullptr);
}

// A run asked to begin further on (the studio's preview of the menu): the
// clock counts from the start point, the first samples are the tone's from
// there (wrapped into the loop), and after a stall the music resumes at the
// clock, start point included.
TEST(SoundStart, PlayBeginsAtTheBackendsStartPoint) {
  HeadlessConfig config;
  config.fps = 100;
  config.music_start_ms = 19000;
  config.stall_from_ms = 200;
  config.stall_until_ms = 1000;
  HeadlessBackend hb(config);
  platform::backend_install(&hb);
  std::vector<int16_t> tone;
  ASSERT_EQ(platform::mpeg_decode_file(kTone.c_str(), tone), MpegResult::Ok);
  const size_t frames = tone.size() / 2;
  auto heard_from = [&](uint32_t ms) {
    std::vector<int16_t> heard(2 * 64);
    hb.audio_source()->fill(heard.data(), 64);
    const size_t from = static_cast<size_t>(ms) * kMixRate / 1000 % frames * 2;
    return std::equal(heard.begin(), heard.end(), tone.begin() + static_cast<long>(from));
  };
  ASSERT_TRUE(FSOUND_Init(kMixRate, kMaxChannels, 0));
  sound_stream* stream = FSOUND_Stream_OpenMpeg(kTone.c_str(), kMusicMode);
  ASSERT_NE(stream, nullptr);
  ASSERT_EQ(FSOUND_Stream_Play(kAnyChannel, stream), 0);
  EXPECT_EQ(FSOUND_Stream_GetTime(stream), 19000u);
  EXPECT_TRUE(heard_from(19000));
  // As in the stall above: the device plays again after frame 100, and the
  // music resumes at the clock, 510 ms on from the start point.
  testing::internal::CaptureStderr();
  const uint32_t pixel = 0;
  uint32_t t = 0;
  for (int frame = 0; frame <= 101; ++frame) {
    t = FSOUND_Stream_GetTime(stream);
    hb.window_present(&pixel, 1, 1);
  }
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(t, 19510u);
  EXPECT_EQ(hb.audio_flushes(), 1);
  EXPECT_TRUE(heard_from(19510));
  FSOUND_Close();
  platform::backend_install(nullptr);
}

}  // namespace
