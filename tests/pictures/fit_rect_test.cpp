#include "payload/compose/fit_rect.h"

#include <gtest/gtest.h>

#include <vector>

namespace saver {
namespace {

TRandomInt NoRandom() {
  return [](int32_t) -> int32_t {
    ADD_FAILURE() << "no random placement expected";
    return 0;
  };
}

TEST(FitRect, KeepsAspectRatioCentredAndRoundsHalfToEven) {
  EXPECT_EQ(FitRect(800, 600, 400, 300), Rect(0, 0, 800, 600));
  EXPECT_EQ(FitRect(800, 600, 1000, 500), Rect(0, 100, 800, 500));
  EXPECT_EQ(FitRect(800, 600, 300, 600), Rect(250, 0, 550, 600));
  // 1 x 10 / 4 = 2.5 -> 2
  EXPECT_EQ(FitRect(10, 10, 4, 1), Rect(0, 4, 10, 6));
  // 3 x 10 / 4 = 7.5 -> 8 (ties go to the even neighbour)
  EXPECT_EQ(FitRect(10, 10, 4, 3), Rect(0, 1, 10, 9));
  EXPECT_EQ(FitRect(800, 600, 0, 300), Rect(0, 0, 800, 600));
  EXPECT_EQ(FitRect(0, 600, 10, 10), Rect(0, 0, 0, 600));
}

TEST(PictureRect, ResizeToFitUsesTruncatingIntegerArithmetic) {
  EXPECT_EQ(PictureRect(StretchFit, false, 800, 600, 400, 300, NoRandom()), Rect(0, 0, 800, 600));
  EXPECT_EQ(PictureRect(StretchFit, false, 800, 600, 1000, 500, NoRandom()),
            Rect(0, 100, 800, 500));
  // nh = 200 x 800 div 301 = 531; 531 div 2 loses a row: 530 rows high.
  EXPECT_EQ(PictureRect(StretchFit, false, 800, 600, 301, 200, NoRandom()),
            Rect(0, 35, 800, 565));
  // A tall picture: nw = 300 x 600 div 500 = 360.
  EXPECT_EQ(PictureRect(StretchFit, false, 800, 600, 300, 500, NoRandom()),
            Rect(220, 0, 580, 600));
}

TEST(PictureRect, VeryLongPicturesDoNotOverflow) {
  // Products beyond 32 bits; the picture becomes a thin band across.
  EXPECT_EQ(FitRect(3840, 2160, 3000000, 1000), Rect(0, 1079, 3840, 1080));
  EXPECT_EQ(FitRect(3840, 2160, 1000, 3000000), Rect(1919, 0, 1920, 2160));
  // Resize to fit halves the fitted size before doubling it: one row becomes none.
  EXPECT_EQ(PictureRect(StretchFit, false, 3840, 2160, 3000000, 1000, NoRandom()),
            Rect(0, 1080, 3840, 1080));
}

TEST(PictureRect, StretchAndPreviewFillTheArea) {
  EXPECT_EQ(PictureRect(StretchFill, false, 800, 600, 13, 7, NoRandom()), Rect(0, 0, 800, 600));
  for (int32_t mode : {0, 2, 3})
    EXPECT_EQ(PictureRect(mode, true, 152, 112, 1000, 50, NoRandom()), Rect(0, 0, 152, 112));
}

TEST(PictureRect, CentredIsUnscaledAndCutOffWhenLarger) {
  EXPECT_EQ(PictureRect(StretchCentre, false, 800, 600, 400, 300, NoRandom()),
            Rect(200, 150, 600, 450));
  EXPECT_EQ(PictureRect(StretchCentre, false, 800, 600, 1001, 700, NoRandom()),
            Rect(-100, -50, 901, 650));
}

TEST(PictureRect, RandomPlacementKeepsSizeInsideTheScreen) {
  std::vector<int32_t> ranges;
  auto last = [&](int32_t range) {
    ranges.push_back(range);
    return range - 1;
  };
  EXPECT_EQ(PictureRect(StretchRandom, false, 800, 600, 100, 50, last), Rect(699, 549, 799, 599));
  EXPECT_EQ(ranges, (std::vector<int32_t>{700, 550}));

  // Exactly screen-sized: both ranges are empty, so it sits at (0, 0).
  ranges.clear();
  EXPECT_EQ(PictureRect(StretchRandom, false, 800, 600, 800, 600, last), Rect(0, 0, 800, 600));
  EXPECT_TRUE(ranges.empty());

  // Larger than the screen: fitted first, then placed along the free axis only.
  ranges.clear();
  EXPECT_EQ(PictureRect(StretchRandom, false, 800, 600, 1600, 600, last), Rect(0, 299, 800, 599));
  EXPECT_EQ(ranges, (std::vector<int32_t>{300}));

  // Unknown modes place at random too.
  ranges.clear();
  PictureRect(7, false, 800, 600, 10, 10, last);
  EXPECT_EQ(ranges.size(), 2u);
}

}  // namespace
}  // namespace saver
