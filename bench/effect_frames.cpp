// Time per frame of the box, clip-region, sweep, zoom and fade transitions at
// full HD and 4K: a whole transition runs on an in-memory surface (no frame
// delay, a manual clock, the UI thread pumped here) and its wall time is
// divided by its frames. Each frame includes composing and the synchronous
// paint of what changed, so a whole-frame effect costs at least one memcpy.
#include <chrono>

#include "bench_common.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "trans/effect_fade.h"
#include "trans/trans.h"

namespace saver::bench {
namespace {

constexpr int32_t kSteps = 64;

void EffectFrame(benchmark::State& st, TFrameSize size, int32_t effect) {
  ManualClock clock;
  PumpedUiThread ui;
  SetClock(&clock);
  SetUiThread(&ui);
  const TBitmap32 outgoing = NoisePicture(size.Width, size.Height, 1);
  const TBitmap32 incoming = NoisePicture(size.Width, size.Height, 2);
  BitmapSurface surface(size.Width, size.Height);
  int64_t frames = 0;
  for (auto _ : st) {
    surface.Bitmap() = outgoing;
    bool done = false;
    int64_t runFrames = 0;
    TTransitionHandlers handlers;
    handlers.OnTerminate = [&] { done = true; };
    handlers.OnFrame = [&] { ++runFrames; };
    const auto start = std::chrono::steady_clock::now();
    StartTransition(surface, incoming, effect, 0, kSteps, false, std::move(handlers));
    ui.PumpUntil([&] { return done; });
    const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    st.SetIterationTime(spent.count() / double(std::max<int64_t>(runFrames, 1)));
    frames += runFrames;
  }
  st.counters["frames_per_run"] = double(frames) / double(std::max<int64_t>(st.iterations(), 1));
  SetUiThread(nullptr);
  SetClock(nullptr);
}

// The crossfade's composition alone: one blend of two frames into a third.
void CrossfadeBlend(benchmark::State& st, TFrameSize size) {
  const TBitmap32 from = NoisePicture(size.Width, size.Height, 1);
  const TBitmap32 to = NoisePicture(size.Width, size.Height, 2);
  TBitmap32 out(size.Width, size.Height);
  for (auto _ : st) {
    BlendPictures(from, to, 100, out);
    benchmark::DoNotOptimize(out.Bits());
  }
}

void RegisterAll() {
  for (TFrameSize size : kFrameSizes)
    benchmark::RegisterBenchmark(FrameName("CrossfadeBlend", size).c_str(), CrossfadeBlend, size)
        ->Unit(benchmark::kMillisecond);
  const struct {
    const char* name;
    int32_t effect;
  } cases[] = {
      {"EffectBoxOut", 69},     {"EffectBoxIn", 70},          {"EffectEllipseOut", 71},
      {"EffectEllipseIn", 72},  {"EffectClock", 83},          {"EffectTriangles", 87},
      {"EffectRandomRects", 98}, {"EffectRandomEllipses", 99}, {"EffectSweep", 101},
      {"EffectZoomIn", 103},    {"EffectQuattroZoom", 114},   {"EffectCrossfade", 115},
      {"EffectFadeToBlack", 116},
  };
  for (const auto& c : cases)
    for (TFrameSize size : kFrameSizes)
      benchmark::RegisterBenchmark(FrameName(c.name, size).c_str(), EffectFrame, size, c.effect)
          ->UseManualTime()
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  saver::bench::RegisterAll();
  return saver::bench::RunBenchmarks(argc, argv);
}
