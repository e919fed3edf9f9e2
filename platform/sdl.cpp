// sdl: see sdl.h.
#include "platform/sdl.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "platform/display.h"
#include "platform/host.h"
#include "platform/input.h"
#include "platform/keyqueue.h"
#include "platform/pacer.h"
#include "platform/pointer.h"
#include "platform/soundclock.h"

namespace platform {

namespace {

// 10 ms buffers: SDL's dummy driver sleeps whole milliseconds per buffer, so a
// buffer of a whole number of milliseconds keeps its pace exact.
constexpr int kAudioBufferFrames = 441;
// The audio driver that plays nothing but consumes samples in real time.
constexpr const char* kSilentAudioDriver = "dummy";
constexpr uint64_t kMicrosPerSecond = 1000000;

// Video drivers that start without any display and show nothing.
constexpr std::array<const char*, 3> kInvisibleVideoDrivers = {"offscreen", "dummy", "evdev"};

[[noreturn]] void fail(const char* what) {
  throw ptc::DynamicError(std::string(what) + ": " + SDL_GetError());
}

bool named(const char* text, const char* name) {
  return text && std::strcmp(text, name) == 0;
}

// The user chose the video driver (SDL_VIDEODRIVER, read by SDL as a hint).
bool video_driver_named() {
  const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  return hint && hint[0] != '\0';
}

bool invisible_video_driver(const char* driver) {
  for (const char* name : kInvisibleVideoDrivers) {
    if (named(driver, name)) return true;
  }
  return false;
}

class SdlBackend : public Backend {
 public:
  ~SdlBackend() override {
    audio_close();
    shutdown_video();
  }

  void window_open(const char* title, int width, int height) override {
    start_video();
    const int scale = host_window_scale(width, height);
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width * scale,
                               height * scale, SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) fail("SDL_CreateWindow");
    SDL_SetWindowMinimumSize(window_, width / 4, height / 4);
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (!renderer_) fail("SDL_CreateRenderer");
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer_, &info) != 0) fail("SDL_GetRendererInfo");
    vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    targets_ = (info.flags & SDL_RENDERER_TARGETTEXTURE) != 0;
    max_texture_w_ = info.max_texture_width;
    max_texture_h_ = info.max_texture_height;
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                 width, height);
    if (!texture_) fail("SDL_CreateTexture");
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    width_ = width;
    height_ = height;
    pacer_ = FramePacer(display_refresh_hz());
    last_refresh_us_ = now_us();
  }

  // The frame goes out on the refresh the pacer takes: until then the last
  // frame is shown again, one refresh at a time (with vsync each present
  // waits for one); without vsync the program sleeps to the next 60 Hz tick.
  void window_present(const uint32_t* pixels, int width, int height) override {
    pump();
    if (!texture_) throw ptc::DynamicError("present: no window");
    if (width != width_ || height != height_) throw ptc::DynamicError("present: size differs from the window");
    if (vsync_) {
      while (!pacer_.due(coming_refresh_us())) show_texture();
    } else {
      sleep_us(pacer_.wait_us(now_us()));
      pacer_.shown_at(now_us());
    }
    if (SDL_UpdateTexture(texture_, nullptr, pixels, width * 4) != 0) fail("SDL_UpdateTexture");
    show_texture();
  }

  void window_close() override { shutdown_video(); }

  // SDL copies the pixels; on X11 they become _NET_WM_ICON, on Windows the
  // window's large and small icon.
  void window_icon(const uint32_t* pixels, int side) override {
    if (!window_) return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), side, side, 32,
                                                           side * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!icon) fail("SDL_CreateRGBSurfaceWithFormatFrom");
    SDL_SetWindowIcon(window_, icon);
    SDL_FreeSurface(icon);
  }

  // Draws the texture, fitted to the window, and presents it; with vsync
  // this returns at the refresh that shows it.
  void show_texture() {
    int out_w = 0, out_h = 0;
    if (SDL_GetRendererOutputSize(renderer_, &out_w, &out_h) != 0) fail("SDL_GetRendererOutputSize");
    const SDL_Rect dst = fit(out_w, out_h, width_, height_);
    SDL_Texture* shown = sharp_source(dst);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    if (SDL_RenderClear(renderer_) != 0) fail("SDL_RenderClear");
    if (SDL_RenderCopy(renderer_, shown, nullptr, &dst) != 0) fail("SDL_RenderCopy");
    SDL_RenderPresent(renderer_);
    last_refresh_us_ = now_us();
  }

  void* window_handle() override { return window_; }

  bool key_waiting() override {
    pump();
    return keys_.waiting();
  }

  int key_read() override {
    pump();
    return keys_.read();
  }

  // The pointer starts where the input layer starts it; when the system
  // pointer is already over the window, the first read moves it there.
  int32_t mouse_open() override {
    if (!window_) return kMouseGenericError;
    mouse_.open();
    mouse_.pointer().move_to(kMouseStartX, kMouseStartY);
    mouse_.pointer().read_from(kMouseStartX, kMouseStartY);
    mouse_.buttons().release();
    if (SDL_GetMouseFocus() == window_) {
      int x = 0, y = 0;
      SDL_GetMouseState(&x, &y);
      follow(x, y);
    }
    return kMouseOk;
  }

  // Presses made before the first acquire (the menu's first poll) were
  // made while nothing read the mouse: the events waiting now are taken
  // before the latch starts counting presses.
  int32_t mouse_acquire() override {
    if (!mouse_.is_open()) return kMouseNotAcquired;
    if (!mouse_.buttons().acquired()) pump();
    mouse_.buttons().acquire();
    return kMouseOk;
  }

  int32_t mouse_read(MouseSample& sample) override {
    if (mouse_.is_open()) pump();
    return mouse_.read(sample);
  }

  void mouse_close() override { mouse_.close(); }

  bool audio_open(AudioSource* source) override {
    if (device_ != 0) return false;
    // SDL's own choice of driver and device first; with no output device
    // there, its silent driver, whose clock still runs in real time.
    if (!open_audio(source, nullptr) && !open_audio(source, kSilentAudioDriver)) return false;
    silent_ = named(SDL_GetCurrentAudioDriver(), kSilentAudioDriver);
    return true;
  }

  // The device opens paused and calls back only once unpaused, so the frame
  // count, and with it the clock, starts at play.
  void audio_play() override {
    playing_ = true;
    if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
  }

  uint64_t time_ms() override { return SDL_GetTicks64(); }

  bool audio_silent() const override { return device_ != 0 && silent_; }

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
    silent_ = false;
    playing_ = false;
    if (audio_sub_) SDL_AudioQuit();
    audio_sub_ = false;
  }

  void message_box(const char* caption, const char* text) override {
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text, nullptr);
  }

 private:
  static uint64_t now_us() {
    return SDL_GetPerformanceCounter() * kMicrosPerSecond / SDL_GetPerformanceFrequency();
  }

  // Sleeps whole milliseconds, rounded up (the pacer keeps the ticks' phase,
  // so the rounding does not add up).
  static void sleep_us(uint64_t us) {
    if (us > 0) SDL_Delay(static_cast<Uint32>((us + 999) / 1000));
  }

  // The display's refresh rate as SDL reports it, 0 when unknown (the pacer
  // then learns it).
  // (The display's current mode: the window's own "display mode" is the
  // one it would take in exclusive full screen, closest to its size.)
  double display_refresh_hz() const {
    SDL_DisplayMode mode{};
    const int index = window_ ? SDL_GetWindowDisplayIndex(window_) : -1;
    if (index < 0 || SDL_GetCurrentDisplayMode(index, &mode) != 0) return 0;
    return mode.refresh_rate > 0 ? mode.refresh_rate : 0;
  }

  // When the coming refresh falls: a whole number of periods after the last
  // one seen, the first still ahead of now.
  uint64_t coming_refresh_us() const {
    const uint64_t now = now_us();
    const double hz = pacer_.refresh_hz();
    if (hz <= 0 || now <= last_refresh_us_) return now;
    const auto period = static_cast<uint64_t>(static_cast<double>(kMicrosPerSecond) / hz);
    if (period == 0) return now;
    return last_refresh_us_ + ((now - last_refresh_us_) / period + 1) * period;
  }

  // SDL tries its video drivers in turn and would end on one that shows
  // nothing (offscreen, dummy) when no display answers: the run would go on
  // unseen. Without a display the window cannot open, which is a display
  // error; a driver the user names in SDL_VIDEODRIVER is taken as asked.
  void start_video() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) fail("no usable display");
    video_ = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!video_driver_named() && invisible_video_driver(driver)) {
      shutdown_video();
      throw ptc::DynamicError("no usable display: no display answered (is DISPLAY or WAYLAND_DISPLAY set?)");
    }
    x11_ = named(driver, "x11");
  }

  // Opens the device on the named driver (null: the one SDL_AUDIODRIVER names,
  // or SDL's first that starts).
  bool open_audio(AudioSource* source, const char* driver) {
    if (SDL_AudioInit(driver) != 0) return false;
    audio_sub_ = true;
    if (open_device(source)) return true;
    audio_close();
    return false;
  }

  // Opens SDL's default output device on the running driver, paused.
  bool open_device(AudioSource* source) {
    SDL_AudioSpec want{};
    want.freq = kPcmRate;
    want.format = AUDIO_S16SYS;
    want.channels = kPcmChannels;
    want.samples = kAudioBufferFrames;
    want.callback = &SdlBackend::audio_callback;
    want.userdata = this;
    // No changes allowed: SDL converts to whatever the device really takes,
    // and the callback always sees 44.1 kHz 16-bit stereo in 441-frame buffers.
    source_ = source;
    frames_handed_ = 0;
    last_callback_ = SoundClockSample{};
    clock_.reset(kPcmRate);
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
    return device_ != 0;
  }

  // The playing device went away (unplugged): the default device, whatever
  // it is now, is opened in its place. Its clock starts again from zero,
  // which the sound layer's stall guard takes as standing still until it
  // runs; with no device left the music clock goes on silently.
  void audio_device_removed(SDL_AudioDeviceID which) {
    if (device_ == 0 || which != device_) return;
    AudioSource* source = source_;
    const bool was_playing = playing_;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    if (open_device(source) && was_playing) audio_play();
  }

  static void audio_callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlBackend*>(user);
    const int frames = len / (kPcmChannels * 2);
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

  // The largest w x h rectangle of the picture's aspect inside out_w x out_h,
  // centred.
  static SDL_Rect fit(int out_w, int out_h, int w, int h) {
    int dw = out_w;
    int dh = static_cast<int>(static_cast<int64_t>(out_w) * h / w);
    if (dh > out_h) {
      dh = out_h;
      dw = static_cast<int>(static_cast<int64_t>(out_h) * w / h);
    }
    return SDL_Rect{(out_w - dw) / 2, (out_h - dh) / 2, dw, dh};
  }

  // The texture to scale to dst. Whole multiples and sizes below 1x come from
  // the picture itself (nearest, and linear below 1x); between multiples the
  // picture is first enlarged by nearest to the next whole multiple, then
  // scaled down linearly, so pixels stay sharp and evenly sized.
  SDL_Texture* sharp_source(const SDL_Rect& dst) {
    const bool whole = dst.w % width_ == 0 && dst.h % height_ == 0;
    SDL_SetTextureScaleMode(texture_, dst.w < width_ ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    if (whole || dst.w < width_ || !targets_) return texture_;
    int factor = dst.w / width_ + 1;
    while (factor > 1 && too_big(width_ * factor, height_ * factor)) --factor;
    if (factor < 2 || !enlarged_to(factor)) return texture_;
    if (SDL_SetRenderTarget(renderer_, enlarged_) != 0) fail("SDL_SetRenderTarget");
    if (SDL_RenderCopy(renderer_, texture_, nullptr, nullptr) != 0) fail("SDL_RenderCopy");
    if (SDL_SetRenderTarget(renderer_, nullptr) != 0) fail("SDL_SetRenderTarget");
    return enlarged_;
  }

  bool too_big(int w, int h) const {
    return (max_texture_w_ > 0 && w > max_texture_w_) || (max_texture_h_ > 0 && h > max_texture_h_);
  }

  // Makes the enlarged picture's texture for factor (kept while it fits).
  bool enlarged_to(int factor) {
    if (enlarged_ && enlarged_factor_ == factor) return true;
    if (enlarged_) SDL_DestroyTexture(enlarged_);
    enlarged_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                  width_ * factor, height_ * factor);
    enlarged_factor_ = enlarged_ ? factor : 0;
    if (!enlarged_) return false;
    SDL_SetTextureBlendMode(enlarged_, SDL_BLENDMODE_NONE);
    SDL_SetTextureScaleMode(enlarged_, SDL_ScaleModeLinear);
    return true;
  }

  // Full screen is SDL's desktop full screen, which a window manager carries
  // out. On X11 without a window manager nobody does (only SDL's idea of the
  // window's size would change), so there the program moves and sizes the
  // window over the whole display itself. A window without a frame on X11
  // is taken to have no window manager.
  void toggle_fullscreen() {
    if (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) {
      SDL_SetWindowFullscreen(window_, 0);
    } else if (own_fullscreen_) {
      SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
      SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
      own_fullscreen_ = false;
    } else if (!x11_ || framed()) {
      SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
      SDL_Rect display;
      const int index = SDL_GetWindowDisplayIndex(window_);
      if (index < 0 || SDL_GetDisplayBounds(index, &display) != 0) return;
      SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
      SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
      SDL_SetWindowPosition(window_, display.x, display.y);
      SDL_SetWindowSize(window_, display.w, display.h);
      own_fullscreen_ = true;
    }
  }

  bool framed() const {
    int top = 0, left = 0, bottom = 0, right = 0;
    return SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 && (top | left | bottom | right) != 0;
  }

  void pump() {
    if (!video_) return;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
      switch (ev.type) {
        case SDL_QUIT:
          keys_.push(27);
          break;
        case SDL_KEYDOWN: {
          const SDL_Keycode sym = ev.key.keysym.sym;
          const bool alt_enter = (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (ev.key.keysym.mod & KMOD_ALT);
          if (sym == SDLK_F11 || alt_enter) {
            if (!ev.key.repeat) toggle_fullscreen();
          } else {
            keys_.push(sym == SDLK_ESCAPE ? 27 : static_cast<int>(sym));
          }
          break;
        }
        case SDL_MOUSEMOTION:
          show_cursor_outside_picture(ev.motion.x, ev.motion.y);
          if (mouse_.is_open()) follow(ev.motion.x, ev.motion.y);
          break;
        case SDL_WINDOWEVENT:
          if (ev.window.event == SDL_WINDOWEVENT_LEAVE) show_cursor(true);
          if (ev.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED || ev.window.event == SDL_WINDOWEVENT_MOVED) {
            refresh_rate_changed();
          }
          break;
        case SDL_AUDIODEVICEREMOVED:
          if (!ev.adevice.iscapture) audio_device_removed(ev.adevice.which);
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
          const int i = ev.button.button == SDL_BUTTON_LEFT ? 0 : ev.button.button == SDL_BUTTON_RIGHT ? 1 : -1;
          mouse_.buttons().set(i, ev.type == SDL_MOUSEBUTTONDOWN);
          break;
        }
        default:
          break;
      }
    }
  }

  // A window moved to another display paces by that display's rate.
  void refresh_rate_changed() {
    const double hz = display_refresh_hz();
    if (hz > 0 && hz != pacer_.refresh_hz()) pacer_ = FramePacer(hz);
  }

  // The picture's rectangle in window coordinates (the coordinates of
  // pointer events).
  SDL_Rect picture_in_window() const {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    return fit(w, h, width_, height_);
  }

  // The system pointer (x, y in window coordinates) as a position on the
  // picture.
  void follow(int x, int y) {
    const SDL_Rect r = picture_in_window();
    if (r.w <= 0 || r.h <= 0) return;
    mouse_.pointer().move_to(static_cast<int64_t>(x - r.x) * width_ / r.w, static_cast<int64_t>(y - r.y) * height_ / r.h);
  }

  // The invitation draws its own pointer on the picture; over the black
  // field around it and outside the window the system pointer shows.
  void show_cursor_outside_picture(int x, int y) {
    const SDL_Rect r = picture_in_window();
    const SDL_Point p{x, y};
    show_cursor(!SDL_PointInRect(&p, &r));
  }

  void show_cursor(bool show) {
    if (cursor_shown_ == show) return;
    SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    cursor_shown_ = show;
  }

  // The music is not the window's: it plays on until the sound system closes.
  void shutdown_video() {
    if (enlarged_) SDL_DestroyTexture(enlarged_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    enlarged_ = nullptr;
    enlarged_factor_ = 0;
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    video_ = false;
    mouse_.close();
    own_fullscreen_ = false;
    cursor_shown_ = true;
  }

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Texture* enlarged_ = nullptr;
  int enlarged_factor_ = 0;
  bool video_ = false;
  bool x11_ = false;
  bool vsync_ = false;
  bool targets_ = false;
  int max_texture_w_ = 0;
  int max_texture_h_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool own_fullscreen_ = false;  // full screen made by the program itself
  SDL_Rect windowed_{};
  bool cursor_shown_ = true;
  FramePacer pacer_;
  uint64_t last_refresh_us_ = 0;  // when the last present returned
  KeyQueue keys_;
  MouseDevice mouse_;

  bool audio_sub_ = false;
  bool silent_ = false;
  bool playing_ = false;
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
