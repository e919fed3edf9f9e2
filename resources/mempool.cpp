// mempool: see mempool.h.
#include "resources/mempool.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/meminfo.h"
#include "resources/log.h"

namespace {

void write_banner() {
  const platform::MemoryStatus ms = platform::memory_status_read();
  if (!g_log) return;
  log_write(g_log, "\nStarting smart mempool manager v.0.0.1 by the Velmora2K crew....\n");
  log_write(g_log, "Keeps count of every large block the invitation holds.\n"
                   "Blocks come zero-filled; running out of memory is fatal.\n\n");
  log_write(g_log, "Startup info:\n");
  log_write(g_log, "Available memcells  :%8d\n", static_cast<int>(g_pool->capacity));
  log_write(g_log, "TotalPhysicalMemory :%8llu ", static_cast<unsigned long long>(ms.total_phys / 1024));
  log_write(g_log, " kb\n");
  log_write(g_log, "AvailPhysicalMemory :%8llu ", static_cast<unsigned long long>(ms.avail_phys / 1024));
  log_write(g_log, " kb\n");
  log_write(g_log, "Memory usage        :%8u ", ms.load_percent);
  log_write(g_log, " %%\n");
  log_write(g_log, "End of startup information.\n\n");
}

// Grows the cell table by kPoolCells; a failure is fatal like any other
// allocation failure.
void grow_cells(mempool* pool) {
  const uint32_t capacity = pool->capacity + kPoolCells;
  auto* cells = static_cast<memcell*>(std::realloc(pool->cells, sizeof(memcell) * capacity));
  if (!cells) error_report("mempool : Not enough memory!");
  for (uint32_t i = pool->capacity; i < capacity; ++i) cells[i] = memcell{0, 0};
  pool->cells = cells;
  pool->capacity = capacity;
  LOGW("MEMPOOL : cell table grown to %u cells\n", capacity);
}

}  // namespace

mempool* mempool_create() {
  auto* pool = new (std::nothrow) mempool();
  if (!pool) return nullptr;
  pool->cells = static_cast<memcell*>(std::calloc(kPoolCells, sizeof(memcell)));
  pool->capacity = pool->cells ? kPoolCells : 0;
  pool->used = 0;
  pool->total = 0;
  pool->announced = 0;
  return pool;
}

void mempool_destroy(mempool* pool) {
  if (!pool) return;
  std::free(pool->cells);
  delete pool;
}

void* mempool_alloc(uint32_t size) {
  mempool* pool = g_pool;
  if (!pool) {
    LOGW("mempool not initialized! MALLOC failed...\n");
    return nullptr;
  }
  if (!pool->announced) {
    write_banner();
    pool->announced = 1;
  }
  // malloc(0) may return null; a zero-byte block still needs its own address.
  void* block = std::malloc(size ? size : 1);
  if (!block) {
    LOGW("MEMPOOL : tried to allocate %8d kb of memory but have failed (no mem)\n",
         static_cast<int>(size / 1024));
    error_report("mempool : Not enough memory!");
    return nullptr;  // reached only while report_returns is set
  }
  if (pool->used == pool->capacity) grow_cells(pool);
  pool->cells[pool->used] = memcell{size, reinterpret_cast<uintptr_t>(block)};
  pool->total += size;
  if (size / 1024 >= 1024) {
    LOGW("MEMPOOL : allocated %8d kbytes ", static_cast<int>(size / 1024));
  } else {
    LOGW("MEMPOOL : allocated %8d bytes ", static_cast<int>(size));
  }
  LOGW("(id:%8" PRIxPTR ")\n", reinterpret_cast<uintptr_t>(block));
  LOGW("MEMPOOL : current %d kbytes under my control\n", static_cast<int>(pool->total / 1024));
  const uint32_t free_cells = pool->capacity - pool->used;
  if (free_cells < kPoolLowCells) {
    LOGW("MEMPOOL : danger!! low resources! %d freecells left.\n", static_cast<int>(free_cells));
  }
  // Whole 32-bit words: the last size % 4 bytes keep what the heap gave.
  std::memset(block, 0, size / 4 * 4);
  pool->used += 1;
  return block;
}

void mempool_free(void* block) {
  mempool* pool = g_pool;
  if (!pool) {
    LOGW("mempool not initialized! FREE failed...\n");
    return;
  }
  const auto id = reinterpret_cast<uintptr_t>(block);
  if (!block) {
    LOGW("MEMPOOL : panic! tried to release a NULL pointer!!\n");
    return;
  }
  uint32_t at = 0;
  while (at < pool->used && pool->cells[at].id != id) ++at;
  if (at == pool->used) {
    LOGW("MEMPOOL : panic! tried to release not an registred pointer ");
    LOGW("(id:%8" PRIxPTR ")\n", id);
    return;
  }
  const uint32_t size = pool->cells[at].size;
  if (size >= 1024) {
    LOGW("MEMPOOL : released %8d kbytes ", static_cast<int>(size / 1024));
  } else {
    LOGW("MEMPOOL : released %8d bytes ", static_cast<int>(size));
  }
  LOGW("(id:%8" PRIxPTR ")\n", id);
  pool->total -= size;
  std::free(block);
  for (uint32_t i = at + 1; i < pool->used; ++i) pool->cells[i - 1] = pool->cells[i];
  pool->used -= 1;
  pool->cells[pool->used] = memcell{0, 0};
}
