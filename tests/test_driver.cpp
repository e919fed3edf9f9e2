// The entry routine's exit codes through the headless backend. Each run goes
// in a child process: the child encodes the exit code and whether shutdown
// closed the console as (code * 10 + windows closed).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "app/driver.h"
#include "platform/headless.h"

namespace {

[[noreturn]] void run_and_encode(platform::HeadlessConfig config) {
  if (chdir(VELMORA_BIN_DIR) != 0) std::exit(99);
  auto* hb = new platform::HeadlessBackend(std::move(config));
  platform::backend_install(hb);
  const int code = entry_routine();
  std::exit(code * 10 + hb->windows_closed());
}

platform::HeadlessConfig with_script(const char* text) {
  platform::HeadlessConfig config;
  std::string error;
  EXPECT_TRUE(platform::script_parse(text, config.script, error)) << error;
  return config;
}

TEST(ExitCodes, DisplayErrorEndsWithOneWithoutShutdown) {
  platform::HeadlessConfig config;
  config.fail_display_at = 1;
  EXPECT_EXIT(run_and_encode(config), ::testing::ExitedWithCode(10), "injected display failure");
}

TEST(ExitCodes, EscEndsWithZeroAfterShutdown) {
  EXPECT_EXIT(run_and_encode(with_script("0 key 27\n")), ::testing::ExitedWithCode(1), "");
}

TEST(ExitCodes, CloseButtonIsEsc) {
  EXPECT_EXIT(run_and_encode(with_script("0 key 65\n0 close\n")), ::testing::ExitedWithCode(1), "");
}

}  // namespace
