// The memory pool: accounting, zeroing, release checks, log lines, limits.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "resources/log.h"
#include "resources/mempool.h"

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

size_t count_of(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(PoolTest, BannerPrecedesTheFirstAllocationOnly) {
  void* a = mempool_alloc(16);
  void* b = mempool_alloc(16);
  const std::string text = log_text();
  EXPECT_EQ(count_of(text, "Starting smart mempool manager v.0.0.1"), 1u);
  EXPECT_NE(text.find("Available memcells  :   10240\n"), std::string::npos);
  EXPECT_NE(text.find("End of startup information.\n\n"), std::string::npos);
  EXPECT_LT(text.find("End of startup information."), text.find("MEMPOOL : allocated"));
  EXPECT_EQ(count_of(text, "MEMPOOL : allocated       16 bytes "), 2u);
  EXPECT_NE(text.find(" %\n"), std::string::npos);  // the percent sign reaches the file as text
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
