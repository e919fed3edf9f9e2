// The memory pool: accounting, zeroing, release checks, log lines, limits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/meminfo.h"
#include "resources/log.h"
#include "resources/mempool.h"

// The sanitizer build lets an allocation that cannot be served return null,
// as the plain heap does, instead of ending the test program.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace {

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_pool_ = g_pool;
    g_pool = mempool_create();
    char dir[] = "/tmp/velmora_pool_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    log_path_ = std::string(dir) + "/log.txt";
    log_enable(g_log, log_path_.c_str());
  }
  void TearDown() override {
    log_enable(g_log, nullptr);
    mempool_destroy(g_pool);
    g_pool = saved_pool_;
  }
  std::string log_text() const {
    std::ifstream in(log_path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void clear_log() const { std::ofstream(log_path_, std::ios::trunc); }

  mempool* saved_pool_ = nullptr;
  std::string log_path_;
};

// 3 GiB: more than the limited address space below can hold.
constexpr uint32_t kOutOfReach = 3u << 30;
constexpr uint64_t kAddressSpaceRoom = 256u << 20;

// Lets the process map only kAddressSpaceRoom bytes more than it has mapped.
void limit_address_space() {
  unsigned long long pages = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (!statm || std::fscanf(statm, "%llu", &pages) != 1) std::exit(98);
  std::fclose(statm);
  const rlim_t bytes = pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) + kAddressSpaceRoom;
  const rlimit limit{bytes, bytes};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::exit(98);
}

size_t count_of(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(PoolTest, BannerPrecedesTheFirstAllocationOnly) {
  void* a = mempool_alloc(16);
  void* b = mempool_alloc(16);
  const std::string text = log_text();
  char total[32];
  std::snprintf(total, sizeof total, "%8llu",
                static_cast<unsigned long long>(platform::memory_status_read().total_phys / 1024));
  // Title, two credit lines and an empty line, then the figures; the percent
  // sign reaches the file as text.
  const std::regex banner(
      "\nStarting smart mempool manager v\\.0\\.0\\.1 [^\n]*\\.\\.\\.\\.\n[^\n]+\n[^\n]+\n\n"
      "Startup info:\n"
      "Available memcells  :   10240\n"
      "TotalPhysicalMemory :" + std::string(total) + "  kb\n"
      "AvailPhysicalMemory :[ 0-9]{8}  kb\n"
      "Memory usage        :[ 0-9]{8}  %\n"
      "End of startup information\\.\n\n"
      "MEMPOOL : allocated       16 bytes ");
  EXPECT_TRUE(std::regex_search(text, banner, std::regex_constants::match_continuous)) << text;
  EXPECT_EQ(count_of(text, "Starting smart mempool manager"), 1u);
  EXPECT_EQ(count_of(text, "MEMPOOL : allocated       16 bytes "), 2u);
  mempool_free(a);
  mempool_free(b);
}

TEST_F(PoolTest, SizeThresholdsOfTheLogLines) {
  void* below = mempool_alloc(1048575);
  void* at = mempool_alloc(1048576);
  const std::string alloc_text = log_text();
  EXPECT_NE(alloc_text.find("MEMPOOL : allocated  1048575 bytes (id:"), std::string::npos);
  EXPECT_NE(alloc_text.find("MEMPOOL : allocated     1024 kbytes (id:"), std::string::npos);
  EXPECT_NE(alloc_text.find("MEMPOOL : current 2047 kbytes under my control\n"), std::string::npos);
  mempool_free(below);
  mempool_free(at);

  void* kb = mempool_alloc(1024);
  void* bytes = mempool_alloc(1023);
  clear_log();
  mempool_free(kb);
  mempool_free(bytes);
  const std::string text = log_text();
  EXPECT_NE(text.find("MEMPOOL : released        1 kbytes (id:"), std::string::npos);
  EXPECT_NE(text.find("MEMPOOL : released     1023 bytes (id:"), std::string::npos);
}

TEST_F(PoolTest, IdHoldsTheWholeAddress) {
  void* block = mempool_alloc(8);
  EXPECT_EQ(g_pool->cells[0].id, reinterpret_cast<uintptr_t>(block));
  char expected[64];
  std::snprintf(expected, sizeof expected, "(id:%8llx)\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
  EXPECT_NE(log_text().find(expected), std::string::npos);
  mempool_free(block);
}

TEST_F(PoolTest, BlocksComeZeroFilledInWholeWords) {
  for (int round = 0; round < 4; ++round) {
    auto* block = static_cast<uint8_t*>(mempool_alloc(4096));
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
    std::memset(block, 0xA5, 4096);
    mempool_free(block);
  }
  auto* small = static_cast<uint8_t*>(mempool_alloc(10));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(small[i], 0);
  mempool_free(small);
}

TEST_F(PoolTest, ReleaseChecks) {
  void* block = mempool_alloc(100);
  mempool_free(block);
  clear_log();
  mempool_free(block);  // twice: no longer registered
  EXPECT_EQ(g_pool->used, 0u);
  EXPECT_NE(log_text().find("MEMPOOL : panic! tried to release not an registred pointer (id:"),
            std::string::npos);

  void* kept = mempool_alloc(7);
  clear_log();
  mempool_free(nullptr);
  EXPECT_EQ(log_text(), "MEMPOOL : panic! tried to release a NULL pointer!!\n");
  EXPECT_EQ(g_pool->used, 1u);
  EXPECT_EQ(g_pool->total, 7u);
  mempool_free(kept);
}

TEST_F(PoolTest, RemovalKeepsTheOrderOfTheOthers) {
  void* a = mempool_alloc(10);
  void* b = mempool_alloc(20);
  void* c = mempool_alloc(30);
  mempool_free(b);
  ASSERT_EQ(g_pool->used, 2u);
  EXPECT_EQ(g_pool->total, 40u);
  EXPECT_EQ(g_pool->cells[0].id, reinterpret_cast<uintptr_t>(a));
  EXPECT_EQ(g_pool->cells[1].id, reinterpret_cast<uintptr_t>(c));
  EXPECT_EQ(g_pool->cells[1].size, 30u);
  mempool_free(a);
  mempool_free(c);
}

TEST_F(PoolTest, FullTableGrowsInsteadOfOverflowing) {
  log_enable(g_log, nullptr);  // ten thousand log lines are not the point here
  std::vector<void*> blocks;
  for (uint32_t i = 0; i < kPoolCells - kPoolLowCells; ++i) blocks.push_back(mempool_alloc(1));
  log_enable(g_log, log_path_.c_str());
  blocks.push_back(mempool_alloc(1));  // 20 cells free before it: no warning yet
  EXPECT_EQ(log_text().find("danger!!"), std::string::npos);
  blocks.push_back(mempool_alloc(1));  // the 10222nd block: its own cell still counts as free
  EXPECT_NE(log_text().find("MEMPOOL : danger!! low resources! 19 freecells left.\n"), std::string::npos);
  log_enable(g_log, nullptr);
  while (blocks.size() < kPoolCells + 5) blocks.push_back(mempool_alloc(1));
  EXPECT_EQ(g_pool->used, kPoolCells + 5);
  EXPECT_GE(g_pool->capacity, kPoolCells + 5);
  EXPECT_EQ(g_pool->total, kPoolCells + 5);
  for (size_t i = 0; i < blocks.size(); ++i) {
    ASSERT_EQ(g_pool->cells[i].id, reinterpret_cast<uintptr_t>(blocks[i]));
  }
  for (void* p : blocks) mempool_free(p);
  EXPECT_EQ(g_pool->used, 0u);
  EXPECT_EQ(g_pool->total, 0u);
}

// A block the heap cannot give: the "(no mem)" line, then the fatal report
// ends the process with status 1. The child limits its address space so
// that the allocation fails at once.
TEST_F(PoolTest, OutOfMemoryIsFatal) {
  void* first = mempool_alloc(4);  // the banner is written before the limit
  clear_log();
  EXPECT_EXIT(
      {
        limit_address_space();
        mempool_alloc(kOutOfReach);
        std::exit(99);
      },
      ::testing::ExitedWithCode(1), "KORAL ERROR !: mempool : Not enough memory!");
  EXPECT_EQ(log_text(),
            "MEMPOOL : tried to allocate  3145728 kb of memory but have failed (no mem)\n"
            "KORALerror->incoming error message:\n"
            "mempool : Not enough memory!\n"
            "KORALerror->end of error message:\n");
  mempool_free(first);
}

TEST_F(PoolTest, MissingPoolRefusesAndSaysSo) {
  mempool* pool = g_pool;
  g_pool = nullptr;
  EXPECT_EQ(mempool_alloc(8), nullptr);
  int dummy = 0;
  mempool_free(&dummy);
  g_pool = pool;
  EXPECT_EQ(log_text(),
            "mempool not initialized! MALLOC failed...\n"
            "mempool not initialized! FREE failed...\n");
}

}  // namespace
