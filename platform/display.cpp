// display: see display.h. The console forwards to the installed backend.
#include "platform/display.h"

#include <cassert>
#include <cstring>

#include "platform/backend.h"
#include "platform/message_box.h"

namespace ptc {

void DynamicError::report() const {
  platform::message_box("Velmora2K invitation: display error", message_.c_str());
}

Format::Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
    : bits_(bits), r_(r), g_(g), b_(b), a_(a) {}

Surface::Surface(int width, int height, const Format& format)
    : width_(width), height_(height) {
  if (width <= 0 || height <= 0 || format.bits() != 32) {
    throw DynamicError("surface create: unsupported size or format");
  }
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
}

void* Surface::lock() {
  assert(!locked_ && "surface locked twice");
  locked_ = true;
  return pixels_.data();
}

void Surface::unlock() {
  assert(locked_ && "surface unlocked without lock");
  locked_ = false;
}

void Surface::copy(Console& console) {
  if (!console.is_open()) throw DynamicError("surface copy: console is not open");
  const size_t n = static_cast<size_t>(console.width()) * static_cast<size_t>(console.height());
  if (pixels_.size() < n) throw DynamicError("surface copy: surface smaller than the console");
  std::memcpy(console.pixels(), pixels_.data(), n * sizeof(uint32_t));
}

Console::~Console() {
  if (open_ && platform::backend_installed()) close();
}

void Console::open(const char* title, int width, int height, const Format& format, int pages) {
  (void)pages;  // one visible page; presentation is the backend's business
  if (format.bits() != 32) throw DynamicError("console open: unsupported format");
  if (open_) throw DynamicError("console open: already open");
  platform::backend().window_open(title, width, height);
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
  open_ = true;
}

void Console::close() {
  if (!open_) return;
  open_ = false;
  platform::backend().window_close();
}

void Console::icon(const uint32_t* pixels, int side) {
  if (!open_) throw DynamicError("console icon: console is not open");
  if (side <= 0) throw DynamicError("console icon: empty icon");
  platform::backend().window_icon(pixels, side);
}

void* Console::window() {
  if (!open_) throw DynamicError("console window: console is not open");
  return platform::backend().window_handle();
}

bool Console::key() {
  if (!open_) throw DynamicError("console key: console is not open");
  return platform::backend().key_waiting();
}

Key Console::read() {
  if (!open_) throw DynamicError("console read: console is not open");
  return Key(platform::backend().key_read());
}

void Console::update() {
  if (!open_) throw DynamicError("console update: console is not open");
  platform::backend().window_present(pixels_.data(), width_, height_);
}

}  // namespace ptc
