// The menu's frame cost and the capture tool's speed.
//
// MenuPass/*: one menu pass without its present, after a real loading of the
// shipped data (run from the folder holding pak.pak and qtn.mp3): the menu
// state with the turning blob, and the cross-fade state.
// CaptureSpeed: velmora2k-capture renders the first 60 seconds at 60 frames a
// second without saving frames; the counter "x_realtime" is how many times
// faster than real time that ran.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/driver.h"
#include "app/menu.h"
#include "app/stages.h"
#include "gfx2d/pixel.h"
#include "gfx2d/surfaces.h"
#include "platform/display.h"
#include "platform/headless.h"

namespace {

bool loaded = false;

void load_once() {
  if (loaded) return;
  if (chdir(VELMORA_BIN_DIR) != 0) std::abort();
  platform::backend_install(new platform::HeadlessBackend());
  loading_open_archive();
  console.open(kWindowTitle, kScreenWidth, kScreenHeight, pixfmt, 0);
  screen = new ptc::Surface(kScreenWidth, kScreenHeight, pixfmt);
  target = new ptc::Surface(kScreenWidth, kScreenHeight, pixfmt);
  if (!loading_sequence()) std::abort();
  loaded = true;
}

void MenuPass_Menu(benchmark::State& state) {
  load_once();
  main_state = kStateMenu;
  for (auto _ : state) {
    menu_compose();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(MenuPass_Menu)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void MenuPass_CrossFade(benchmark::State& state) {
  load_once();
  for (auto _ : state) {
    main_state = kStateCrossFade;
    next_state = kStateMenu;
    busy = 1;
    xfade_level = 128;
    back_page = 2;
    menu_compose();
    benchmark::ClobberMemory();
  }
  main_state = kStateMenu;
  busy = 0;
  xfade_level = 0;
}
BENCHMARK(MenuPass_CrossFade)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void CaptureSpeed(benchmark::State& state) {
  const std::string command = std::string(VELMORA_BIN_DIR) + "/velmora2k-capture --frames 3600 > /dev/null";
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) state.SkipWithError("velmora2k-capture failed");
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.counters["x_realtime"] = 60.0 / seconds;
}
BENCHMARK(CaptureSpeed)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
