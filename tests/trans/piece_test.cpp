// Fold and slide pieces: where they paint at each step, and the rounding
// of the strip tables.
#include <gtest/gtest.h>

#include <cmath>

#include "trans/piece_variants.h"
#include "trans/rounding.h"

namespace saver {
namespace {

TEST(TransRounding, HalvesGoToEven) {
  EXPECT_EQ(RoundEven(0.5L), 0);
  EXPECT_EQ(RoundEven(1.5L), 2);
  EXPECT_EQ(RoundEven(2.5L), 2);
  EXPECT_EQ(RoundEven(-2.5L), -2);
  EXPECT_EQ(RoundEven(-3.5L), -4);
  EXPECT_EQ(Ceil(-0.5L), 0);
  EXPECT_EQ(Ceil(2.0001L), 3);
  EXPECT_EQ(RoundEven(1e12L), INT32_MAX);
  EXPECT_EQ(RoundEven(-1e12L), INT32_MIN);
}

TEST(TransFold, ShowsTheStartFirstAndClipsToThePicture) {
  TFold f;
  f.Init(-3, 0, 5, 10, 3, 2.5, 0, 20, 8);
  ASSERT_TRUE(f.Step());
  EXPECT_EQ(f.DstRect, Rect(0, 0, 2, 8));  // (-3..2) clipped, bottom clipped to 8
  EXPECT_EQ(f.SrcRect, f.DstRect);
  ASSERT_TRUE(f.Step());
  EXPECT_EQ(f.DstRect, Rect(0, 0, 4, 8));  // -0.5..4.5: halves to even
  EXPECT_FALSE(f.Step());                  // last step still paints
  EXPECT_EQ(f.DstRect, Rect(2, 0, 7, 8));
  const TRect last = f.DstRect;
  EXPECT_FALSE(f.Step());  // exhausted: nothing changes
  EXPECT_EQ(f.DstRect, last);
}

TEST(TransFold, CountsOnlyWhileAnEdgeOfEachDirectionIsInside) {
  TFold f;
  // Negative width extends to the left; starts wholly right of the picture.
  f.Init(40, 2, -10, 4, 4, -10, 0, 25, 8);
  f.Step();  // 30..40: both vertical edges outside
  EXPECT_EQ(f.DstRect, TRect{});
  f.Step();  // 20..30: left edge inside
  EXPECT_EQ(f.DstRect, Rect(20, 2, 25, 6));
  // A window wider than the picture with both edges outside does not count.
  TFold wide;
  wide.Init(-5, 0, 40, 8, 1, 0, 0, 25, 8);
  wide.Step();
  EXPECT_EQ(wide.DstRect, TRect{});
}

TEST(TransSlide, SourceFollowsTheOffsetAndKeepsTheSizeOfTheDestination) {
  TSlide s;
  s.Init(-800, 0, 4, 200, 0, 0, 0, 800, 600);
  const int32_t expected[] = {-600, -400, -200, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.Step(), i < 3);
    const int32_t shift = expected[i];
    EXPECT_EQ(s.DstRect, Rect(0, 0, 800 + shift, 600)) << i;
    EXPECT_EQ(s.SrcRect, Rect(-shift, 0, 800, 600)) << i;
  }
  TSlide down;
  down.Init(0, -10, 2, 0, 4.5, 5, 10, 15, 30);  // window (5, 10, 15, 30)
  down.Step();  // offset -5.5: bottom edge at round(24.5) = 24
  EXPECT_EQ(down.DstRect, Rect(5, 10, 15, 24));
  EXPECT_EQ(down.SrcRect, Rect(5, 16, 15, 30));
  TSlide right;
  right.Init(7, 0, 1, -1, 0, 0, 0, 10, 4);
  right.Step();  // offset 6: the right part of the window shows the left of the picture
  EXPECT_EQ(right.DstRect, Rect(6, 0, 10, 4));
  EXPECT_EQ(right.SrcRect, Rect(0, 0, 4, 4));
}

TEST(TransSlide, PictureMovedOutOfItsWindowPaintsNothing) {
  TSlide s;
  s.Init(-30, 0, 2, 5, 0, 0, 0, 20, 10);
  s.Step();  // offset -25: the picture is wholly left of the window
  EXPECT_EQ(s.DstRect, TRect{});
  EXPECT_EQ(s.SrcRect, TRect{});
}

TEST(TransSlideTables, ExtendedPrecisionDecidesTheStripEdges) {
  // 0.1 * 3 * 15 is exactly 4.5 in extended precision (round: 4) but a hair
  // above in double (5); 15 - 0.1 * 9 * 15 gives 1 against double's 2.
  TSlideVariant narrow = MakeSlideVariant(19, 15, 20, 8);
  ASSERT_EQ(narrow.Slides.size(), 20u);
  EXPECT_EQ(narrow.Slides[12].Left, 4);
  EXPECT_EQ(narrow.Slides[9].Right, 1);
  TSlideVariant v = MakeSlideVariant(19, 64, 48, 64);
  // Strips arrive one after another and all end in place with N a multiple of 4.
  for (const TSlide& s : v.Slides) {
    TSlide end = s;
    while (end.Step()) {
    }
    EXPECT_NEAR(end.X, 0.0, 1e-9);
  }
}

TEST(TransSlideTables, DoorOpenMovesTheOutgoingHalves) {
  TSlideVariant v = MakeSlideVariant(10, 64, 48, 8);
  ASSERT_EQ(v.Slides.size(), 2u);
  ASSERT_EQ(v.Folds.size(), 2u);
  EXPECT_TRUE(v.Slides[0].Outgoing && v.Slides[1].Outgoing);
  EXPECT_EQ(v.Folds[0].Steps, 8);
  EXPECT_EQ(v.Folds[1].Steps, 9);
}

TEST(TransUnfoldTables, LineCountsAreCappedByHalfThePicture) {
  // Effect 44 on a picture 60 high: M = 30 whatever N is.
  for (int32_t n : {64, 1000}) {
    auto pieces = MakeUnfoldVariant(44 - 22, 80, 60, n);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].Steps, 30);
    EXPECT_DOUBLE_EQ(pieces[0].DY, 2.0);
  }
  // Pictures one pixel wide or high, and N below 4, still give at least one step.
  for (int32_t effect : {43, 44, 45, 46, 57, 58, 59, 60, 63, 64}) {
    auto pieces = MakeUnfoldVariant(effect - 22, 1, 1, 2);
    ASSERT_FALSE(pieces.empty()) << effect;
    for (const TFold& f : pieces) {
      EXPECT_GE(f.Steps, 1) << effect;
      EXPECT_TRUE(std::isfinite(f.DX) && std::isfinite(f.DY)) << effect;
    }
  }
}

TEST(TransUnfoldTables, PieceCounts) {
  auto count = [](int effect) { return MakeUnfoldVariant(effect - 22, 64, 48, 64).size(); };
  for (int e : {23, 24, 25, 26}) EXPECT_EQ(count(e), 1u) << e;
  for (int e : {27, 32, 39, 40, 43, 46}) EXPECT_EQ(count(e), 2u) << e;
  for (int e : {33, 34, 57, 60, 63, 64}) EXPECT_EQ(count(e), 4u) << e;
  for (int e : {35, 38, 61, 62}) EXPECT_EQ(count(e), 10u) << e;
  for (int e : {41, 42}) EXPECT_EQ(count(e), 20u) << e;
  for (int e : {47, 56}) EXPECT_EQ(count(e), 32u) << e;
}

TEST(TransLineDrop, LineIsTheIncomingColumnAtTheBandEdge) {
  TFold piece = MakeLineDropPiece(1, 100, 50, 10);
  piece.Step();  // X: 0 -> 10
  TLineDropLine line = LineDropLine(1, piece, 100, 50);
  EXPECT_EQ(line.Src, Rect(10, 0, 11, 50));
  EXPECT_EQ(line.Dst, Rect(10, 0, 100, 50));
  TFold up = MakeLineDropPiece(4, 100, 50, 10);
  up.Step();  // Y: 50 -> 45
  line = LineDropLine(4, up, 100, 50);
  EXPECT_EQ(line.Src, Rect(0, 45, 100, 46));
  EXPECT_EQ(line.Dst, Rect(0, 0, 100, 45));
}

}  // namespace
}  // namespace saver
