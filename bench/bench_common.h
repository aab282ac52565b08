#pragma once
// What every benchmark program shares, and the conventions scripts/bench-report reads:
// - A benchmark over a whole frame is named "<What>/<W>x<H>", e.g. "Bitmap32Blend/1920x1080".
// - Each program measures its own floor for every frame size it uses, named "Memcpy/<W>x<H>":
//   one memcpy of a frame of 32-bit pixels in the same run. The report prints every frame
//   benchmark's time as a ratio to the floor of its size, so machines and loads compare.
// - The context entry "pixel_path" says which vector path the pixel loops ran with.
// A program registers its benchmarks and ends with: int main(...) { return RunBenchmarks(...); }
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver::bench {

struct TFrameSize {
  int32_t Width, Height;
};

// Full HD and 4K, the sizes the saver must hold its frame pace at.
inline constexpr TFrameSize kFrameSizes[] = {{1920, 1080}, {3840, 2160}};

inline std::string FrameName(const std::string& what, TFrameSize size) {
  return what + "/" + std::to_string(size.Width) + "x" + std::to_string(size.Height);
}

// A picture of random opaque colours, so no pass can shortcut uniform input.
inline TBitmap32 NoisePicture(int32_t width, int32_t height, uint32_t seed = 1) {
  TBitmap32 b(width, height);
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) b.SetPixel(x, y, rng() | 0xFF000000u);
  return b;
}

inline void RegisterMemcpyFloor(TFrameSize size) {
  benchmark::RegisterBenchmark(FrameName("Memcpy", size).c_str(), [size](benchmark::State& st) {
    const size_t bytes = size_t(size.Width) * size_t(size.Height) * sizeof(TColor32);
    std::vector<TColor32> from(bytes / sizeof(TColor32), 0xFF102030u), to(from.size());
    for (auto _ : st) {
      std::memcpy(to.data(), from.data(), bytes);
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(bytes));
  })->Unit(benchmark::kMillisecond);
}

// Registers the floors of the standard frame sizes and runs what the command line selects.
inline int RunBenchmarks(int argc, char** argv) {
  for (TFrameSize size : kFrameSizes) RegisterMemcpyFloor(size);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("pixel_path", PixelLoopPath());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace saver::bench
