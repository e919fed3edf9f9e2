// mempool: the accounting allocator for large and long-lived blocks.
//
// Each block comes from the general heap; the pool keeps one cell per live
// block (size and address, in allocation order), a running total, and writes
// a log line for every allocation and release. New blocks are zero-filled in
// whole 32-bit words (the last size % 4 bytes are not cleared). Running out of
// memory is fatal (error_report). The cell table starts with kPoolCells cells
// and grows by kPoolCells whenever it is full, so no allocation writes past it.
#pragma once

#include <cstdint>

constexpr uint32_t kPoolCells = 10240;
// A warning is logged for each allocation while fewer cells than this are free.
constexpr uint32_t kPoolLowCells = 20;

struct memcell {
  uint32_t size;  // the block's size in bytes, as requested
  uintptr_t id;   // the block's address
};

struct mempool {
  memcell* cells;
  uint32_t used;
  uint32_t capacity;
  uint32_t total;
  uint8_t announced;
};

// The process-wide pool (created by static initialisation; may be null).
extern mempool* g_pool;

mempool* mempool_create();
void mempool_destroy(mempool* pool);  // for tests: frees the table and the object

void* mempool_alloc(uint32_t size);
void mempool_free(void* block);
