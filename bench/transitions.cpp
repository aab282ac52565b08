// Frame cost of every transition effect at full HD and 4K: each effect runs
// through the real transition thread on an in-memory surface, with the
// slideshow's step count for the width at the default speed and no frame
// delay. A frame is timed from its start (the effect reads the tick count)
// to the moment it is complete (it waits for its frame time), so it covers
// composing (on the worker and its helpers) and the synchronous paints of
// the frame, nothing of the set-up.
//
// The time is wall-clock time, since a frame is composed on several threads
// at once. On a shared machine a frame can also lose time to other
// processes; so each effect runs several times (SAVER_BENCH_RUNS, default 3)
// and every frame counts with its best time over the runs: the k-th frame of
// an effect does the same work in every run (the effects are deterministic
// under the benchmark's clock), so its best time is its cost without the
// preemptions. The worst frame is then the worst of those best times.
//
// Google Benchmark reports the median frame as manual time, with the worst
// frame and both ratios to a memcpy of one frame as counters. At the end a
// table of all effects goes to stderr (stdout stays clean for JSON output).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_common.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "trans/catalogue.h"
#include "trans/row_bands.h"
#include "trans/trans.h"

namespace saver::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

double NowMs() {
  return std::chrono::duration<double, std::milli>(SteadyClock::now().time_since_epoch()).count();
}

// A manual tick count (waiting costs nothing) that remembers the time when
// it was last read: the frame loop reads it first thing in a frame.
class FrameTimingClock final : public IClock {
 public:
  uint32_t TickCount() override {
    lastRead_.store(NowMs());
    return now_.load();
  }
  void Sleep(uint32_t ms) override { now_ += ms; }
  uint64_t PerformanceCounter() override { return now_.load(); }
  double LastReadMs() const { return lastRead_.load(); }

 private:
  std::atomic<uint32_t> now_{1};
  std::atomic<double> lastRead_{0};
};

struct TFrameStats {
  double MedianMs = 0, WorstMs = 0;
  int Frames = 0;
};

// The best of a few memcpys of one frame, measured in this run.
double MemcpyFloorMs(TFrameSize size) {
  static std::map<std::pair<int32_t, int32_t>, double> floors;
  auto key = std::pair{size.Width, size.Height};
  if (auto it = floors.find(key); it != floors.end()) return it->second;
  const size_t n = size_t(size.Width) * size_t(size.Height);
  std::vector<TColor32> from(n, 0xFF102030u), to(n, 0);
  double best = 1e9;
  for (int i = 0; i < 30; ++i) {
    const double start = NowMs();
    std::memcpy(to.data(), from.data(), n * sizeof(TColor32));
    benchmark::ClobberMemory();
    best = std::min(best, NowMs() - start);
  }
  return floors[key] = best;
}

int RunsPerEffect() {
  const char* runs = std::getenv("SAVER_BENCH_RUNS");
  return runs && std::atoi(runs) > 0 ? std::atoi(runs) : 3;
}

// The frame times of one run of effect.
std::vector<double> RunOnce(TFrameSize size, int32_t effect, const TBitmap32& outgoing,
                            const TBitmap32& incoming) {
  FrameTimingClock clock;
  PumpedUiThread ui;
  SetClock(&clock);
  SetUiThread(&ui);
  BitmapSurface surface(size.Width, size.Height);
  surface.Bitmap() = outgoing;

  std::vector<double> frames;
  bool done = false;
  TTransitionHandlers handlers;
  handlers.OnTerminate = [&] { done = true; };
  handlers.OnFrame = [&] { frames.push_back(NowMs() - clock.LastReadMs()); };
  AbortTransition = false;
  SkipFinalFrame = false;
  if (StartTransition(surface, incoming, effect, 0, SlideshowStepCount(size.Width, 4), false,
                      std::move(handlers)))
    ui.PumpUntil([&] { return done; });
  SetUiThread(nullptr);
  SetClock(nullptr);
  return frames;
}

TFrameStats RunEffect(TFrameSize size, int32_t effect) {
  const TBitmap32 outgoing = NoisePicture(size.Width, size.Height, 1);
  const TBitmap32 incoming = NoisePicture(size.Width, size.Height, 2);
  std::vector<double> best;
  for (int run = 0; run < RunsPerEffect(); ++run) {
    const std::vector<double> frames = RunOnce(size, effect, outgoing, incoming);
    if (run == 0) {
      best = frames;
      continue;
    }
    best.resize(std::min(best.size(), frames.size()));
    for (size_t i = 0; i < best.size(); ++i) best[i] = std::min(best[i], frames[i]);
  }
  TFrameStats stats;
  stats.Frames = int(best.size());
  if (!best.empty()) {
    std::sort(best.begin(), best.end());
    stats.MedianMs = best[best.size() / 2];
    stats.WorstMs = best.back();
  }
  return stats;
}

std::map<std::pair<int32_t, int32_t>, TFrameStats> g_results;  // (effect, width) -> stats

void EffectFrames(benchmark::State& st, TFrameSize size, int32_t effect) {
  TFrameStats stats;
  for (auto _ : st) {
    stats = RunEffect(size, effect);
    st.SetIterationTime(stats.MedianMs / 1000.0);
  }
  const double floor = MemcpyFloorMs(size);
  st.counters["frames"] = stats.Frames;
  st.counters["worst_ms"] = stats.WorstMs;
  st.counters["median_x_memcpy"] = stats.MedianMs / floor;
  st.counters["worst_x_memcpy"] = stats.WorstMs / floor;
  g_results[{effect, size.Width}] = stats;
}

void PrintTable() {
  if (g_results.empty()) return;
  std::fprintf(stderr,
               "\nframe cost per effect (median / worst frame, x memcpy of a frame; wall time, "
               "each frame's best of %d runs; pixel path %s; %d composing threads)\n",
               RunsPerEffect(), PixelLoopPath(), TRowBands(ComposeThreads.load()).Threads());
  std::fprintf(stderr, "memcpy floor: %.3f ms at 1920x1080, %.3f ms at 3840x2160\n\n",
               MemcpyFloorMs(kFrameSizes[0]), MemcpyFloorMs(kFrameSizes[1]));
  std::fprintf(stderr, "| effect | 1920x1080 median | worst | worst ms | 3840x2160 median | "
                       "worst | worst ms |\n|---|---:|---:|---:|---:|---:|---:|\n");
  for (int32_t e = 1; e <= kEffectCount; ++e) {
    const std::string caption(EffectCaption(e));
    std::fprintf(stderr, "| %d %s |", e, caption.c_str());
    for (TFrameSize size : kFrameSizes) {
      auto it = g_results.find({e, size.Width});
      if (it == g_results.end()) {
        std::fprintf(stderr, " - | - | - |");
        continue;
      }
      const double floor = MemcpyFloorMs(size);
      const TFrameStats& s = it->second;
      std::fprintf(stderr, " %.2f | %.2f | %.2f%s |", s.MedianMs / floor, s.WorstMs / floor,
                   s.WorstMs, s.WorstMs > 9.0 ? " (over 9)" : "");
    }
    std::fprintf(stderr, "\n");
  }
}

void RegisterAll() {
  for (TFrameSize size : kFrameSizes)
    for (int32_t e = 1; e <= kEffectCount; ++e) {
      char name[32];
      std::snprintf(name, sizeof name, "Transition%03d", e);
      benchmark::RegisterBenchmark(FrameName(name, size).c_str(), EffectFrames, size, e)
          ->UseManualTime()
          ->Iterations(1)
          ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  // SAVER_COMPOSE_THREADS=1 measures the worker composing alone.
  if (const char* threads = std::getenv("SAVER_COMPOSE_THREADS"))
    saver::ComposeThreads = std::atoi(threads);
  saver::bench::RegisterAll();
  const int rc = saver::bench::RunBenchmarks(argc, argv);
  saver::bench::PrintTable();
  return rc;
}
