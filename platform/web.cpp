// web: see web.h.
#include "platform/web.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/input.h"
#include "platform/keyqueue.h"
#include "platform/pacer.h"
#include "platform/pointer.h"
#include "platform/soundclock.h"

// The page's side of the backend: Module.page, the object web/bridge.js
// makes for each run (its table lists every call and its caller here).

EM_JS(void, web_page_open, (const char* title, int width, int height), {
  Module.page.open(UTF8ToString(title), width, height);
});

// The waits below suspend the program (asyncify) and wake it from the event
// they wait for. The program leaves by exit(), which throws emscripten's
// ExitStatus out of the wake-up once the run has ended: it is caught there,
// as a wait through a promise would turn it into an unhandled rejection
// that Firefox reports as an uncaught exception whatever the page does.
// (Each function is listed in ASYNCIFY_IMPORTS, cmake/webapp.cmake.)

// Waits for the page's next refresh (page.refresh: the next animation
// frame, or sooner where the page hurries a run on); returns its time stamp
// (ms). A run the page never wakes (the studio's preview, replaced by a newer
// one) stays suspended and goes with its module.
EM_JS(double, web_page_refresh, (), {
  return Asyncify.handleSleep(function(wakeUp) {
    Module.page.refresh(function(time) {
      try {
        wakeUp(time);
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    });
  });
});

// Puts the frame on the canvas. HEAPU8 is looked up here, when it is current
// even if memory grew meanwhile.
EM_JS(void, web_page_frame, (const uint8_t* rgba, int width, int height), {
  Module.page.draw(HEAPU8.subarray(rgba, rgba + width * height * 4), width, height);
});

EM_JS(void, web_page_pointer_active, (), { Module.page.pointerActive(); });

EM_JS(void, web_page_sound, (int state), {
  Module.page.sound(['playing', 'stalled', 'silent'][state]);
});

EM_JS(void, web_player_flush, (), { Module.page.audioFlush(); });

EM_JS(void, web_page_close, (), { Module.page.close(); });

EM_JS(void, web_page_message, (const char* caption, const char* text), {
  return Asyncify.handleSleep(function(wakeUp) {
    Module.page.messageBox(UTF8ToString(caption), UTF8ToString(text)).then(function() {
      try {
        wakeUp();
      } catch (e) {
        if (!(e instanceof ExitStatus)) throw e;
      }
    });
  });
});

EM_JS(void, web_page_ended, (int code), { Module.page.ended(code); });

EM_JS(unsigned, web_page_music_start, (), { return Module.page.musicStart() >>> 0; });

EM_JS(int, web_player_open, (int rate, int channels), { return Module.page.audioOpen(rate, channels) ? 1 : 0; });

EM_JS(void, web_player_play, (), { Module.page.audioPlay(); });

// The samples are copied: the player keeps them after this returns.
EM_JS(void, web_player_push, (const int16_t* samples, int count), {
  Module.page.audioPush(HEAP16.slice(samples >> 1, (samples >> 1) + count));
});

EM_JS(void, web_player_close, (), { Module.page.audioClose(); });

// Fills out[0..5]: source frames consumed, the context time (s) up to which
// they were consumed, frames the player still held then, the context's time
// now (s), its output latency (s), 1 when the player has reported at all.
EM_JS(void, web_player_report, (double* out), {
  var r = Module.page.audioReport();
  var i = out >> 3;
  HEAPF64[i] = r.played;
  HEAPF64[i + 1] = r.time;
  HEAPF64[i + 2] = r.buffered;
  HEAPF64[i + 3] = r.now;
  HEAPF64[i + 4] = r.latency;
  HEAPF64[i + 5] = r.valid ? 1 : 0;
});

namespace platform {

namespace {

constexpr const char* kCanvas = "#canvas";
constexpr int kAudioChunkFrames = 1024;
// PCM handed to the player ahead of what it played: enough to ride over a
// slow frame or a throttled timer, small enough to stay in step.
constexpr uint64_t kAudioLeadFrames = kPcmRate / 2;
constexpr uint64_t kMicrosPerSecond = 1000000;
constexpr size_t kKeyQueueLimit = 64;
// Where the pointer rests once a finger lifts: clear of the buttons and of
// the scrolling strips.
constexpr int32_t kTouchRestX = kMouseMaxX;
constexpr int32_t kTouchRestY = kMouseStartY;

struct PlayerReport {
  double played = 0;
  double time = 0;
  double buffered = 0;
  double now = 0;
  double latency = 0;
  bool valid = false;
};

PlayerReport player_report() {
  std::array<double, 6> v{};
  web_player_report(v.data());
  PlayerReport r;
  r.played = v[0];
  r.time = v[1];
  r.buffered = v[2];
  r.now = v[3];
  r.latency = v[4];
  r.valid = v[5] != 0;
  return r;
}

// A count or time from the page as a whole non-negative number.
uint64_t whole(double v) {
  return std::isfinite(v) && v > 0 ? static_cast<uint64_t>(v) : 0;
}

class WebBackend;
WebBackend* active = nullptr;

class WebBackend : public Backend {
 public:
  WebBackend() {
    active = this;
    mouse_.pointer().move_to(kMouseStartX, kMouseStartY);
    mouse_.pointer().read_from(kMouseStartX, kMouseStartY);
  }
  ~WebBackend() override {
    audio_close();
    if (active == this) active = nullptr;
  }

  void window_open(const char* title, int width, int height) override {
    if (open_) throw ptc::DynamicError("window open: already open");
    if (width <= 0 || height <= 0) throw ptc::DynamicError("window open: bad size");
    if (emscripten_set_canvas_element_size(kCanvas, width, height) != EMSCRIPTEN_RESULT_SUCCESS) {
      throw ptc::DynamicError("window open: the page has no canvas");
    }
    web_page_open(title, width, height);
    rgba_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    width_ = width;
    height_ = height;
    open_ = true;
  }

  void window_present(const uint32_t* pixels, int width, int height) override {
    if (!open_) throw ptc::DynamicError("present: no window");
    if (width != width_ || height != height_) throw ptc::DynamicError("present: size differs from the window");
    // 0x00RRGGBB words to the canvas's R, G, B, A bytes, fully opaque.
    for (size_t i = 0; i < rgba_.size(); ++i) {
      const uint32_t p = pixels[i];
      rgba_[i] = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
    }
    pull_audio();
    while (!pacer_.due(whole(web_page_refresh() * 1000.0))) pull_audio();
    web_page_frame(reinterpret_cast<const uint8_t*>(rgba_.data()), width_, height_);
  }

  void window_close() override {
    if (!open_) return;
    open_ = false;
    mouse_.close();
    web_page_close();
  }

  void* window_handle() override { return open_ ? const_cast<char*>(kCanvas) : nullptr; }

  bool key_waiting() override { return keys_.waiting(); }

  int key_read() override { return keys_.read(); }

  int32_t mouse_open() override {
    if (!open_) return kMouseGenericError;
    mouse_.open();
    mouse_.pointer().read_from(kMouseStartX, kMouseStartY);
    if (!have_pointer_) mouse_.pointer().move_to(kMouseStartX, kMouseStartY);
    return kMouseOk;
  }

  int32_t mouse_acquire() override {
    if (!mouse_.is_open()) return kMouseNotAcquired;
    if (mouse_.buttons().acquire()) web_page_pointer_active();
    return kMouseOk;
  }

  int32_t mouse_read(MouseSample& sample) override {
    const int32_t rc = mouse_.read(sample);
    if (rc != kMouseOk) return rc;
    if (rest_after_read_) {
      rest_after_read_ = false;
      rest_pointer();
    }
    return kMouseOk;
  }

  void mouse_close() override { mouse_.close(); }

  // Without a player the music plays silently on real time.
  bool audio_open(AudioSource* source) override {
    if (source_ || !source) return false;
    silent_ = !web_player_open(kPcmRate, kPcmChannels);
    source_ = source;
    playing_ = false;
    handed_ = 0;
    clock_ms_ = 0;
    return true;
  }

  bool audio_silent() const override { return source_ && silent_; }

  // The player starts counting from here; the first PCM goes out at once.
  void audio_play() override {
    if (!source_ || playing_) return;
    playing_ = true;
    handed_ = 0;
    clock_ms_ = 0;
    started_ms_ = time_ms();
    if (silent_) return;
    web_player_play();
    pull_audio();
  }

  uint64_t time_ms() override { return whole(emscripten_get_now()); }

  void audio_state(AudioState state) override { web_page_sound(static_cast<int>(state)); }

  // The player drops its queue; the next pull hands it PCM from the
  // source's new position.
  void audio_flush() override {
    if (!source_ || silent_) return;
    web_player_flush();
    handed_ = whole(player_report().played);
    pull_audio();
  }

  uint32_t music_start_ms() override { return web_page_music_start(); }

  uint32_t audio_clock_ms() override {
    if (!source_ || !playing_) return 0;
    if (silent_) return static_cast<uint32_t>(std::min<uint64_t>(time_ms() - started_ms_, UINT32_MAX));
    const PlayerReport r = player_report();
    SoundClockSample s;
    s.valid = r.valid;
    s.frames_before = whole(r.played);
    s.frames = whole(r.buffered);
    s.counter = whole(r.time * kMicrosPerSecond);
    uint64_t frames = sound_clock_frames(s, whole(r.now * kMicrosPerSecond), kMicrosPerSecond, kPcmRate);
    const uint64_t latency = whole(r.latency * kPcmRate);
    frames = frames > latency ? frames - latency : 0;
    const uint64_t ms = std::min<uint64_t>(frames * 1000 / kPcmRate, UINT32_MAX);
    clock_ms_ = std::max(clock_ms_, static_cast<uint32_t>(ms));
    return clock_ms_;
  }

  void audio_close() override {
    if (!source_) return;
    if (!silent_) web_player_close();
    source_ = nullptr;
    playing_ = false;
    silent_ = false;
  }

  void message_box(const char* caption, const char* text) override { web_page_message(caption, text); }

  void on_exit(int code) override {
    audio_close();
    web_page_ended(code);
  }

  // Input from the page.
  void key(int code) {
    keys_.push(code);
  }

  void pointer_at(int x, int y) {
    have_pointer_ = true;
    rest_after_read_ = false;
    mouse_.pointer().move_to(x, y);
  }

  void pointer_by(int dx, int dy) {
    have_pointer_ = true;
    mouse_.pointer().move_by(dx, dy);
  }

  void button(int b, bool down) {
    mouse_.buttons().set(b, down);
  }

  // A tap's press must be read where the finger was; the pointer rests only
  // after that read.
  void touch_lift() {
    if (mouse_.buttons().pressed_since_read()) {
      rest_after_read_ = true;
    } else {
      rest_pointer();
    }
  }

  // Tops the player up to kAudioLeadFrames ahead of what it has played.
  void pull_audio() {
    if (!source_ || !playing_ || silent_) return;
    const uint64_t played = whole(player_report().played);
    while (handed_ < played + kAudioLeadFrames) {
      source_->fill(chunk_.data(), kAudioChunkFrames);
      web_player_push(chunk_.data(), static_cast<int>(chunk_.size()));
      handed_ += kAudioChunkFrames;
    }
  }

 private:
  void rest_pointer() {
    mouse_.pointer().move_to(kTouchRestX, kTouchRestY);
  }

  bool open_ = false;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> rgba_;
  KeyQueue keys_{kKeyQueueLimit};

  MouseDevice mouse_;
  bool have_pointer_ = false;
  bool rest_after_read_ = false;

  FramePacer pacer_;

  AudioSource* source_ = nullptr;
  bool playing_ = false;
  bool silent_ = false;
  uint64_t started_ms_ = 0;
  uint64_t handed_ = 0;
  uint32_t clock_ms_ = 0;
  std::array<int16_t, kAudioChunkFrames * kPcmChannels> chunk_{};
};

}  // namespace

Backend* web_backend_create() {
  return new WebBackend();
}

}  // namespace platform

extern "C" {

EMSCRIPTEN_KEEPALIVE void web_key(int code) {
  if (platform::active) platform::active->key(code);
}

EMSCRIPTEN_KEEPALIVE void web_pointer_at(int x, int y) {
  if (platform::active) platform::active->pointer_at(x, y);
}

EMSCRIPTEN_KEEPALIVE void web_pointer_by(int dx, int dy) {
  if (platform::active) platform::active->pointer_by(dx, dy);
}

EMSCRIPTEN_KEEPALIVE void web_button(int button, int down) {
  if (platform::active) platform::active->button(button, down != 0);
}

EMSCRIPTEN_KEEPALIVE void web_touch_lift() {
  if (platform::active) platform::active->touch_lift();
}

EMSCRIPTEN_KEEPALIVE void web_audio_pull() {
  if (platform::active) platform::active->pull_audio();
}

EMSCRIPTEN_KEEPALIVE unsigned web_music_clock_ms() {
  return platform::active ? platform::active->audio_clock_ms() : 0;
}

}
