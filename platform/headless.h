// headless: the backend without a window, for tests and velmora2k-capture.
//
// Contract:
//  - window: no window; every present is counted and its pixels are kept
//    (the latest frame always; each frame is also handed to frame_hook); the
//    title and the icon are kept.
//  - clock: virtual; audio_clock_ms and time_ms read
//    floor(frames presented x 1000 / fps) whether or not audio was opened
//    (audio_clock_ms less the time of an injected stall). The music source is opened and decoded
//    by the sound layer as usual but never played.
//  - input: a script of events, each visible once FRAME frames have been
//    presented and delivered to the first key read or mouse read after that;
//    keys queue one per read, mouse motion and buttons accumulate until the
//    next read; once the mouse is acquired (the menu's first poll), a button
//    pressed since the last read reads as down even when released again
//    before it; presses before that are dropped (see pointer.h).
//  - faults: fail_mouse makes mouse_open fail with fail_mouse_code;
//    fail_sound makes audio_open fail (so the sound system cannot start);
//    no_audio_device makes it open a silent device (audio_silent), as the
//    SDL backend does on a machine without sound;
//    fail_display_at = N throws ptc::DynamicError at the N-th present
//    (1-based), before that frame is counted; stall_from_ms = A makes the
//    audio device stop playing when the virtual clock reaches A (its clock
//    stands at A) and, with stall_until_ms = B, play again from B on (its
//    clock goes on from A). Tests can also make the next
//    mouse reads or acquires fail (fail_mouse_reads, fail_mouse_acquires); a
//    failed read keeps the motion and buttons for the next good one.
//  - audio: the source handed to audio_open is kept but never pulled; tests
//    may pull it themselves through audio_source().
//  - max_frames: after that many presents the run stops: stop_hook runs and
//    the process ends with exit code 0.
//  - message boxes are not shown: each is recorded (boxes()); the text goes
//    to stderr from message_box.cpp, as with every backend.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/keyqueue.h"
#include "platform/pointer.h"

namespace platform {

struct ScriptEvent {
  enum class Kind { Key, Move, Down, Up };
  uint64_t frame = 0;
  Kind kind = Kind::Key;
  int code = 0;        // Key: the key code
  int32_t dx = 0;      // Move
  int32_t dy = 0;
  int button = 0;      // Down/Up: 0 left, 1 right
};

// Parses an input script; returns false and sets error (with the line number)
// on a malformed line.
bool script_parse(const std::string& text, std::vector<ScriptEvent>& events, std::string& error);

struct HeadlessConfig {
  double fps = 60.0;
  int64_t max_frames = -1;       // -1: no limit
  int64_t fail_display_at = -1;  // -1: never
  bool fail_mouse = false;
  int32_t fail_mouse_code = kMouseGenericError;
  bool fail_sound = false;
  bool no_audio_device = false;
  int64_t stall_from_ms = -1;   // -1: the device never stalls
  int64_t stall_until_ms = -1;  // -1: a stall never ends
  uint32_t music_start_ms = 0;  // where the music starts (Backend::music_start_ms)
  std::vector<ScriptEvent> script;
};

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(HeadlessConfig config = {});

  void window_open(const char* title, int width, int height) override;
  void window_present(const uint32_t* pixels, int width, int height) override;
  void window_close() override;
  void* window_handle() override;
  void window_icon(const uint32_t* pixels, int side) override;

  bool key_waiting() override;
  int key_read() override;

  int32_t mouse_open() override;
  int32_t mouse_acquire() override;
  int32_t mouse_read(MouseSample& sample) override;
  void mouse_close() override;

  bool audio_open(AudioSource* source) override;
  void audio_play() override;
  bool audio_silent() const override;
  uint32_t audio_clock_ms() override;
  uint32_t music_start_ms() override { return config_.music_start_ms; }
  void audio_close() override;
  void audio_flush() override { ++audio_flushes_; }
  void audio_state(AudioState state) override { audio_states_.push_back(state); }
  uint64_t time_ms() override;

  void message_box(const char* caption, const char* text) override;
  void on_exit(int code) override;

  // What the run has shown and done.
  uint64_t frames() const { return frames_; }
  const std::vector<uint32_t>& last_frame() const { return last_frame_; }
  const std::string& title() const { return title_; }
  // The window's icon as last set (0xAARRGGBB, side x side), empty before.
  const std::vector<uint32_t>& icon() const { return icon_; }
  int icon_side() const { return icon_side_; }
  bool window_is_open() const { return window_open_; }
  int windows_closed() const { return windows_closed_; }
  bool mouse_is_open() const { return mouse_.is_open(); }
  bool audio_is_open() const { return audio_open_; }
  bool audio_is_playing() const { return audio_playing_; }
  AudioSource* audio_source() const { return audio_source_; }
  int mouse_acquires() const { return mouse_acquires_; }
  int mouse_reads() const { return mouse_reads_; }
  int audio_flushes() const { return audio_flushes_; }
  const std::vector<AudioState>& audio_states() const { return audio_states_; }

  // The next count mouse reads (or acquires) return code instead.
  void fail_mouse_reads(int32_t code, int count = 1) {
    if (count > 0) read_faults_.insert(read_faults_.end(), static_cast<size_t>(count), code);
  }
  void fail_mouse_acquires(int32_t code, int count = 1) {
    if (count > 0) acquire_faults_.insert(acquire_faults_.end(), static_cast<size_t>(count), code);
  }
  const std::vector<std::string>& boxes() const { return boxes_; }

  // Called with (frame index, pixels) for every presented frame.
  std::function<void(uint64_t, const uint32_t*, int, int)> frame_hook;
  // Called with the exit code when the process ends through process_exit
  // (code) or through max_frames (stopped = true, code 0).
  std::function<void(int code, bool stopped)> exit_hook;

 private:
  void deliver_due_events();

  HeadlessConfig config_;
  uint64_t frames_ = 0;
  size_t next_event_ = 0;
  std::vector<uint32_t> last_frame_;
  std::string title_;
  std::vector<uint32_t> icon_;
  int icon_side_ = 0;
  bool window_open_ = false;
  int windows_closed_ = 0;
  bool audio_open_ = false;
  bool audio_playing_ = false;
  AudioSource* audio_source_ = nullptr;
  int mouse_acquires_ = 0;
  int mouse_reads_ = 0;
  std::deque<int32_t> read_faults_;
  std::deque<int32_t> acquire_faults_;
  KeyQueue keys_;
  MouseDevice mouse_;  // motion and presses since the last good read
  std::vector<std::string> boxes_;
  int audio_flushes_ = 0;
  std::vector<AudioState> audio_states_;
};

}  // namespace platform
