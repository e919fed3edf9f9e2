// display: the console window, off-screen surfaces, keys and the display
// error class, in namespace ptc.
//
// Format: 32-bit direct colour, red 0xFF0000, green 0xFF00, blue 0xFF, no
// alpha mask. A surface holds width x height pixels with rows exactly
// width x 4 bytes apart; it is locked only inside one drawing operation (a
// surface locked twice is a programming error). The console is the one
// window; surface copy replaces its pixels and update shows them. Every
// failing operation throws ptc::DynamicError with the platform's reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ptc {

class DynamicError {
 public:
  explicit DynamicError(std::string message) : message_(std::move(message)) {}
  const char* message() const { return message_.c_str(); }
  // Tells the user: a message box (where a window system is there) and stderr.
  void report() const;

 private:
  std::string message_;
};

class Format {
 public:
  Format(int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a);
  int bits() const { return bits_; }
  uint32_t r() const { return r_; }
  uint32_t g() const { return g_; }
  uint32_t b() const { return b_; }
  uint32_t a() const { return a_; }

 private:
  int bits_;
  uint32_t r_, g_, b_, a_;
};

class Key {
 public:
  explicit Key(int code = 0) : code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

class Console;

class Surface {
 public:
  Surface(int width, int height, const Format& format);
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  void* lock();
  void unlock();
  int width() const { return width_; }
  int height() const { return height_; }
  bool locked() const { return locked_; }
  // Replaces the console's pixels with the first console-sized block of this surface.
  void copy(Console& console);

 private:
  int width_;
  int height_;
  bool locked_ = false;
  std::vector<uint32_t> pixels_;
};

class Console {
 public:
  Console() = default;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;
  ~Console();

  void open(const char* title, int width, int height, const Format& format, int pages);
  void close();
  bool is_open() const { return open_; }
  // The window's icon: side x side pixels 0xAARRGGBB (the only surface
  // format with alpha), rows from the top.
  void icon(const uint32_t* pixels, int side);
  void* window();
  bool key();
  Key read();
  void update();
  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t* pixels() { return pixels_.data(); }

 private:
  bool open_ = false;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

}  // namespace ptc

// The process-wide format and console. The application defines them among
// its other static objects, where their creation order is fixed.
extern ptc::Format pixfmt;
extern ptc::Console console;
