// keyqueue: see keyqueue.h.
#include "platform/keyqueue.h"

namespace platform {

void KeyQueue::push(int code) {
  if (limit_ != 0 && codes_.size() >= limit_) return;
  codes_.push_back(code);
}

int KeyQueue::read() {
  if (codes_.empty()) return 0;
  const int code = codes_.front();
  codes_.pop_front();
  return code;
}

}  // namespace platform
