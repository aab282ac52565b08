// The worker's life: immediate copies, abort, final frame, completion
// handler, frame pacing, snapshots and failures.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "trans/effect_harness.h"
#include "trans/trans.h"
#include "trans/trans_thread.h"

namespace saver {
namespace {

using testing::TEffectHarness;
using testing::TEffectRun;
using testing::TRunOptions;

TEST(TransStart, ImmediateCopiesMakeNoThread) {
  TEffectHarness h(40, 30);
  // Effect 0, no steps to divide by: the picture is copied at once.
  for (auto [effect, steps] : {std::pair{0, 64}, {23, 0}, {5, -3}}) {
    SCOPED_TRACE(::testing::Message() << "effect " << effect << " steps " << steps);
    TEffectRun run = h.Run(effect, steps);
    EXPECT_FALSE(run.ThreadMade);
    EXPECT_FALSE(TransitionRunning);
    EXPECT_EQ(CurrentTransition.load(), nullptr);
    EXPECT_TRUE(run.Frames.empty());
    EXPECT_EQ(run.Completions, 0);
    EXPECT_TRUE(h.ShowsNewWhole(run.Final));
    EXPECT_EQ(StepCount.load(), steps);
  }
}

TEST(TransStart, EveryPathCopiesWhateverDrawModeThePictureCarries) {
  // A picture left in blend mode with a faint master alpha still replaces
  // the screen, at once as well as through a worker.
  TEffectHarness h(16, 12);
  TBitmap32 picture = h.New;
  picture.DrawMode = TDrawMode::Blend;
  picture.MasterAlpha = 40;
  for (int effect : {0, 23}) {
    BitmapSurface surface(16, 12);
    surface.Bitmap() = h.Old;
    EXPECT_EQ(StartTransition(surface, picture, effect, 0, 4, true), effect != 0);
    h.Ui.ProcessMessages();
    EXPECT_TRUE(h.ShowsNewWhole(surface.Bitmap())) << effect;
  }
}

TEST(TransStart, EmptyPictureChangesNothing) {
  TEffectHarness h(8, 8);
  BitmapSurface surface(8, 8);
  surface.Bitmap() = h.Old;
  EXPECT_FALSE(StartTransition(surface, TBitmap32(), 23, 9, 64, false));
  EXPECT_FALSE(TransitionRunning);
  EXPECT_TRUE(h.ShowsOldWhole(surface.Bitmap()));
}

TEST(TransStart, WaitReturnsAfterTheWorkerHasFinished) {
  TEffectHarness h(32, 24);
  BitmapSurface surface(32, 24);
  surface.Bitmap() = h.Old;
  int completions = 0;
  ASSERT_TRUE(StartTransition(surface, h.New, 23, 9, 8, true, {[&] { completions++; }, {}}));
  EXPECT_FALSE(TransitionRunning);
  EXPECT_EQ(CurrentTransition.load(), nullptr);
  EXPECT_TRUE(h.ShowsNewWhole(surface.Bitmap()));
  // The completion is queued by then: the worker touches nothing after
  // clearing the flag, so a caller may go on at once.
  h.Ui.ProcessMessages();
  EXPECT_EQ(completions, 1);
}

TEST(TransStart, CompletionRunsOnceOnTheUiThreadEvenWithoutFrames) {
  TEffectHarness h(32, 24);
  // One step: the line drop paints no frame at all, the worker ends at once.
  TEffectRun run = h.Run(65, 1);
  EXPECT_TRUE(run.ThreadMade);
  EXPECT_EQ(run.Completions, 1);
  EXPECT_TRUE(run.HandlerOnUiThread);
  EXPECT_TRUE(run.Frames.empty());
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
  EXPECT_FALSE(TransitionRunning);
}

TEST(TransStart, SecondTransitionSnapshotsWhatTheFirstLeft) {
  TEffectHarness h(40, 30);
  BitmapSurface surface(40, 30);
  surface.Bitmap() = h.Old;
  const TBitmap32 first = testing::PositionPicture(40, 30, 0x77);
  bool done = false;
  StartTransition(surface, first, 23, 9, 4, false, {[&] { done = true; }, {}});
  h.Ui.PumpUntil([&] { return done; });
  // "Door Open" paints halves of the outgoing snapshot: they must be the first picture.
  done = false;
  std::vector<TBitmap32> frames;
  StartTransition(surface, h.New, 10, 9, 8, false,
                  {[&] { done = true; }, [&] { frames.push_back(surface.Bitmap()); }});
  h.Ui.PumpUntil([&] { return done; });
  ASSERT_FALSE(frames.empty());
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const uint8_t blue = BlueOf(frames[0].Pixel(x, y));
      EXPECT_TRUE(blue == 0x77 || blue == testing::kNewBlue) << x << "," << y;
    }
}

// Abort requested when a frame is complete: at most one more frame, then the
// final picture unless SkipFinalFrame is set; the handler runs once.
class TransAbort : public ::testing::TestWithParam<int> {};

TEST_P(TransAbort, EndsWithinOneFrame) {
  const int effect = GetParam();
  for (bool skip : {false, true}) {
    SCOPED_TRACE(skip ? "skip final frame" : "final frame");
    TEffectHarness h(48, 36);
    TRunOptions options;
    options.AbortAtFrame = 2;
    options.SkipFinal = skip;
    TEffectRun run = h.Run(effect, 64, options);
    EXPECT_GE(run.Frames.size(), 3u);
    EXPECT_LE(run.Frames.size(), 4u);
    EXPECT_EQ(run.Completions, 1);
    EXPECT_TRUE(run.HandlerOnUiThread);
    EXPECT_FALSE(TransitionRunning);
    EXPECT_EQ(CurrentTransition.load(), nullptr);
    if (skip) {
      // Nothing is painted after the last frame.
      EXPECT_FALSE(h.ShowsNewWhole(run.Final));
      EXPECT_TRUE(std::equal(run.Final.Bits(), run.Final.Bits() + 48 * 36,
                             run.Frames.back().Bits()));
    } else {
      EXPECT_TRUE(h.ShowsNewWhole(run.Final));
    }
  }
}

// One effect of every family.
INSTANTIATE_TEST_SUITE_P(Trans, TransAbort,
                         ::testing::Values(5, 10, 23, 47, 65, 69, 70, 71, 77, 96, 101, 103, 115));

TEST(TransPacing, EveryFrameWaitsForItsDelay) {
  TEffectHarness h(64, 48);
  // 23 with N = 8 waits after 7 of its 8 frames: 9 sleeps of 1 ms each.
  TEffectRun run = h.Run(23, 8);
  EXPECT_EQ(run.Frames.size(), 8u);
  EXPECT_EQ(h.Clock.Sleeps(), 7u * 9u);
}

TEST(TransPacing, ZeroOrNegativeDelaySleepsOncePerFrame) {
  for (int delay : {0, -5}) {
    TEffectHarness h(64, 48);
    TRunOptions options;
    options.Delay = delay;
    TEffectRun run = h.Run(23, 8, options);
    EXPECT_EQ(run.Frames.size(), 8u);
    EXPECT_EQ(h.Clock.Sleeps(), 7u);
  }
}

TEST(TransPacing, AnAbortEndsTheCurrentWaitAtOnce) {
  TEffectHarness h(64, 48);
  TRunOptions options;
  options.AbortAtFrame = 2;
  TEffectRun run = h.Run(23, 64, options);
  // Two full waits, one sleep in the third, then one more frame and no wait.
  EXPECT_EQ(run.Frames.size(), 4u);
  EXPECT_EQ(h.Clock.Sleeps(), 9u + 9u + 1u);
}

TEST(TransPacing, TickCountWrapDoesNotStretchAFrame) {
  TEffectHarness h(64, 48);
  h.Clock.Advance(0xFFFFFFFAu);  // wraps during the first frame
  TEffectRun run = h.Run(23, 4);
  EXPECT_EQ(run.Frames.size(), 4u);
  EXPECT_EQ(h.Clock.Sleeps(), 3u * 9u);
}

TEST(TransThread, OutOfRangeNumbersBecomeARandomEffect) {
  TEffectHarness h(16, 12);
  BitmapSurface surface(16, 12);
  std::set<int32_t> seen;
  for (int32_t effect : {117, 255, -1, 1000}) {
    for (uint64_t seed = 1; seed <= 30; ++seed) {
      ReseedTransitionRandom(seed * 7919 + uint64_t(effect));
      StepCount = 2;
      auto* t = new TTransThread(effect, surface, h.New, 0);
      t->Execute();  // on the UI thread: paints run inline
      const int32_t chosen = t->FEffect;
      h.Ui.ProcessMessages();  // frees the thread object
      EXPECT_GE(chosen, 1);
      EXPECT_LE(chosen, kEffectCount);
      seen.insert(chosen);
      EXPECT_TRUE(h.ShowsNewWhole(surface.Bitmap()));
    }
  }
  EXPECT_GT(seen.size(), 30u);
}

TEST(TransThread, HugeStepCountsAreCapped) {
  TEffectHarness h(16, 12);
  BitmapSurface surface(16, 12);
  StepCount = INT32_MAX;
  TTransThread t(36, surface, h.New, 9);  // 36 runs 9 * (N div 2) + N frames
  EXPECT_EQ(t.Steps(), kMaxSteps);
  StepCount = 64;
}

// A surface whose paints start failing after a number of them.
class FailingSurface : public BitmapSurface {
 public:
  FailingSurface(int32_t w, int32_t h, int paintsBeforeFailure)
      : BitmapSurface(w, h), left_(paintsBeforeFailure) {}
  void StretchFrom(const TBitmap32& src, const TRect& s, const TRect& d) override {
    if (left_-- <= 0) throw std::runtime_error("device lost");
    BitmapSurface::StretchFrom(src, s, d);
  }

 private:
  int left_;
};

// A surface that counts the hand-overs painting it: each ends with one Invalidate.
class CountingSurface : public BitmapSurface {
 public:
  using BitmapSurface::BitmapSurface;
  void Invalidate() override { ++Invalidates; }
  int Invalidates = 0;
};

// A hand-over wakes the UI thread and then the worker, which costs more than
// painting a small piece: the pieces of a frame go in one, however many.
TEST(TransThread, ThePiecesOfAFrameArePaintedInOneHandOver) {
  // Ten sliding strips, ten pairs of lines, a line drop's piece and line.
  for (int32_t effect : {22, 51, 65}) {
    SCOPED_TRACE(effect);
    TEffectHarness h(160, 120);
    CountingSurface surface(160, 120);
    surface.Bitmap() = h.Old;
    int frames = 0, completions = 0;
    ASSERT_TRUE(StartTransition(surface, h.New, effect, 0, 32, false,
                                {[&] { completions++; }, [&] { frames++; }}));
    h.Ui.PumpUntil([&] { return completions == 1; });
    EXPECT_GT(frames, 0);
    EXPECT_LE(surface.Invalidates, frames + 1);  // and the final frame's
    EXPECT_TRUE(h.ShowsNewWhole(surface.Bitmap()));
  }
}

// A surface that cannot be read back (a lost device): no snapshot for a worker.
class UnreadableSurface : public BitmapSurface {
 public:
  using BitmapSurface::BitmapSurface;
  void CopyTo(TBitmap32&, const TRect&) const override { throw std::runtime_error("device lost"); }
};

TEST(TransStart, AWorkerThatCannotBeMadeLeavesNoTransitionRunning) {
  TEffectHarness h(40, 30);
  UnreadableSurface surface(40, 30);
  surface.Bitmap() = h.Old;
  int completions = 0;
  EXPECT_FALSE(StartTransition(surface, h.New, 23, 9, 16, true, {[&] { completions++; }, {}}));
  EXPECT_FALSE(TransitionRunning);
  EXPECT_EQ(CurrentTransition.load(), nullptr);
  h.Ui.ProcessMessages();
  EXPECT_EQ(completions, 0);
  EXPECT_TRUE(h.ShowsOldWhole(surface.Bitmap()));
  // The next transition starts as usual.
  BitmapSurface good(40, 30);
  EXPECT_TRUE(StartTransition(good, h.New, 23, 9, 4, true, {[&] { completions++; }, {}}));
  h.Ui.PumpUntil([&] { return completions == 1; });
  EXPECT_TRUE(h.ShowsNewWhole(good.Bitmap()));
}

TEST(TransThread, FailureEndsTheTransitionWithoutFinalFrame) {
  TEffectHarness h(40, 30);
  FailingSurface surface(40, 30, 3);
  surface.Bitmap() = h.Old;
  int completions = 0;
  ASSERT_TRUE(StartTransition(surface, h.New, 23, 9, 16, false, {[&] { completions++; }, {}}));
  h.Ui.PumpUntil([&] { return completions == 1; });
  EXPECT_FALSE(TransitionRunning);
  EXPECT_EQ(CurrentTransition.load(), nullptr);
  // Three frames of the band were painted, then nothing.
  const int64_t revealed = TEffectHarness::CountNew(surface.Bitmap());
  EXPECT_GT(revealed, 0);
  EXPECT_LT(revealed, 40 * 30);
}

}  // namespace
}  // namespace saver
