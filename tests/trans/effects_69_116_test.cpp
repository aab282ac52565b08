// Properties every box, clip-region, sweep, zoom and fade effect keeps at
// two picture sizes and two step counts: how many frames it runs, that it
// ends with the incoming picture whole, and that what it has not revealed
// still shows the outgoing picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

// Frame counts in closed form, worked out from each family's loop bounds.
// Sweeps end where their spiral does and are checked on their own.
int ExpectedFrames(int effect, int w, int h, int n) {
  const int hw = w / 2;
  auto ceilDiv = [](int a, int b) { return (a + b - 1) / b; };
  if (effect == 69 || effect == 70) return ceilDiv(hw, std::max(1, w / n));  // ceil(hw / d)
  if (effect == 71 || effect == 72) return 2 * n / 3 + 1;    // first k with k > n / 1.5
  if (effect >= 73 && effect <= 76) return 3 * n / 2 + 1;    // first k with k > 1.5 n
  if (effect == 87) return (n + 1) / 2 + 2;                   // 0 .. ceil(n / 2), one closing frame
  if (effect >= 77 && effect <= 95) return n + 1;             // i = 0 .. n
  if (effect == 96) return std::min(n, h);                    // one strip per frame
  if (effect == 97) return std::min(n, w);
  if (effect >= 98 && effect <= 100) {                        // (d + 1)^2 cells, a batch per frame
    const int d = effect == 98 ? std::min(n, h / 4) : effect == 99 ? std::min(n, h / 8) : 10;
    const int batch = effect == 100 ? 1 : std::max(1, d / 4 * 4);
    return ceilDiv((d + 1) * (d + 1), batch);
  }
  if (effect >= 103 && effect <= 114) return n;
  if (effect >= 115) return 254 / std::max(1, 765 / n);       // levels d, 2d, .. below 255
  return -1;
}

bool RevealsInPlace(int effect) { return effect <= 102; }

using TCase = std::tuple<int, std::pair<int, int>, int>;  // effect, size, steps

class TransEffects69To116 : public ::testing::TestWithParam<TCase> {};

TEST_P(TransEffects69To116, RunsItsFramesAndEndsWithTheIncomingPicture) {
  const auto [effect, size, steps] = GetParam();
  TEffectHarness h(size.first, size.second);
  const TEffectRun run = h.Run(effect, steps);
  ASSERT_TRUE(run.ThreadMade);
  EXPECT_EQ(run.Completions, 1);
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
  if (effect == 101 || effect == 102) {
    EXPECT_GE(run.Frames.size(), 4u);
    EXPECT_LE(run.Frames.size(), size_t(4 * steps + 1));
  } else {
    EXPECT_EQ(int(run.Frames.size()), ExpectedFrames(effect, size.first, size.second, steps));
  }
  ASSERT_FALSE(run.Frames.empty());
  // The first frame still shows some of the outgoing picture.
  EXPECT_LT(TEffectHarness::CountNew(run.Frames.front()), int64_t(size.first) * size.second);
}

// Fades change every pixel; they are checked on their own.
class TransEffects69To114 : public ::testing::TestWithParam<TCase> {};

TEST_P(TransEffects69To114, KeepTheOutgoingPictureWhereNothingWasRevealed) {
  const auto [effect, size, steps] = GetParam();
  TEffectHarness h(size.first, size.second);
  const TEffectRun run = h.Run(effect, steps);
  const TBitmap32* previous = nullptr;
  for (size_t k = 0; k < run.Frames.size(); ++k) {
    const TBitmap32& frame = run.Frames[k];
    SCOPED_TRACE("frame " + std::to_string(k));
    if (RevealsInPlace(effect)) {
      ASSERT_TRUE(h.EveryPixelInPlace(frame));
    } else {
      // Zooms show stretched incoming pixels; anything else is the outgoing picture.
      ASSERT_TRUE(h.OldOutside(frame, [&](int32_t x, int32_t y) {
        return IsNewPixel(frame.Pixel(x, y));
      }));
    }
    // What was revealed stays revealed.
    if (previous) {
      ASSERT_TRUE(h.OldOutside(*previous, [&](int32_t x, int32_t y) {
        return IsNewPixel(frame.Pixel(x, y));
      }));
    }
    previous = &frame;
  }
}

std::string CaseName(const ::testing::TestParamInfo<TCase>& info) {
  const auto [effect, size, steps] = info.param;
  return "Effect" + std::to_string(effect) + "_" + std::to_string(size.first) + "x" +
         std::to_string(size.second) + "_N" + std::to_string(steps);
}

INSTANTIATE_TEST_SUITE_P(Trans, TransEffects69To116,
                         ::testing::Combine(::testing::Range(69, 117),
                                            ::testing::Values(std::pair{64, 48}, std::pair{77, 53}),
                                            ::testing::Values(64, 32)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Trans, TransEffects69To114,
                         ::testing::Combine(::testing::Range(69, 115),
                                            ::testing::Values(std::pair{64, 48}, std::pair{77, 53}),
                                            ::testing::Values(64, 32)),
                         CaseName);

// Odd inputs: a step count of 1 to 3, more steps than pixels, pictures of a
// pixel or a few. Nothing may divide by zero, hang or leave the picture
// unfinished.
class TransEffects69To116Each : public ::testing::TestWithParam<int> {};

TEST_P(TransEffects69To116Each, FinishWithTheIncomingPicture) {
  const int effect = GetParam();
  for (auto [w, hgt] : {std::pair{1, 1}, {2, 3}, {3, 2}, {7, 5}, {64, 3}}) {
    for (int steps : {1, 2, 3, 200}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(hgt) + " N=" + std::to_string(steps));
      TEffectHarness h(w, hgt);
      const TEffectRun run = h.Run(effect, steps);
      EXPECT_EQ(run.Completions, 1);
      EXPECT_TRUE(h.ShowsNewWhole(run.Final));
      EXPECT_LE(run.Frames.size(), 4u * 200 * 200);
    }
  }
}

// An abort during a frame's wait ends the effect within one more frame and
// still paints the incoming picture whole.
TEST_P(TransEffects69To116Each, StopSoonAfterAnAbort) {
  const int effect = GetParam();
  TEffectHarness h(64, 48);
  testing::TRunOptions options;
  options.AbortAtFrame = 1;
  const TEffectRun run = h.Run(effect, 64, options);
  EXPECT_GE(run.Frames.size(), 2u);
  EXPECT_LE(run.Frames.size(), 3u);
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
}

// A picture smaller than the surface changes only its own area, although
// boxes, zooms and region shapes reach past the picture's edges on the way.
TEST_P(TransEffects69To116Each, LeaveTheSurfaceOutsideThePictureAlone) {
  ManualClock clock;
  PumpedUiThread ui;
  SetClock(&clock);
  SetUiThread(&ui);
  constexpr TColor32 kMarker = Color32(1, 2, 3);
  BitmapSurface surface(80, 60);
  surface.Bitmap().Clear(kMarker);
  // 63 x 47 in 20 steps: Box Out's last box is 66 pixels wide.
  const TBitmap32 picture = testing::PositionPicture(63, 47, testing::kNewBlue);
  bool done = false;
  TTransitionHandlers handlers;
  handlers.OnTerminate = [&] { done = true; };
  ASSERT_TRUE(StartTransition(surface, picture, GetParam(), 9, 20, false, handlers));
  ui.PumpUntil([&] { return done; });
  SetUiThread(nullptr);
  SetClock(nullptr);
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 80; ++x) {
      if (x >= 63 || y >= 47) {
        ASSERT_EQ(surface.Bitmap().Pixel(x, y), kMarker) << x << "," << y;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Trans, TransEffects69To116Each, ::testing::Range(69, 117),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Effect" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace saver
