// The spiral sweeps: a block an eighth of the picture in size walks out from
// the middle to the top-left corner (101) or in from the corner to the
// middle (102).
#include <gtest/gtest.h>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

// True when every pixel of frame that still shows the outgoing picture lies in area.
bool OldOnlyWithin(const TBitmap32& frame, const TRect& area) {
  for (int32_t y = 0; y < frame.Height(); ++y)
    for (int32_t x = 0; x < frame.Width(); ++x)
      if (!IsNewPixel(frame.Pixel(x, y)) &&
          !(x >= area.Left && x < area.Right && y >= area.Top && y < area.Bottom))
        return false;
  return true;
}

TEST(TransSweepEffects, InsideOutStopsWhenTheBlockReachesTheTopLeftCorner) {
  for (auto [w, h] : {std::pair{64, 48}, {77, 53}})
    for (int steps : {64, 32}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " N=" + std::to_string(steps));
      TEffectHarness harness(w, h);
      const TEffectRun run = harness.Run(101, steps);
      // Well before the frame limit of 4 N + 1.
      EXPECT_LT(run.Frames.size(), size_t(3 * steps));
      // The spiral has covered everything but the corner block it stopped at.
      const int32_t bw = (w + 7) / 8, bh = (h + 7) / 8;
      EXPECT_TRUE(OldOnlyWithin(run.Frames.back(), TRect{0, 0, bw, bh}));
      EXPECT_FALSE(harness.ShowsNewWhole(run.Frames.back()));
      // It started in the middle.
      const TBitmap32& first = run.Frames.front();
      EXPECT_TRUE(IsNewPixel(first.Pixel(w / 2 - 1, h / 2 - 1)));
      EXPECT_EQ(TEffectHarness::CountNew(first), int64_t(bw) * bh);
    }
}

TEST(TransSweepEffects, OutsideInStartsAtTheCornerAndEndsInTheMiddle) {
  for (auto [w, h] : {std::pair{64, 48}, {77, 53}})
    for (int steps : {64, 32}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " N=" + std::to_string(steps));
      TEffectHarness harness(w, h);
      const TEffectRun run = harness.Run(102, steps);
      EXPECT_LT(run.Frames.size(), size_t(4 * steps + 1));
      const int32_t bw = (w + 7) / 8, bh = (h + 7) / 8;
      EXPECT_EQ(TEffectHarness::CountNew(run.Frames.front()), int64_t(bw) * bh);
      EXPECT_TRUE(IsNewPixel(run.Frames.front().Pixel(0, 0)));
      // What is left when the limits cross is a hole in the middle.
      EXPECT_TRUE(OldOnlyWithin(run.Frames.back(),
                                TRect{w / 2 - 2 * bw, h / 2 - 2 * bh, w / 2 + 2 * bw, h / 2 + 2 * bh}));
    }
}

// With very few steps the block jumps further than its size; the walk still
// ends at its frame limit and the final frame completes the picture.
TEST(TransSweepEffects, FewStepsEndAtTheFrameLimit) {
  TEffectHarness harness(64, 48);
  const TEffectRun run = harness.Run(101, 4);
  EXPECT_EQ(run.Frames.size(), 17u);
  EXPECT_TRUE(harness.ShowsNewWhole(run.Final));
}

}  // namespace
}  // namespace saver
