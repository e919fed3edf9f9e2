// meminfo: see meminfo.h. Read with sysinfo(2).
#include "platform/meminfo.h"

#include <sys/sysinfo.h>

namespace platform {

MemoryStatus memory_status_read() {
  MemoryStatus ms{0, 0, 0};
  struct sysinfo si {};
  if (sysinfo(&si) != 0) return ms;
  ms.total_phys = static_cast<uint64_t>(si.totalram) * si.mem_unit;
  ms.avail_phys = static_cast<uint64_t>(si.freeram + si.bufferram) * si.mem_unit;
  if (ms.total_phys > 0) {
    ms.load_percent = static_cast<uint32_t>(100 - ms.avail_phys * 100 / ms.total_phys);
  }
  return ms;
}

}  // namespace platform
