// clockcheck: measures the music clock on the real audio device.
//
//   clockcheck [FILE] [--seconds S]      (FILE defaults to qtn.mp3, S to 20)
//
// Plays FILE looping through the SDL backend (audio only, no window) and
// reads the stream time as fast as it sensibly can. Each reading is compared
// with the frames the device had been handed at that moment (counted by a
// thin layer between the sound system and the device) and with the wall
// clock. Where there is no sound card, run it with SDL_AUDIODRIVER=dummy.
// A short FILE loops several times, so the loop point is measured too.
//
// Reports the largest step between consecutive distinct readings (and by how
// much it exceeded the wall time between them, which discounts a reader that
// the scheduler held up), the largest distance to (frames handed out / 44.1),
// the drift against the wall clock, and every reading that went backwards.
// Exit status 0 when the clock never leapt more than 5 ms past the wall time,
// stayed within the device buffer being played and never went backwards; 1
// otherwise or when it cannot play.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/mpegdecode.h"
#include "platform/sdl.h"
#include "platform/sound.h"

namespace {

constexpr double kDefaultSeconds = 20.0;
constexpr uint32_t kGoalStepMs = 5;
constexpr auto kPollPause = std::chrono::microseconds(200);

// Counts the frames the device pulls, around the sound system's own source.
class CountingSource : public platform::AudioSource {
 public:
  // sequence is odd while the counts change, so a reader can tell a
  // consistent pair from a torn one.
  void fill(int16_t* frames, int count) override {
    if (inner) inner->fill(frames, count);
    sequence.fetch_add(1);
    before.store(handed.load());
    handed.fetch_add(static_cast<uint64_t>(count));
    last_count.store(count);
    sequence.fetch_add(1);
  }
  platform::AudioSource* inner = nullptr;
  std::atomic<uint64_t> sequence{0};
  std::atomic<uint64_t> before{0};
  std::atomic<uint64_t> handed{0};
  std::atomic<int> last_count{0};
};

// The SDL backend with the counting source slipped in front of the sound system's.
class CountingBackend : public platform::Backend {
 public:
  explicit CountingBackend(platform::Backend* real) : real_(real) {}
  void window_open(const char* title, int width, int height) override { real_->window_open(title, width, height); }
  void window_present(const uint32_t* pixels, int width, int height) override {
    real_->window_present(pixels, width, height);
  }
  void window_close() override { real_->window_close(); }
  void* window_handle() override { return real_->window_handle(); }
  bool key_waiting() override { return real_->key_waiting(); }
  int key_read() override { return real_->key_read(); }
  int32_t mouse_open() override { return real_->mouse_open(); }
  int32_t mouse_acquire() override { return real_->mouse_acquire(); }
  int32_t mouse_read(platform::MouseSample& sample) override { return real_->mouse_read(sample); }
  void mouse_close() override { real_->mouse_close(); }
  bool audio_open(platform::AudioSource* source) override {
    counter.inner = source;
    return real_->audio_open(&counter);
  }
  void audio_play() override { real_->audio_play(); }
  uint32_t audio_clock_ms() override { return real_->audio_clock_ms(); }
  void audio_close() override { real_->audio_close(); }
  void audio_flush() override { real_->audio_flush(); }
  void audio_state(platform::AudioState state) override { real_->audio_state(state); }
  uint64_t time_ms() override { return real_->time_ms(); }
  void message_box(const char* caption, const char* text) override { real_->message_box(caption, text); }

  CountingSource counter;

 private:
  platform::Backend* real_;
};

struct Figures {
  uint64_t readings = 0;
  uint64_t distinct = 0;
  uint64_t backwards = 0;
  uint32_t largest_step = 0;
  double largest_leap = 0.0;       // largest (step - wall time between the readings), ms
  double ahead_of_handed = -1e9;   // largest (reading - handed / 44.1), ms
  double behind_handed = 0.0;      // largest (handed / 44.1 - reading), ms
  uint64_t outside_buffer = 0;     // readings outside [frames before, handed]
  double first_offset = 0.0;       // clock - wall at the first rising reading
  double largest_drift = 0.0;      // largest |(clock - wall) - first_offset|
  bool have_offset = false;
  uint32_t last = 0;
  double last_wall = 0.0;
};

[[noreturn]] void usage() {
  std::fprintf(stderr, "usage: clockcheck [FILE] [--seconds S]\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  std::string file = kMusicFile;
  double seconds = kDefaultSeconds;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      seconds = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(seconds > 0.0 && seconds <= 3600.0)) usage();
    } else if (argv[i][0] == '-') {
      usage();
    } else {
      file = argv[i];
    }
  }

  std::unique_ptr<platform::Backend> sdl(platform::sdl_backend_create());
  CountingBackend backend(sdl.get());
  platform::backend_install(&backend);
  if (!FSOUND_Init(kMixRate, kMaxChannels, 0)) {
    std::fprintf(stderr, "clockcheck: %s (no sound card? try SDL_AUDIODRIVER=dummy)\n",
                 fmod_error_text(FSOUND_GetError()));
    return 1;
  }
  sound_stream* stream = FSOUND_Stream_OpenMpeg(file.c_str(), kMusicMode);
  if (!stream) {
    std::fprintf(stderr, "clockcheck: %s: %s\n", file.c_str(), fmod_error_text(FSOUND_GetError()));
    FSOUND_Close();
    return 1;
  }
  std::vector<int16_t> samples;
  platform::mpeg_decode_file(file.c_str(), samples);
  const uint64_t track_frames = samples.size() / platform::kPcmChannels;
  std::vector<int16_t>().swap(samples);
  const char* driver = std::getenv("SDL_AUDIODRIVER");
  const CountingSource& c = backend.counter;

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  if (FSOUND_Stream_Play(kAnyChannel, stream) == -1) {
    std::fprintf(stderr, "clockcheck: %s\n", fmod_error_text(FSOUND_GetError()));
    FSOUND_Close();
    return 1;
  }
  Figures f;
  for (;;) {
    const double wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (wall >= seconds * 1000.0) break;
    // A reading is compared only when no callback ran while it was taken.
    const uint64_t seq = c.sequence.load();
    const uint64_t handed = c.handed.load();
    const uint64_t before = c.before.load();
    const uint32_t ms = FSOUND_Stream_GetTime(stream);
    const bool steady = seq % 2 == 0 && c.sequence.load() == seq;
    ++f.readings;
    if (ms < f.last) ++f.backwards;
    if (ms > f.last) {
      f.largest_step = std::max(f.largest_step, ms - f.last);
      f.largest_leap = std::max(f.largest_leap, (ms - f.last) - (wall - f.last_wall));
      ++f.distinct;
      if (!f.have_offset) {
        f.first_offset = ms - wall;
        f.have_offset = true;
      }
      f.largest_drift = std::max(f.largest_drift, std::abs((ms - wall) - f.first_offset));
    }
    if (steady && seq > 0) {
      const double handed_ms = static_cast<double>(handed) * 1000.0 / kMixRate;
      f.ahead_of_handed = std::max(f.ahead_of_handed, ms - handed_ms);
      f.behind_handed = std::max(f.behind_handed, handed_ms - ms);
      const uint64_t lo = before * 1000 / kMixRate;
      const uint64_t hi = handed * 1000 / kMixRate;
      if (ms < lo || ms > hi) ++f.outside_buffer;
    }
    f.last = ms;
    f.last_wall = wall;
    std::this_thread::sleep_for(kPollPause);
  }
  const uint64_t handed = c.handed.load();
  const int buffer = c.last_count.load();
  const double buffer_ms = buffer * 1000.0 / kMixRate;
  FSOUND_Stream_Close(stream);
  FSOUND_Close();
  platform::backend_install(nullptr);

  const bool ok = f.backwards == 0 && f.largest_leap <= kGoalStepMs && f.outside_buffer == 0 && f.distinct > 0;
  std::printf("clockcheck: %s for %.1f s, audio driver %s, device buffer %d frames (%.1f ms), %llu callbacks\n",
              file.c_str(), seconds, driver ? driver : "(SDL's choice)", buffer, buffer_ms,
              static_cast<unsigned long long>(c.sequence.load() / 2));
  std::printf("readings: %llu, distinct: %llu, last %u ms at wall %.1f ms\n",
              static_cast<unsigned long long>(f.readings), static_cast<unsigned long long>(f.distinct), f.last,
              f.last_wall);
  std::printf("largest step between distinct readings: %u ms; beyond the wall time between them: %.2f ms (goal <= %u)\n",
              f.largest_step, f.largest_leap, kGoalStepMs);
  std::printf("reading - frames handed out / 44.1: from %.2f to +%.2f ms; outside the buffer in play: %llu\n",
              -f.behind_handed, f.ahead_of_handed, static_cast<unsigned long long>(f.outside_buffer));
  std::printf("wall clock: clock - wall drifted by at most %.2f ms (end: clock %u ms, wall %.1f ms, rate %.5f)\n",
              f.largest_drift, f.last, f.last_wall, f.last_wall > 0 ? f.last / f.last_wall : 0.0);
  std::printf("frames handed out: %llu (%llu loop points passed); went backwards: %llu times\n",
              static_cast<unsigned long long>(handed),
              static_cast<unsigned long long>(track_frames > 0 ? handed / track_frames : 0),
              static_cast<unsigned long long>(f.backwards));
  std::printf("%s\n", ok ? "clock: ok" : "clock: NOT ok");
  return ok ? 0 : 1;
}
