// The log object and the fatal error report.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/backend.h"
#include "platform/headless.h"
#include "resources/log.h"

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/velmora_log_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    path_ = std::string(dir) + "/log.txt";
    platform::backend_install(&backend_);
  }
  void TearDown() override {
    log_enable(g_log, nullptr);
    report_returns_set(0);
    platform::backend_install(nullptr);
  }
  std::string text() const {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string path_;
  platform::HeadlessBackend backend_;
};

TEST_F(LogTest, WritesOnlyWhenNamedAndEnabledExactlyOne) {
  logfile fresh;
  log_write(&fresh, "nothing %d\n", 1);
  fresh.name = const_cast<char*>(path_.c_str());
  for (uint8_t enabled : {0, 2, 255}) {
    fresh.enabled = enabled;
    log_write(&fresh, "nothing %d\n", enabled);
  }
  EXPECT_EQ(text(), "");
  fresh.enabled = 1;
  log_write(&fresh, "now %d\n", 1);
  EXPECT_EQ(text(), "now 1\n");
}

TEST_F(LogTest, PiecesBuildOneLineAndTextStaysVerbatim) {
  log_enable(g_log, path_.c_str());
  LOGW("cfile: attempting to open file %s in mode ", "100%sure.png");
  LOGW("READ_BIN\n");
  LOGW("%s\n", "50% off %d");
  EXPECT_EQ(text(), "cfile: attempting to open file 100%sure.png in mode READ_BIN\n50% off %d\n");
}

TEST_F(LogTest, AppendsAcrossWritesAndRuns) {
  { std::ofstream(path_) << "earlier run\n"; }
  log_enable(g_log, path_.c_str());
  LOGW("later\n");
  EXPECT_EQ(text(), "earlier run\nlater\n");
}

TEST_F(LogTest, LongMessageIsCutAtTheStatedBoundWithoutOverflow) {
  log_enable(g_log, path_.c_str());
  const std::string long_text(10000, 'x');
  LOGW("%s", long_text.c_str());
  EXPECT_EQ(text(), std::string(kLogLineBytes - 1, 'x'));
  const std::string fits(3000, 'y');
  std::ofstream(path_, std::ios::trunc);
  LOGW("%s\n", fits.c_str());
  EXPECT_EQ(text(), fits + "\n");
}

TEST_F(LogTest, ErrorReportReturnsWhenAskedAndLogsThreeLines) {
  log_enable(g_log, path_.c_str());
  report_returns_set(1);
  error_report("bad thing\n");
  EXPECT_EQ(report_returns_get(), 1);
  EXPECT_EQ(text(),
            "KORALerror->incoming error message:\n"
            "bad thing\n\n"
            "KORALerror->end of error message:\n");
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0], "KORAL ERROR !: bad thing\n");
}

TEST_F(LogTest, ErrorReportEndsTheProcessWithOne) {
  EXPECT_EXIT(
      {
        error_report("mempool : Not enough memory!");
        std::exit(99);  // never reached
      },
      ::testing::ExitedWithCode(1), "KORAL ERROR !: mempool : Not enough memory!");
}

// Without a log object (its creation failed) the report still shows its box.
TEST_F(LogTest, ErrorReportWithoutALogObject) {
  logfile* const kept = g_log;
  g_log = nullptr;
  report_returns_set(1);
  error_report("no log here");
  g_log = kept;
  ASSERT_EQ(backend_.boxes().size(), 1u);
  EXPECT_EQ(backend_.boxes()[0], "KORAL ERROR !: no log here");
}

}  // namespace
