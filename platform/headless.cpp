// headless: see headless.h.
#include "platform/headless.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/display.h"

namespace platform {

namespace {

bool parse_line(const std::string& line, ScriptEvent& ev, bool& empty) {
  std::string text = line.substr(0, line.find('#'));
  std::istringstream in(text);
  std::string word;
  empty = false;
  unsigned long long frame = 0;
  if (!(in >> word)) {
    empty = true;
    return true;
  }
  char* end = nullptr;
  frame = std::strtoull(word.c_str(), &end, 10);
  if (*end != '\0' || word[0] == '-') return false;
  ev.frame = frame;
  std::string verb;
  if (!(in >> verb)) return false;
  if (verb == "key") {
    ev.kind = ScriptEvent::Kind::Key;
    if (!(in >> ev.code)) return false;
  } else if (verb == "close") {
    ev.kind = ScriptEvent::Kind::Key;
    ev.code = 27;
  } else if (verb == "move") {
    ev.kind = ScriptEvent::Kind::Move;
    if (!(in >> ev.dx >> ev.dy)) return false;
  } else if (verb == "down" || verb == "up") {
    ev.kind = verb == "down" ? ScriptEvent::Kind::Down : ScriptEvent::Kind::Up;
    std::string which;
    if (!(in >> which)) return false;
    if (which == "left") {
      ev.button = 0;
    } else if (which == "right") {
      ev.button = 1;
    } else {
      return false;
    }
  } else {
    return false;
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace

bool script_parse(const std::string& text, std::vector<ScriptEvent>& events, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  std::vector<ScriptEvent> parsed;
  while (std::getline(in, line)) {
    ++number;
    ScriptEvent ev;
    bool empty = false;
    if (!parse_line(line, ev, empty)) {
      error = "input script line " + std::to_string(number) + ": cannot read \"" + line + "\"";
      return false;
    }
    if (!empty) parsed.push_back(ev);
  }
  // Events at one frame keep their file order; frames must not go backwards.
  for (size_t i = 1; i < parsed.size(); ++i) {
    if (parsed[i].frame < parsed[i - 1].frame) {
      error = "input script: events must be in frame order";
      return false;
    }
  }
  events = std::move(parsed);
  return true;
}

HeadlessBackend::HeadlessBackend(HeadlessConfig config) : config_(std::move(config)) {}

void HeadlessBackend::window_open(const char* title, int width, int height) {
  title_ = title;
  last_frame_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
  window_open_ = true;
}

void HeadlessBackend::window_present(const uint32_t* pixels, int width, int height) {
  if (config_.fail_display_at >= 0 && static_cast<int64_t>(frames_) + 1 == config_.fail_display_at) {
    throw ptc::DynamicError("injected display failure at present " + std::to_string(frames_ + 1));
  }
  last_frame_.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height));
  if (frame_hook) frame_hook(frames_, pixels, width, height);
  ++frames_;
  if (config_.max_frames >= 0 && static_cast<int64_t>(frames_) >= config_.max_frames) {
    if (exit_hook) exit_hook(0, true);
    std::fflush(stdout);
    std::exit(0);
  }
}

void HeadlessBackend::window_close() {
  if (window_open_) ++windows_closed_;
  window_open_ = false;
}

void HeadlessBackend::window_icon(const uint32_t* pixels, int side) {
  icon_.assign(pixels, pixels + static_cast<size_t>(side) * static_cast<size_t>(side));
  icon_side_ = side;
}

void* HeadlessBackend::window_handle() {
  return this;
}

void HeadlessBackend::deliver_due_events() {
  while (next_event_ < config_.script.size() && config_.script[next_event_].frame <= frames_) {
    const ScriptEvent& ev = config_.script[next_event_++];
    switch (ev.kind) {
      case ScriptEvent::Kind::Key:
        keys_.push(ev.code);
        break;
      case ScriptEvent::Kind::Move:
        mouse_.add_counts(ev.dx, ev.dy);
        break;
      case ScriptEvent::Kind::Down:
      case ScriptEvent::Kind::Up:
        mouse_.buttons().set(ev.button, ev.kind == ScriptEvent::Kind::Down);
        break;
    }
  }
}

bool HeadlessBackend::key_waiting() {
  deliver_due_events();
  return keys_.waiting();
}

int HeadlessBackend::key_read() {
  deliver_due_events();
  return keys_.read();
}

int32_t HeadlessBackend::mouse_open() {
  if (config_.fail_mouse) return config_.fail_mouse_code;
  mouse_.open();
  return kMouseOk;
}

// Events due before the first acquire happened while nothing read the
// mouse: they are delivered first, so their presses do not count.
int32_t HeadlessBackend::mouse_acquire() {
  ++mouse_acquires_;
  if (!acquire_faults_.empty()) {
    const int32_t code = acquire_faults_.front();
    acquire_faults_.pop_front();
    return code;
  }
  if (!mouse_.is_open()) return kMouseNotAcquired;
  if (!mouse_.buttons().acquired()) deliver_due_events();
  mouse_.buttons().acquire();
  return kMouseOk;
}

int32_t HeadlessBackend::mouse_read(MouseSample& sample) {
  ++mouse_reads_;
  if (!mouse_.is_open()) return kMouseNotAcquired;
  deliver_due_events();
  if (!read_faults_.empty()) {
    const int32_t code = read_faults_.front();
    read_faults_.pop_front();
    return code;
  }
  return mouse_.read(sample);
}

void HeadlessBackend::mouse_close() {
  mouse_.close();
}

bool HeadlessBackend::audio_open(AudioSource* source) {
  if (config_.fail_sound) return false;
  audio_open_ = true;
  audio_source_ = source;
  return true;
}

void HeadlessBackend::audio_play() {
  audio_playing_ = audio_open_;
}

bool HeadlessBackend::audio_silent() const {
  return audio_open_ && config_.no_audio_device;
}

uint64_t HeadlessBackend::time_ms() {
  return static_cast<uint64_t>(std::floor(static_cast<double>(frames_) * 1000.0 / config_.fps));
}

uint32_t HeadlessBackend::audio_clock_ms() {
  const auto now = static_cast<int64_t>(time_ms());
  int64_t device = now;
  if (config_.stall_from_ms >= 0 && now >= config_.stall_from_ms) {
    const bool over = config_.stall_until_ms >= 0 && now >= config_.stall_until_ms;
    device = over ? config_.stall_from_ms + (now - config_.stall_until_ms) : config_.stall_from_ms;
  }
  return static_cast<uint32_t>(std::min<int64_t>(device, UINT32_MAX));
}

void HeadlessBackend::audio_close() {
  audio_open_ = false;
  audio_playing_ = false;
  audio_source_ = nullptr;
}

void HeadlessBackend::message_box(const char* caption, const char* text) {
  boxes_.push_back(std::string(caption) + ": " + text);
}

void HeadlessBackend::on_exit(int code) {
  if (exit_hook) exit_hook(code, false);
}

}  // namespace platform
