// sound: see sound.h.
#include "platform/sound.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/backend.h"
#include "platform/display.h"
#include "platform/message_box.h"
#include "platform/mpegdecode.h"
#include "platform/process.h"
#include "platform/stall.h"
#include "platform/log.h"

// A decoded stream: interleaved 16-bit stereo frames at 44.1 kHz.
struct sound_stream {
  std::vector<int16_t> samples;
  uint64_t frames = 0;
  bool loop = false;
  uint64_t position = 0;  // next frame to play; changed only under the mixer's lock
};

namespace {

constexpr const char* kUnknownError = "Unknown error";

// Index = code. Texts as the user sees them, blanks included.
constexpr std::array<const char*, kSoundErrCount> kErrorTexts = {
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
    kUnknownError,
    "Failed to allocate a new channel",
};

// Feeds the device from the playing stream; silence when none plays. The
// device's audio thread calls fill; the program's thread swaps the stream
// under the same lock, so a stream is never freed while being copied.
class StreamMixer : public platform::AudioSource {
 public:
  void fill(int16_t* out, int count) override {
    std::lock_guard<std::mutex> hold(lock_);
    const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
    size_t done = 0;
    sound_stream* s = stream_;
    while (s && done < wanted) {
      if (s->position >= s->frames) {
        if (!s->loop) break;
        s->position = 0;
      }
      const size_t n = static_cast<size_t>(std::min<uint64_t>(wanted - done, s->frames - s->position));
      std::memcpy(out + done * 2, s->samples.data() + s->position * 2, n * 2 * sizeof(int16_t));
      done += n;
      s->position += n;
    }
    std::memset(out + done * 2, 0, (wanted - done) * 2 * sizeof(int16_t));
  }

  void play(sound_stream* s) {
    std::lock_guard<std::mutex> hold(lock_);
    s->position = 0;
    stream_ = s;
  }

  // The playing stream goes on from the frame at time_ms (wrapped into a
  // looping stream, held at the end of one that does not loop).
  void seek(uint32_t time_ms) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!stream_ || stream_->frames == 0) return;
    const uint64_t frame = static_cast<uint64_t>(time_ms) * kMixRate / 1000;
    stream_->position = stream_->loop ? frame % stream_->frames : std::min(frame, stream_->frames);
  }

  void stop(const sound_stream* s) {
    std::lock_guard<std::mutex> hold(lock_);
    if (stream_ == s) stream_ = nullptr;
  }

  bool playing(const sound_stream* s) {
    std::lock_guard<std::mutex> hold(lock_);
    return s && stream_ == s;
  }

 private:
  std::mutex lock_;
  sound_stream* stream_ = nullptr;
};

// Everything the sound system holds.
struct SoundSystem {
  int error = kSoundErrNone;
  int output = kSoundOutput;
  int driver = kSoundDriver;
  bool initialized = false;
  int channels = 0;
  // The playing stream's time at which play started (Backend::music_start_ms).
  uint32_t start_ms = 0;
  StreamMixer mixer;
  platform::StallGuard guard;
  std::array<std::unique_ptr<sound_stream>, kMaxStreams> streams;
};

// Never destroyed: when the process ends without music_stop (a fatal error
// report), the device's audio thread may still be copying until the very end.
SoundSystem& sound() {
  static SoundSystem* const system = new SoundSystem();
  return *system;
}

bool fail(int code) {
  sound().error = code;
  return false;
}

// The table slot holding stream, or null when it is not an open stream.
std::unique_ptr<sound_stream>* find_stream(const sound_stream* stream) {
  if (!stream) return nullptr;
  for (auto& slot : sound().streams) {
    if (slot.get() == stream) return &slot;
  }
  return nullptr;
}

std::unique_ptr<sound_stream>* free_slot() {
  for (auto& slot : sound().streams) {
    if (!slot) return &slot;
  }
  return nullptr;
}

int decode_error(platform::MpegResult result) {
  switch (result) {
    case platform::MpegResult::Ok:
      return kSoundErrNone;
    case platform::MpegResult::NotFound:
      return kSoundErrFileNotFound;
    case platform::MpegResult::BadFormat:
      return kSoundErrFileFormat;
    case platform::MpegResult::ReadError:
      return kSoundErrFileBad;
    case platform::MpegResult::TooLong:
    case platform::MpegResult::NoMemory:
      return kSoundErrMemory;
  }
  return kSoundErrFileBad;
}

void notice(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  LOGW("%s\n", text);
}

// The music clock through the stall guard, counted from where play started;
// tells the user when the device stops and starts again, and on a new start
// moves the music to the clock.
uint32_t guarded_clock(SoundSystem& s) {
  platform::Backend& b = platform::backend();
  const uint32_t played = s.guard.read(b.audio_clock_ms(), b.time_ms());
  const uint32_t t = played > UINT32_MAX - s.start_ms ? UINT32_MAX : played + s.start_ms;
  switch (s.guard.change()) {
    case platform::StallChange::Stalled:
      notice(kAudioStalledText);
      b.audio_state(platform::AudioState::Stalled);
      break;
    case platform::StallChange::Resumed:
      s.mixer.seek(t);
      b.audio_flush();
      notice(kAudioResumedText);
      b.audio_state(platform::AudioState::Playing);
      break;
    case platform::StallChange::None:
      break;
  }
  return t;
}

// The failure path of music_start: the user learns why, then the run ends.
[[noreturn]] void music_fail() {
  LOGW("%s", fmod_error_text(FSOUND_GetError()));
  console.close();
  platform::message_box(kMusicBoxCaption, fmod_error_text(FSOUND_GetError()));
  FSOUND_Close();
  platform::process_exit(platform::kExitStartFailed);
}

}  // namespace

sound_stream* music_stream = nullptr;

bool FSOUND_SetOutput(int output) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (s.initialized) return fail(kSoundErrInitialized);
  s.output = output;
  return true;
}

bool FSOUND_SetDriver(int driver) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (s.initialized) return fail(kSoundErrInitialized);
  if (driver != kSoundDriver) return fail(kSoundErrInvalidParam);
  s.driver = driver;
  return true;
}

bool FSOUND_Init(int mixrate, int maxchannels, unsigned flags) {
  (void)flags;  // no flag changes anything here
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (s.initialized) return fail(kSoundErrInitialized);
  if (mixrate != kMixRate || maxchannels < 1 || maxchannels > kMaxChannels) return fail(kSoundErrInvalidParam);
  if (!platform::backend().audio_open(&s.mixer)) return fail(kSoundErrInit);
  if (platform::backend().audio_silent()) {
    notice(kNoAudioDeviceText);
    platform::backend().audio_state(platform::AudioState::Silent);
  }
  s.initialized = true;
  s.channels = maxchannels;
  return true;
}

sound_stream* FSOUND_Stream_OpenMpeg(const char* filename, unsigned mode) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (!s.initialized) {
    fail(kSoundErrUninitialized);
    return nullptr;
  }
  if (!filename) {
    fail(kSoundErrInvalidParam);
    return nullptr;
  }
  std::unique_ptr<sound_stream>* slot = free_slot();
  std::unique_ptr<sound_stream> stream(new (std::nothrow) sound_stream());
  if (!slot || !stream) {
    fail(kSoundErrMemory);
    return nullptr;
  }
  const int code = decode_error(platform::mpeg_decode_file(filename, stream->samples));
  if (code != kSoundErrNone) {
    fail(code);
    return nullptr;
  }
  stream->frames = stream->samples.size() / platform::kPcmChannels;
  stream->loop = (mode & kStreamLoop) != 0;
  *slot = std::move(stream);
  return slot->get();
}

int FSOUND_Stream_Play(int channel, sound_stream* stream) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (!s.initialized) {
    fail(kSoundErrUninitialized);
    return -1;
  }
  if (!find_stream(stream) || channel < kAnyChannel || channel >= s.channels) {
    fail(kSoundErrInvalidParam);
    return -1;
  }
  s.mixer.play(stream);
  s.start_ms = platform::backend().music_start_ms();
  if (s.start_ms != 0) s.mixer.seek(s.start_ms);
  s.guard.reset();
  platform::backend().audio_play();
  return channel == kAnyChannel ? 0 : channel;
}

uint32_t FSOUND_Stream_GetTime(sound_stream* stream) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (!s.initialized) {
    fail(kSoundErrUninitialized);
    return 0;
  }
  if (!find_stream(stream)) {
    fail(kSoundErrInvalidParam);
    return 0;
  }
  return s.mixer.playing(stream) ? guarded_clock(s) : 0;
}

int FSOUND_GetError() {
  return sound().error;
}

bool FSOUND_Stream_Close(sound_stream* stream) {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  std::unique_ptr<sound_stream>* slot = find_stream(stream);
  if (!slot) return fail(kSoundErrInvalidParam);
  s.mixer.stop(stream);
  slot->reset();
  return true;
}

void FSOUND_Close() {
  SoundSystem& s = sound();
  s.error = kSoundErrNone;
  if (!s.initialized) return;
  // The device stops first, so no callback runs while the streams go.
  platform::backend().audio_close();
  for (auto& slot : s.streams) {
    if (slot) s.mixer.stop(slot.get());
    slot.reset();
  }
  s.initialized = false;
  s.channels = 0;
}

const char* fmod_error_text(int code) {
  if (code < 0 || code >= kSoundErrCount) return kUnknownError;
  return kErrorTexts[static_cast<size_t>(code)];
}

void music_start() {
  FSOUND_SetOutput(kSoundOutput);
  FSOUND_SetDriver(kSoundDriver);
  if (!FSOUND_Init(kMixRate, kMaxChannels, 0)) music_fail();
  music_stream = FSOUND_Stream_OpenMpeg(kMusicFile, kMusicMode);
  if (!music_stream) music_fail();
  if (FSOUND_Stream_Play(kAnyChannel, music_stream) == -1) music_fail();
}

uint32_t music_clock() {
  return FSOUND_Stream_GetTime(music_stream);
}

void music_stop() {
  FSOUND_Stream_Close(music_stream);
  FSOUND_Close();
  music_stream = nullptr;
}
