// backend: the one narrow interface through which platform/ reaches the outside.
//
// Three implementations exist: the SDL backend (a real window, keyboard,
// mouse, audio device and message box; used by velmora2k on the desktop), the
// web backend (the page's canvas, input and Web Audio player; used by the
// browser build) and the headless backend (frames kept in memory, a virtual
// clock, scripted input, injectable faults; used by the tests and
// velmora2k-capture). Each executable's main installs one; code outside
// platform/ never knows which one runs.
//
// Failures of the window operations throw ptc::DynamicError.
#pragma once

#include <cstdint>

namespace platform {

// One read of the mouse in the standard relative format: three relative axes
// and four button bytes, a button being down when bit 7 of its byte is set.
struct MouseSample {
  int32_t dx;
  int32_t dy;
  int32_t dz;
  uint8_t buttons[4];
};

// Result codes of the mouse device (negative: failure).
constexpr int32_t kMouseOk = 0;
constexpr int32_t kMouseInputLost = static_cast<int32_t>(0x8007001Eu);
constexpr int32_t kMouseNotAcquired = static_cast<int32_t>(0x8007000Cu);
constexpr int32_t kMouseGenericError = static_cast<int32_t>(0x80004005u);

// The one PCM format of the music, from the decoder to the device:
// interleaved signed 16-bit frames of kPcmChannels samples, kPcmRate a second.
constexpr int kPcmRate = 44100;
constexpr int kPcmChannels = 2;

// Source of the music: fills frames of the PCM format above.
// The SDL backend calls it from its audio thread.
class AudioSource {
 public:
  virtual ~AudioSource() = default;
  virtual void fill(int16_t* frames, int count) = 0;
};

// What the music is doing, as the user should be told.
enum class AudioState {
  Playing,  // sound plays
  Stalled,  // the device stopped playing; the music clock goes on silently
  Silent,   // no output device: the music clock runs silently
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Window: open with a title and a logical size, show a width x height block
  // of 0x00RRGGBB pixels, close. window_handle is an opaque native handle.
  virtual void window_open(const char* title, int width, int height) = 0;
  virtual void window_present(const uint32_t* pixels, int width, int height) = 0;
  virtual void window_close() = 0;
  virtual void* window_handle() = 0;
  // The open window's icon: side x side pixels 0xAARRGGBB, rows from the
  // top. A backend whose window has no icon of its own ignores it.
  virtual void window_icon(const uint32_t* pixels, int side) { (void)pixels, (void)side; }

  // Keyboard queue: one code per key press (27 = Esc; the window's close
  // button queues 27). key_waiting never blocks.
  virtual bool key_waiting() = 0;
  virtual int key_read() = 0;

  // Mouse device: open (0 or a negative result code), acquire, read, release.
  // A read hands out the motion since the last read and the button bytes. A
  // button pressed at any time since the last read reads as down, even when
  // it was released again before the read (short clicks and touchpad taps
  // count); its release shows at the next read.
  virtual int32_t mouse_open() = 0;
  virtual int32_t mouse_acquire() = 0;
  virtual int32_t mouse_read(MouseSample& sample) = 0;
  virtual void mouse_close() = 0;

  // Audio: open the device, paused, for source (false when it cannot open);
  // audio_play starts it pulling; the clock is the time played since play
  // started, in milliseconds.
  virtual bool audio_open(AudioSource* source) = 0;
  virtual void audio_play() {}
  // True when no audio output device exists and the open device plays
  // silently on a clock that still advances in real time.
  virtual bool audio_silent() const { return false; }
  virtual uint32_t audio_clock_ms() = 0;
  // Where the music starts when it is played, in milliseconds into it: 0,
  // or the moment a preview of the run is asked to begin at (the studio's
  // preview goes straight to the menu). The music clock counts on from it.
  virtual uint32_t music_start_ms() { return 0; }
  virtual void audio_close() = 0;
  // Drops what the device has queued but not played (the source has moved
  // to a new position and should be heard from there at once).
  virtual void audio_flush() {}
  // The music's state changed; a backend with a place to show it does.
  virtual void audio_state(AudioState state) { (void)state; }
  // The time against which a stalled device is measured, in milliseconds:
  // real time, or the headless backend's virtual clock.
  virtual uint64_t time_ms() = 0;

  virtual void message_box(const char* caption, const char* text) = 0;

  // Called by process_exit just before the process ends.
  virtual void on_exit(int code) { (void)code; }
};

// Installs the backend for the rest of the run (a second install replaces it;
// tests install a fresh headless backend per test).
void backend_install(Backend* backend);
// The installed backend; asserts that one is installed.
Backend& backend();
// The installed backend, or null.
Backend* backend_installed();

}  // namespace platform
