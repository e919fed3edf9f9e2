// meminfo: see meminfo.h. The browser build's variant: a WebAssembly program
// sees only its own linear memory, so the figures are those of the heap (its
// largest size as physical memory, the part not yet grown into as available).
#include "platform/meminfo.h"

#include <emscripten/heap.h>

namespace platform {

MemoryStatus memory_status_read() {
  MemoryStatus ms{0, 0, 0};
  ms.total_phys = emscripten_get_heap_max();
  const uint64_t used = emscripten_get_heap_size();
  ms.avail_phys = used < ms.total_phys ? ms.total_phys - used : 0;
  if (ms.total_phys > 0) {
    ms.load_percent = static_cast<uint32_t>(100 - ms.avail_phys * 100 / ms.total_phys);
  }
  return ms;
}

}  // namespace platform
