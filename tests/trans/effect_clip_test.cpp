// The clip-region effects: where their regions end up and how the random
// ones hand out strips and cells.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

// Effects whose last region already covers the picture, before the final
// frame: the side ellipses once their corners have straightened, every
// triangle shape but the chaos star (which turns by whole radians) and the
// diamond out (whose edges end exactly on the far corners' pixel centres),
// and the random strips, cells and ellipses once all are used.
class TransClipEffectsCover : public ::testing::TestWithParam<int> {};

TEST_P(TransClipEffectsCover, LastFrameShowsTheIncomingPictureWhole) {
  for (auto [w, hgt] : {std::pair{64, 48}, {77, 53}})
    for (int steps : {64, 32}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(hgt) + " N=" + std::to_string(steps));
      TEffectHarness h(w, hgt);
      const TEffectRun run = h.Run(GetParam(), steps);
      ASSERT_FALSE(run.Frames.empty());
      EXPECT_TRUE(h.ShowsNewWhole(run.Frames.back()));
    }
}

std::vector<int> CoveringEffects() {
  std::vector<int> effects{71, 73, 74, 75, 76};
  for (int e = 77; e <= 100; ++e)
    if (e != 85 && e != 93) effects.push_back(e);
  return effects;
}

INSTANTIATE_TEST_SUITE_P(Trans, TransClipEffectsCover, ::testing::ValuesIn(CoveringEffects()),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "Effect" + std::to_string(info.param);
                         });

// New pixels per row and column of a frame.
std::vector<int> NewPerRow(const TBitmap32& f) {
  std::vector<int> rows(size_t(f.Height()), 0);
  for (int32_t y = 0; y < f.Height(); ++y)
    for (int32_t x = 0; x < f.Width(); ++x) rows[size_t(y)] += IsNewPixel(f.Pixel(x, y));
  return rows;
}

TEST(TransClipEffects, RandomLinesRevealOneWholeRowPerFrameWhenStepsReachTheHeight) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(96, 64);
  ASSERT_EQ(run.Frames.size(), 48u);
  std::set<int> seen;
  std::vector<int> before(48, 0);
  for (const TBitmap32& frame : run.Frames) {
    const std::vector<int> rows = NewPerRow(frame);
    int added = -1;
    for (int y = 0; y < 48; ++y) {
      ASSERT_TRUE(rows[size_t(y)] == 0 || rows[size_t(y)] == 64);  // rows come whole
      if (rows[size_t(y)] != before[size_t(y)]) {
        EXPECT_EQ(added, -1) << "two rows in one frame";
        added = y;
      }
    }
    ASSERT_NE(added, -1);
    seen.insert(added);
    before = rows;
  }
  EXPECT_EQ(seen.size(), 48u);
  // Shuffled: the rows do not simply come top to bottom.
  EXPECT_FALSE(h.ShowsNewWhole(run.Frames[47]) && NewPerRow(run.Frames[0])[0] == 64 &&
               NewPerRow(run.Frames[1])[1] == 64 && NewPerRow(run.Frames[2])[2] == 64);
}

TEST(TransClipEffects, RandomVerticalLinesUseStripsOfWidthOverSteps) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(97, 16);  // 16 strips of 4 columns
  ASSERT_EQ(run.Frames.size(), 16u);
  for (size_t k = 0; k < run.Frames.size(); ++k)
    EXPECT_EQ(TEffectHarness::CountNew(run.Frames[k]), int64_t(k + 1) * 4 * 48);
}

// The frame limit n^3 of the random effects does not wrap for large step counts.
TEST(TransClipEffects, RandomLinesRunWithAHugeStepCount) {
  TEffectHarness h(64, 8);
  const TEffectRun run = h.Run(96, 2000);
  EXPECT_EQ(run.Frames.size(), 8u);
  EXPECT_TRUE(h.ShowsNewWhole(run.Frames.back()));
}

TEST(TransClipEffects, LargeEllipsesAlwaysTake121Frames) {
  for (int steps : {64, 8, 200}) {
    TEffectHarness h(77, 53);
    EXPECT_EQ(h.Run(100, steps).Frames.size(), 121u) << steps;
  }
}

TEST(TransClipEffects, TrianglesEndAfterAboutHalfTheStepsWithTheGridCovered) {
  TEffectHarness h(77, 53);
  const TEffectRun run = h.Run(87, 64);
  ASSERT_EQ(run.Frames.size(), 34u);  // frames 0 .. 32, then one closing frame
  // Frame 32 grows the legs to a third of the picture: twice a grid cell.
  EXPECT_TRUE(h.ShowsNewWhole(run.Frames[32]));
  EXPECT_FALSE(h.ShowsNewWhole(run.Frames[16]));
}

TEST(TransClipEffects, EllipseInRevealsTheOutsideFirst) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(72, 64);
  ASSERT_GE(run.Frames.size(), 3u);
  // The corners go first, the middle stays the outgoing picture until the end.
  const TBitmap32& early = run.Frames[run.Frames.size() / 3];
  EXPECT_TRUE(IsNewPixel(early.Pixel(0, 0)));
  EXPECT_TRUE(IsNewPixel(early.Pixel(63, 47)));
  EXPECT_FALSE(IsNewPixel(early.Pixel(32, 24)));
  EXPECT_FALSE(IsNewPixel(run.Frames.back().Pixel(32, 24)));
}

TEST(TransClipEffects, EllipseOutGrowsFromTheMiddle) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(71, 64);
  const TBitmap32& early = run.Frames[run.Frames.size() / 3];
  EXPECT_TRUE(IsNewPixel(early.Pixel(32, 24)));
  EXPECT_FALSE(IsNewPixel(early.Pixel(0, 0)));
  EXPECT_FALSE(IsNewPixel(early.Pixel(63, 47)));
}

// The chaos star turns about the picture's centre, also on a wide picture:
// after frame i its corners have come no further from the centre than
// height x i / n across and width x i / n up or down.
TEST(TransClipEffects, ChaosStarStaysAboutTheCentreOfAWidePicture) {
  TEffectHarness h(160, 60);
  const TEffectRun run = h.Run(85, 32);
  ASSERT_EQ(run.Frames.size(), 33u);
  const TBitmap32& f = run.Frames[4];  // i = 0 .. 4: reach 7.5 across, 20 up or down
  int64_t count = 0;
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 160; ++x)
      if (IsNewPixel(f.Pixel(x, y))) {
        ++count;
        ASSERT_LE(std::abs(x - 80), 9) << x << "," << y;
        ASSERT_LE(std::abs(y - 30), 21) << x << "," << y;
      }
  EXPECT_GT(count, 0);
}

// Clocks sweep around the centre: the top edge is revealed from the left
// corner rightwards (83) while the left edge is still untouched.
TEST(TransClipEffects, ClockStartsAlongTheTopEdge) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(83, 64);
  const TBitmap32& f = run.Frames[8];  // within the first quarter
  EXPECT_TRUE(IsNewPixel(f.Pixel(10, 0)));
  EXPECT_FALSE(IsNewPixel(f.Pixel(50, 0)));
  EXPECT_FALSE(IsNewPixel(f.Pixel(0, 30)));
  EXPECT_FALSE(IsNewPixel(f.Pixel(63, 30)));
}

}  // namespace
}  // namespace saver
