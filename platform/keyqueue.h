// keyqueue: the backends' keyboard queue, one code per key press (27 = Esc),
// read oldest first. A queue made with a limit drops the presses that come
// while it is full; without one it grows as needed.
#pragma once

#include <cstddef>
#include <deque>

namespace platform {

class KeyQueue {
 public:
  KeyQueue() = default;
  explicit KeyQueue(size_t limit) : limit_(limit) {}

  void push(int code);
  bool waiting() const { return !codes_.empty(); }
  // The oldest code, or 0 when none is waiting.
  int read();

 private:
  std::deque<int> codes_;
  size_t limit_ = 0;  // 0: no limit
};

}  // namespace platform
