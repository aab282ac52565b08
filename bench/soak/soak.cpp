// The soak: long runs that must not make the player grow.
//
//   transitions  10,000 transitions with random effects, picture sizes, step
//                counts and aborts, on an in-memory surface with a manual
//                clock and a pumped UI thread;
//   show         1,000 ticks of the whole show on the test doubles (in-memory
//                window system, scripted media player), over a saver whose
//                items include compressed, masked, captioned, undecodable and
//                video items.
//
// Resident memory is sampled along each phase, after handing the allocator's
// free pages back (malloc_trim) and with one allocator arena, so that what is
// measured is what the program holds. After a warm-up (the first tenth) its
// highest value must stay within 5 % of the highest in the tenth that follows
// the warm-up: memory that the show's state frees now and then (a video item
// composes no picture ahead) is no growth. The program prints one line per
// phase and exits non-zero when a phase grew. Built with LeakSanitizer (or
// AddressSanitizer) it traces the bytes allocated instead, as the sanitizer's
// allocator keeps what is freed, and reports any leak at exit (see
// docs/reliability.md). Not a test: it runs for minutes.
//
//   usage: soak [TRANSITIONS [TICKS]]   (defaults 10000 and 1000)
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "payload/decoders/png_writer.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "show/show_harness.h"
#include "trans/trans.h"

// Present only in a sanitizer build.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));

namespace saver::soak {
namespace {

bool SanitizerHeap() { return __sanitizer_get_current_allocated_bytes != nullptr; }

// What the program holds: the bytes allocated under a sanitizer, otherwise
// the resident size once freed memory the allocator keeps for reuse (a freed
// 1920 x 1080 frame at the top of the heap) has gone back.
int64_t HeldBytes() {
  if (SanitizerHeap()) return int64_t(__sanitizer_get_current_allocated_bytes());
  malloc_trim(0);
  std::ifstream statm("/proc/self/statm");
  int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * int64_t(::sysconf(_SC_PAGESIZE));
}

// Memory along a phase, and the verdict against its value after warm-up.
class TMemoryTrace {
 public:
  TMemoryTrace(const char* phase, int64_t steps) : phase_(phase), warmUp_(steps / 10) {}

  void Sample(int64_t step) {
    const int64_t rss = HeldBytes();
    if (step < warmUp_) return;
    // The reference is the highest value of the tenth after the warm-up.
    if (reference_ < 0 || step < 2 * warmUp_) reference_ = std::max(reference_, rss);
    low_ = std::min(low_, rss);
    high_ = std::max(high_, rss);
    last_ = rss;
  }

  // Prints the phase's line; true when the highest value stayed within 5 % of
  // the reference.
  bool Report(int64_t steps, double seconds) const {
    const double mib = 1024.0 * 1024.0;
    const double spread =
        reference_ > 0 ? 100.0 * double(high_ - reference_) / double(reference_) : 0.0;
    const bool flat = spread <= 5.0;
    std::printf("%-12s %7lld steps %7.1f s  %s after warm-up %8.2f MiB  min %8.2f  max %8.2f  "
                "end %8.2f  spread %5.2f %%  %s\n",
                phase_, static_cast<long long>(steps), seconds, SanitizerHeap() ? "heap" : "rss",
                double(reference_) / mib,
                double(low_) / mib, double(high_) / mib, double(last_) / mib, spread,
                flat ? "flat" : "GREW");
    return flat;
  }

 private:
  const char* phase_;
  int64_t warmUp_;
  int64_t reference_ = -1, low_ = INT64_MAX, high_ = 0, last_ = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TBitmap32 Noise(std::mt19937& rng, int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  for (size_t i = 0; i < size_t(w) * size_t(h); ++i) b.Bits()[i] = rng() | 0xFF000000u;
  return b;
}

// One transition of random effect, size and step count, now and then aborted.
void RunTransition(std::mt19937& rng) {
  ManualClock clock;
  PumpedUiThread ui;
  SetClock(&clock);
  SetUiThread(&ui);
  // Mostly small pictures, now and then a large one.
  const bool large = rng() % 50 == 0;
  const int32_t w = large ? 1920 : int32_t(8 + rng() % 640);
  const int32_t h = large ? 1080 : int32_t(8 + rng() % 400);
  BitmapSurface surface(w, h);
  surface.Bitmap() = Noise(rng, w, h);
  const TBitmap32 incoming = Noise(rng, w, h);
  const int32_t effect = int32_t(rng() % 120);  // past 116: a random effect
  const int32_t steps = int32_t(4 + rng() % (large ? 12 : 48));
  // A third of the runs are aborted at a random frame, some skipping the final frame.
  const int abortAt = rng() % 3 == 0 ? int(rng() % uint32_t(steps)) : -1;
  const bool skipFinal = abortAt >= 0 && rng() % 2;
  int frames = 0;
  bool done = false;
  TTransitionHandlers handlers;
  handlers.OnTerminate = [&] { done = true; };
  handlers.OnFrame = [&] {
    if (frames++ == abortAt) {
      SkipFinalFrame = skipFinal;
      AbortTransition = true;
    }
  };
  if (StartTransition(surface, incoming, effect, 0, steps, false, std::move(handlers)))
    ui.PumpUntil([&] { return done; });
  ui.ProcessMessages();
  AbortTransition = false;
  SkipFinalFrame = false;
  SetUiThread(nullptr);
  SetClock(nullptr);
}

bool SoakTransitions(int64_t count) {
  std::mt19937 rng(20240601);
  TMemoryTrace trace("transitions", count);
  const auto start = std::chrono::steady_clock::now();
  for (int64_t i = 0; i < count; ++i) {
    RunTransition(rng);
    // Sampled between transitions, when none of a transition's pictures is
    // alive: what is resident then is what the runs left behind, not the
    // size of the one that happens to be running.
    if (i % 50 == 0) trace.Sample(i);
  }
  trace.Sample(count);
  return trace.Report(count, SecondsSince(start));
}

bool SoakShow(int64_t ticks) {
  testing::ShowHarness show(0);
  show.desk.ws.monitors = {TRect{0, 0, 640, 480}};
  show.b.trailer.EffectSpeed = 8;
  show.b.trailer.RepaintBackground = 1;
  show.b.trailer.RandomColors = 1;
  show.b.trailer.GradientStyle = 3;
  std::string all;
  for (int e = 1; e <= 116; ++e) all += char(e);
  show.b.text.Effect = all;
  std::mt19937 rng(7);
  for (int32_t i = 0; i < 12; ++i) {
    const TBitmap32 picture = Noise(rng, int32_t(200 + rng() % 900), int32_t(150 + rng() % 700));
    PictureEntry& e = show.b.AddPicture(EncodePng(picture), ".png", i % 3 == 0);
    e.Caption = "Picture " + std::to_string(i);
    e.ItemStretch = int32_t(i % 4);
  }
  TBitmap32 mask(64, 64);
  mask.Clear(0xFF808080u);
  show.b.pictures[1].entry.MaskIndex = show.b.AddMask(EncodePng(mask), 1);
  show.b.AddPicture({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}, ".png");  // fails every time
  show.b.AddPicture(std::vector<uint8_t>(4096, 0x11), ".avi");                // a video item
  show.Start();
  TMemoryTrace trace("show", ticks);
  const auto start = std::chrono::steady_clock::now();
  int64_t done = 0;
  for (; done < ticks; ++done) {
    if (!show.Tick()) {
      // No timer runs while a video plays: its end comes through the scripted player.
      if (show.desk.player) show.desk.player->Finish();
      show.desk.ui.ProcessMessages();
      if (!show.Tick()) break;
    }
    // The test doubles record every call (captions drawn, what the media
    // player was told): those records are theirs, not the player's.
    show.desk.text.calls = {};
    if (show.desk.player) show.desk.player->log = {};
    if (done % 10 == 0) trace.Sample(done);
  }
  trace.Sample(ticks);
  const bool flat = trace.Report(done, SecondsSince(start));
  if (done < ticks) std::printf("show: the show stopped after %lld ticks\n", (long long)done);
  return flat && done == ticks;
}

}  // namespace
}  // namespace saver::soak

int main(int argc, char** argv) {
  // glibc opens another arena whenever threads contend for one, up to eight
  // per core, each with resident pages of its own: with the transition
  // threads that adds memory at random moments until the limit is reached.
  mallopt(M_ARENA_MAX, 1);
  const int64_t transitions = argc > 1 ? std::atoll(argv[1]) : 10000;
  const int64_t ticks = argc > 2 ? std::atoll(argv[2]) : 1000;
  bool ok = saver::soak::SoakTransitions(transitions);
  ok = saver::soak::SoakShow(ticks) && ok;
  return ok ? 0 : 1;
}
