// The pixel kernels over one whole 640 x 480 frame, each path beside memcpy
// of the same frame (its natural bound) and beside the plain per-byte path.
//
// The table is Google Benchmark's. The summary after it compares speeds in
// rounds that take turns (memcpy, then each path of the kernel, again and
// again) and keeps each one's fastest frame, so a load that comes and goes on
// the machine touches all of them alike.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gfx2d/pixel.h"
#include "gfx2d/pixel_kernels.h"
#include "platform/display.h"

namespace {

constexpr size_t kFramePixels = static_cast<size_t>(kScreenWidth) * kScreenHeight;
constexpr size_t kFrameBytes = kFramePixels * 4;
constexpr uint32_t kBlendWeight = 100;  // the 3D window's weight, a typical cross-fade step
constexpr int kRounds = 200;
constexpr PixelPath kPaths[] = {PixelPath::Plain, PixelPath::Sse2, PixelPath::Avx2};

const ptc::Format kFormat(32, 0xFF0000, 0xFF00, 0xFF, 0);

struct Frames {
  std::vector<uint8_t> a = std::vector<uint8_t>(kFrameBytes);
  std::vector<uint8_t> b = std::vector<uint8_t>(kFrameBytes);
  ptc::Surface dst{kScreenWidth, kScreenHeight, kFormat};
  ptc::Surface src{kScreenWidth, kScreenHeight, kFormat};
  Frames() {
    for (size_t i = 0; i < kFrameBytes; ++i) {
      a[i] = static_cast<uint8_t>(i * 7);
      b[i] = static_cast<uint8_t>(i * 13);
    }
    surface_clear(dst, 0x40302010);
    surface_clear(src, 0x01020304);
  }
};

Frames& frames() {
  static Frames f;
  return f;
}

// One frame of each operation.
void frame_memcpy() { std::memcpy(frames().b.data(), frames().a.data(), kFrameBytes); }
void frame_memset() { std::memset(frames().b.data(), 0x5A, kFrameBytes); }
void frame_pixel_fill() { pixel_fill(0x11223344, kFramePixels, frames().b.data()); }
void frame_pixel_copy() { pixel_copy(frames().a.data(), frames().b.data(), kFramePixels); }
void frame_blend_span() { blend_span(frames().a.data(), frames().b.data(), kBlendWeight, kFrameBytes); }
void frame_fade_span() { fade_span(frames().b.data(), fade_factor(255), kFramePixels); }
void frame_blit_add() { blit_add(frames().dst, frames().src, 0, 0); }

void bench_frame(benchmark::State& state, void (*op)(), PixelPath path) {
  pixel_kernels_select(path);
  for (auto _ : state) {
    op();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFrameBytes));
}

// Fastest time of each operation over rounds in which they take turns.
std::vector<double> fastest_in_turns(const std::vector<std::function<void()>>& ops) {
  std::vector<double> best(ops.size(), 1e30);
  for (int round = 0; round < kRounds; ++round) {
    for (size_t i = 0; i < ops.size(); ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      ops[i]();
      benchmark::ClobberMemory();
      const std::chrono::duration<double, std::micro> t = std::chrono::steady_clock::now() - t0;
      best[i] = std::min(best[i], t.count());
    }
  }
  return best;
}

void print_block_ratio(const char* name, void (*op)(), const char* bound_name, void (*bound)()) {
  const std::vector<double> t = fastest_in_turns({bound, op});
  std::printf("  %-18s %7.1f us  %5.2f x %s\n", name, t[1], t[0] / t[1], bound_name);
}

void print_kernel_ratios(const char* name, void (*op)()) {
  std::vector<std::function<void()>> ops = {frame_memcpy};
  std::vector<const PixelKernels*> paths;
  for (PixelPath path : kPaths) {
    if (pixel_kernels(path) == nullptr) continue;
    paths.push_back(pixel_kernels(path));
    ops.push_back([path, op] {
      pixel_kernels_select(path);
      op();
    });
  }
  const std::vector<double> t = fastest_in_turns(ops);
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string label = std::string(name) + "/" + paths[i]->name;
    std::printf("  %-18s %7.1f us  %5.2f x memcpy  %6.2f x plain\n", label.c_str(), t[i + 1], t[0] / t[i + 1],
                t[1] / t[i + 1]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("memcpy", bench_frame, frame_memcpy, PixelPath::Plain);
  benchmark::RegisterBenchmark("memset", bench_frame, frame_memset, PixelPath::Plain);
  benchmark::RegisterBenchmark("pixel_fill", bench_frame, frame_pixel_fill, PixelPath::Plain);
  benchmark::RegisterBenchmark("pixel_copy", bench_frame, frame_pixel_copy, PixelPath::Plain);
  for (PixelPath path : kPaths) {
    const PixelKernels* k = pixel_kernels(path);
    if (k == nullptr) continue;
    benchmark::RegisterBenchmark((std::string("blend_span/") + k->name).c_str(), bench_frame, frame_blend_span, path);
    benchmark::RegisterBenchmark((std::string("fade_span/") + k->name).c_str(), bench_frame, frame_fade_span, path);
    benchmark::RegisterBenchmark((std::string("blit_add/") + k->name).c_str(), bench_frame, frame_blit_add, path);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\nfastest frame, memcpy and the paths taking turns (higher ratio is faster)\n");
  print_block_ratio("pixel_fill", frame_pixel_fill, "memset", frame_memset);
  print_block_ratio("pixel_copy", frame_pixel_copy, "memcpy", frame_memcpy);
  print_kernel_ratios("blend_span", frame_blend_span);
  print_kernel_ratios("fade_span", frame_fade_span);
  print_kernel_ratios("blit_add", frame_blit_add);
  return 0;
}
