// input: see input.h.
#include "platform/input.h"

#include "platform/backend.h"
#include "platform/log.h"

int32_t mouse_x = 0;
int32_t mouse_y = 0;
uint8_t mouse_left = 0;
uint8_t mouse_right = 0;

namespace {

constexpr uint8_t kButtonDownBit = 0x80;

bool device_open = false;

void log_create_failure(int32_t result) {
  switch (result) {
    case kMouseErrInvalidParam:
      LOGW("DIERR_INVALIDPARAM\n");
      break;
    case kMouseErrOutOfMemory:
      LOGW("DIERR_OUTOFMEMORY\n");
      break;
    case kMouseErrOldVersion:
      LOGW(" DIERR_OLDDIRECTINPUTVERSION\n");
      break;
    case kMouseErrBetaVersion:
      LOGW("DIERR_BETADIRECTINPUTVERSION\n");
      break;
    default:
      break;
  }
}

// Reads one sample, acquiring the device again while it reports lost input.
int32_t read_sample(platform::MouseSample& sample) {
  platform::Backend& b = platform::backend();
  for (int tries = 0;; ++tries) {
    b.mouse_acquire();
    const int32_t rc = b.mouse_read(sample);
    if (rc != platform::kMouseInputLost) return rc;
    if (tries + 1 >= kMouseReacquireTries) return rc;
    const int32_t again = b.mouse_acquire();
    if (again < 0) return again;
  }
}

// Adds a count in 64 bits, so a huge count cannot overflow the position.
int64_t moved(int32_t position, int32_t count) {
  return static_cast<int64_t>(position) + count;
}

}  // namespace

int32_t mouse_init(void* window) {
  (void)window;  // the backend reads the mouse of its own window
  mouse_x = kMouseStartX;
  mouse_y = kMouseStartY;
  mouse_left = 0;
  mouse_right = 0;
  // Creating the input system, the device, its data format and cooperative
  // level are one step of the backend; only its failure has log lines.
  const int32_t rc = platform::backend().mouse_open();
  if (rc < 0) {
    log_create_failure(rc);
    return rc;
  }
  device_open = true;
  return 0;
}

int32_t mouse_poll() {
  if (!device_open) return 0;
  platform::MouseSample sample{};
  const int32_t rc = read_sample(sample);
  if (rc < 0) return rc;
  int64_t x = moved(mouse_x, sample.dx);
  int64_t y = moved(mouse_y, sample.dy);
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (x > kMouseMaxX) x = kMouseMaxX;
  if (y > kMouseMaxY) y = kMouseMaxY;
  mouse_x = static_cast<int32_t>(x);
  mouse_y = static_cast<int32_t>(y);
  mouse_left = (sample.buttons[0] & kButtonDownBit) ? 1 : 0;
  mouse_right = (sample.buttons[1] & kButtonDownBit) ? 1 : 0;
  return 0;
}

int32_t mouse_close() {
  if (device_open) platform::backend().mouse_close();
  device_open = false;
  return 0;
}

bool mouse_in_rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  const auto x = static_cast<uint32_t>(mouse_x);
  const auto y = static_cast<uint32_t>(mouse_y);
  return static_cast<uint32_t>(left) <= x && x <= static_cast<uint32_t>(right) &&
         static_cast<uint32_t>(top) <= y && y <= static_cast<uint32_t>(bottom);
}
