// The entry routine's exit codes and the order of shutdown, through the
// headless backend. Each run goes in a child process: the child encodes the
// exit code and whether shutdown closed the console as (code * 10 + windows
// closed).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/driver.h"
#include "gfx2d/surfaces.h"
#include "platform/headless.h"
#include "platform/sound.h"

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

// Notes each device the run releases, with whether the picture surfaces
// still exist at that moment.
class ReleaseOrder : public platform::HeadlessBackend {
 public:
  using HeadlessBackend::HeadlessBackend;
  void audio_close() override {
    note("sound system");
    HeadlessBackend::audio_close();
  }
  void mouse_close() override {
    note("mouse");
    HeadlessBackend::mouse_close();
  }
  void window_close() override {
    note("console");
    HeadlessBackend::window_close();
  }
  std::string order;

 private:
  void note(const char* what) {
    const bool pictures = surface_list.count > 0 && surface_list.entries[0] != nullptr;
    order += std::string(what) + (pictures ? " (pictures kept), " : " (pictures gone), ");
  }
};

// Shutdown closes the music stream, then the sound system (closing the stream
// first is what lets it succeed), releases the mouse, destroys the picture
// surfaces and closes the console last.
TEST(Shutdown, ReleasesInItsOrder) {
  EXPECT_EXIT(
      {
        if (chdir(VELMORA_BIN_DIR) != 0) std::exit(99);
        auto* hb = new ReleaseOrder(with_script("0 key 27\n"));
        platform::backend_install(hb);
        const int code = entry_routine();
        std::fprintf(stderr, "%sstream closed: %s, exit %d\n", hb->order.c_str(),
                     FSOUND_GetError() == kSoundErrNone ? "yes" : "no", code);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0),
      "sound system \\(pictures kept\\), mouse \\(pictures kept\\), console \\(pictures gone\\), "
      "stream closed: yes, exit 0\n");
}

}  // namespace
