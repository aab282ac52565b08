// How long a tick of the show takes to bring in a 24-megapixel JPEG: from the
// timer's tick to the first frame its transition paints, with the look-ahead
// (the picture was extracted, decoded and composed during the display time
// before the tick) and without it (the tick does all of that itself). The
// show runs on the test doubles (an in-memory window, a manual clock, a
// pumped UI thread), so no display is needed. The time is wall-clock, since
// the frame comes from the transition's worker; the counter cpu_ms is the
// process's CPU time over the same span, which leaves out the time the
// threads wait preempted on a loaded machine. Each tick brings in a picture
// not decoded before, as at the first round of a show.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "bench_common.h"
#include "photo_jpeg.h"
#include "pictures/saver_builder.h"
#include "show/compose_ahead.h"
#include "show/fake_desktop.h"
#include "show/saver_window.h"

namespace saver::bench {
namespace {

using SteadyClock = std::chrono::steady_clock;

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

constexpr int32_t kPictureWidth = 6000, kPictureHeight = 4000;
constexpr int kTicks = 8;

const std::vector<uint8_t>& Photo() {
  static const std::vector<uint8_t> jpeg = PhotoJpeg(kPictureWidth, kPictureHeight);
  return jpeg;
}

// The UI thread of the doubles, noting when a worker's paint has run on it.
class PaintWatchingUi final : public IUiThread {
 public:
  explicit PaintWatchingUi(PumpedUiThread& ui) : ui_(ui) {}
  void Synchronize(std::function<void()> fn) override {
    ui_.Synchronize([&] {
      fn();
      painted = true;
    });
  }
  void Post(std::function<void()> fn) override { ui_.Post(std::move(fn)); }
  void ProcessMessages() override { ui_.ProcessMessages(); }
  void RequestTerminate() override { ui_.RequestTerminate(); }
  bool TerminateRequested() const override { return ui_.TerminateRequested(); }

  std::atomic<bool> painted{false};

 private:
  PumpedUiThread& ui_;
};

void TickToFirstFrame(benchmark::State& st, TFrameSize size, bool ahead) {
  ComposeAheadEnabled = ahead;
  testing::FakeDesktop desk;
  PaintWatchingUi ui(desk.ui);
  SetUiThread(&ui);
  desk.ws.monitors = {TRect{0, 0, size.Width, size.Height}};
  testing::SaverBuilder b;
  b.text.Effect = "\x01";  // a slide: its first frame is small, so the tick's own work shows
  b.trailer.Seconds = 5;
  b.trailer.EffectSpeed = 5;
  b.trailer.Stretch = StretchFit;
  // The same photo as many items: each is decoded on its first tick.
  for (int i = 0; i <= kTicks; ++i) b.AddPicture(Photo(), ".jpg");
  const std::string path = desk.scratch.Write("show.scr", b.Build());
  {
    TSSWindow w({"/s"}, path);
    desk.ws.Run(w.Window());
    const auto settle = [&] {
      desk.ui.PumpUntil([] { return !TransitionRunning.load(); });
      desk.ui.ProcessMessages();
      // The display time: the look-ahead has done its work before the tick.
      if (w.ComposeAhead()) w.ComposeAhead()->Wait();
    };
    settle();
    double cpu = 0;
    for (auto _ : st) {
      ui.painted = false;
      const double cpuStart = ProcessCpuSeconds();
      const auto start = SteadyClock::now();
      if (!desk.ws.FireNextTimer()) {
        st.SkipWithError("no tick");
        break;
      }
      desk.ui.PumpUntil([&] { return ui.painted.load(); });
      st.SetIterationTime(std::chrono::duration<double>(SteadyClock::now() - start).count());
      cpu += ProcessCpuSeconds() - cpuStart;
      settle();
    }
    st.counters["cpu_ms"] = cpu * 1e3 / double(st.iterations());
    if (w.ComposeAhead()) st.counters["frames_made_ahead"] = w.ComposeAhead()->FramesUsed();
  }
  SetUiThread(&desk.ui);
  ComposeAheadEnabled = true;
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  using namespace saver::bench;
  for (TFrameSize size : kFrameSizes)
    for (bool ahead : {false, true})
      benchmark::RegisterBenchmark(
          FrameName(ahead ? "TickWithLookAhead" : "TickWithoutLookAhead", size).c_str(),
          [size, ahead](benchmark::State& st) { TickToFirstFrame(st, size, ahead); })
          ->UseManualTime()
          ->Iterations(kTicks)
          ->Unit(benchmark::kMillisecond);
  return RunBenchmarks(argc, argv);
}
