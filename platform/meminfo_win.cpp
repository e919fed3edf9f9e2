// meminfo: see meminfo.h. Windows: GlobalMemoryStatusEx.
#include "platform/meminfo.h"

#include <windows.h>

namespace platform {

MemoryStatus memory_status_read() {
  MemoryStatus ms{0, 0, 0};
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return ms;
  ms.total_phys = status.ullTotalPhys;
  ms.avail_phys = status.ullAvailPhys;
  ms.load_percent = status.dwMemoryLoad;
  return ms;
}

}  // namespace platform
