// sdl: see sdl.h.
#include "platform/sdl.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <string>

#include "platform/display.h"
#include "platform/soundclock.h"

namespace platform {

namespace {

constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;
// 10 ms buffers: SDL's dummy driver sleeps whole milliseconds per buffer, so a
// buffer of a whole number of milliseconds keeps its pace exact.
constexpr int kAudioBufferFrames = 441;
constexpr Uint32 kPaceMs = 1000 / 60;
constexpr uint8_t kButtonDown = 0x80;

[[noreturn]] void fail(const char* what) {
  throw ptc::DynamicError(std::string(what) + ": " + SDL_GetError());
}

class SdlBackend : public Backend {
 public:
  ~SdlBackend() override {
    audio_close();
    shutdown_video();
  }

  void window_open(const char* title, int width, int height) override {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) fail("SDL_Init");
    video_ = true;
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                               SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) fail("SDL_CreateWindow");
    SDL_SetWindowMinimumSize(window_, width / 4, height / 4);
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) fail("SDL_CreateRenderer");
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer_, &info) != 0) fail("SDL_GetRendererInfo");
    vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
    if (!texture_) fail("SDL_CreateTexture");
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    width_ = width;
    height_ = height;
    SDL_ShowCursor(SDL_DISABLE);
    last_present_ = SDL_GetTicks();
  }

  void window_present(const uint32_t* pixels, int width, int height) override {
    pump();
    if (!texture_) throw ptc::DynamicError("present: no window");
    if (SDL_UpdateTexture(texture_, nullptr, pixels, width * 4) != 0) fail("SDL_UpdateTexture");
    int out_w = 0, out_h = 0;
    if (SDL_GetRendererOutputSize(renderer_, &out_w, &out_h) != 0) fail("SDL_GetRendererOutputSize");
    SDL_Rect dst = fit(out_w, out_h, width, height);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (SDL_RenderClear(renderer_) != 0) fail("SDL_RenderClear");
    if (SDL_RenderCopy(renderer_, texture_, nullptr, &dst) != 0) fail("SDL_RenderCopy");
    SDL_RenderPresent(renderer_);
    if (!vsync_) {
      const Uint32 spent = SDL_GetTicks() - last_present_;
      if (spent < kPaceMs) SDL_Delay(kPaceMs - spent);
    }
    last_present_ = SDL_GetTicks();
  }

  void window_close() override { shutdown_video(); }

  void* window_handle() override { return window_; }

  bool key_waiting() override {
    pump();
    return !keys_.empty();
  }

  int key_read() override {
    pump();
    if (keys_.empty()) return 0;
    const int code = keys_.front();
    keys_.pop_front();
    return code;
  }

  int32_t mouse_open() override {
    if (!window_) return kMouseGenericError;
    mouse_open_ = true;
    want_relative_ = true;
    return kMouseOk;
  }

  int32_t mouse_acquire() override {
    if (!mouse_open_) return kMouseNotAcquired;
    if (want_relative_ && has_focus()) {
      relative_ = SDL_SetRelativeMouseMode(SDL_TRUE) == 0;
      want_relative_ = false;
      have_abs_ = false;
    }
    return kMouseOk;
  }

  int32_t mouse_read(MouseSample& sample) override {
    if (!mouse_open_) return kMouseNotAcquired;
    pump();
    sample = MouseSample{dx_, dy_, 0, {buttons_[0], buttons_[1], 0, 0}};
    dx_ = dy_ = 0;
    return kMouseOk;
  }

  void mouse_close() override {
    if (mouse_open_ && video_) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouse_open_ = false;
    relative_ = false;
  }

  bool audio_open(AudioSource* source) override {
    if (device_ != 0) return false;
    if (!audio_sub_) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
      audio_sub_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_S16SYS;
    want.channels = kAudioChannels;
    want.samples = kAudioBufferFrames;
    want.callback = &SdlBackend::audio_callback;
    want.userdata = this;
    // No changes allowed: SDL converts to whatever the device really takes,
    // and the callback always sees 44.1 kHz 16-bit stereo in 441-frame buffers.
    source_ = source;
    frames_handed_ = 0;
    last_callback_ = SoundClockSample{};
    clock_.reset(kAudioRate);
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    if (device_ == 0) {
      source_ = nullptr;
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      audio_sub_ = false;
      return false;
    }
    return true;
  }

  // The device opens paused and calls back only once unpaused, so the frame
  // count, and with it the clock, starts at play.
  void audio_play() override {
    if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
  }

  uint32_t audio_clock_ms() override {
    if (device_ == 0) return 0;
    SDL_LockAudioDevice(device_);
    const SoundClockSample s = last_callback_;
    SDL_UnlockAudioDevice(device_);
    return clock_.read(s, SDL_GetPerformanceCounter(), SDL_GetPerformanceFrequency());
  }

  void audio_close() override {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    source_ = nullptr;
    if (audio_sub_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_sub_ = false;
  }

  void message_box(const char* caption, const char* text) override {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
  }

 private:
  static void audio_callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlBackend*>(user);
    const int frames = len / (kAudioChannels * 2);
    if (self->source_) {
      self->source_->fill(reinterpret_cast<int16_t*>(stream), frames);
    } else {
      std::memset(stream, 0, static_cast<size_t>(len));
    }
    // The device lock is held around the callback, so the reader sees the
    // pair (frames handed out, time) whole.
    self->last_callback_.frames_before = self->frames_handed_;
    self->last_callback_.frames = static_cast<uint64_t>(frames);
    self->last_callback_.counter = SDL_GetPerformanceCounter();
    self->last_callback_.valid = true;
    self->frames_handed_ += static_cast<uint64_t>(frames);
  }

  bool has_focus() const {
    return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }

  static SDL_Rect fit(int out_w, int out_h, int w, int h) {
    double scale = std::min(static_cast<double>(out_w) / w, static_cast<double>(out_h) / h);
    if (scale >= 1.0) scale = static_cast<int>(scale);
    const int dw = static_cast<int>(w * scale);
    const int dh = static_cast<int>(h * scale);
    return SDL_Rect{(out_w - dw) / 2, (out_h - dh) / 2, dw, dh};
  }

  void toggle_fullscreen() {
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
  }

  void pump() {
    if (!video_) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
      switch (ev.type) {
        case SDL_QUIT:
          keys_.push_back(27);
          break;
        case SDL_KEYDOWN: {
          const SDL_Keycode sym = ev.key.keysym.sym;
          const bool alt_enter = (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (ev.key.keysym.mod & KMOD_ALT);
          if (sym == SDLK_F11 || alt_enter) {
            if (!ev.key.repeat) toggle_fullscreen();
          } else {
            keys_.push_back(sym == SDLK_ESCAPE ? 27 : static_cast<int>(sym));
          }
          break;
        }
        case SDL_WINDOWEVENT:
          if (ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            if (relative_) SDL_SetRelativeMouseMode(SDL_FALSE);
            relative_ = false;
            want_relative_ = mouse_open_;
            have_abs_ = false;
          } else if (ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            want_relative_ = mouse_open_;
          } else if (ev.window.event == SDL_WINDOWEVENT_ENTER || ev.window.event == SDL_WINDOWEVENT_LEAVE) {
            // The pointer crossed the window's edge: its next absolute
            // position is a new start, not a motion.
            have_abs_ = false;
          }
          break;
        case SDL_MOUSEMOTION:
          if (mouse_open_) {
            if (relative_) {
              dx_ += ev.motion.xrel;
              dy_ += ev.motion.yrel;
            } else {
              absolute_motion(ev.motion.x, ev.motion.y);
            }
          }
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          const uint8_t state = ev.type == SDL_MOUSEBUTTONDOWN ? kButtonDown : 0;
          if (ev.button.button == SDL_BUTTON_LEFT) buttons_[0] = state;
          if (ev.button.button == SDL_BUTTON_RIGHT) buttons_[1] = state;
          break;
        }
        default:
          break;
      }
    }
  }

  // Without relative mode the counts are the change of the absolute position,
  // in window pixels mapped back to the 640 x 480 picture.
  void absolute_motion(int x, int y) {
    int out_w = 0, out_h = 0;
    SDL_GetWindowSize(window_, &out_w, &out_h);
    const SDL_Rect r = fit(out_w, out_h, width_, height_);
    const int px = r.w > 0 ? (x - r.x) * width_ / r.w : x;
    const int py = r.h > 0 ? (y - r.y) * height_ / r.h : y;
    if (have_abs_) {
      dx_ += px - abs_x_;
      dy_ += py - abs_y_;
    }
    abs_x_ = px;
    abs_y_ = py;
    have_abs_ = true;
  }

  // The music is not the window's: it plays on until the sound system closes.
  void shutdown_video() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    video_ = false;
    mouse_open_ = false;
    relative_ = false;
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool video_ = false;
  bool vsync_ = false;
  int width_ = 0;
  int height_ = 0;
  Uint32 last_present_ = 0;
  std::deque<int> keys_;

  bool mouse_open_ = false;
  bool relative_ = false;
  bool want_relative_ = false;
  int32_t dx_ = 0;
  int32_t dy_ = 0;
  uint8_t buttons_[2] = {0, 0};
  bool have_abs_ = false;
  int abs_x_ = 0;
  int abs_y_ = 0;

  bool audio_sub_ = false;
  SDL_AudioDeviceID device_ = 0;
  AudioSource* source_ = nullptr;
  uint64_t frames_handed_ = 0;
  SoundClockSample last_callback_{};
  SoundClock clock_;
};

}  // namespace

Backend* sdl_backend_create() {
  return new SdlBackend();
}

}  // namespace platform
