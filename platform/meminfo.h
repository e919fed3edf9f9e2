// meminfo: the machine's memory figures for the memory pool's banner.
#pragma once

#include <cstdint>

namespace platform {

struct MemoryStatus {
  uint64_t total_phys;    // bytes
  uint64_t avail_phys;    // bytes
  uint32_t load_percent;  // share of physical memory in use
};

MemoryStatus memory_status_read();

}  // namespace platform
