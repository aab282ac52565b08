// Where each variant of the ellipse, shape and zoom families has revealed the
// incoming picture after a given frame, on a 64 x 48 picture in 16 steps.
// The points were worked out by hand from each row's geometry and sit a
// pixel or more inside or outside the shape, so they pin which edge grows
// from where and by how much per frame (width against height, the extra row
// of the ellipse from the top), not the rasteriser's choices on an edge.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

struct TRevealPoint {
  int32_t X, Y;
  bool New;
};

struct TRevealCase {
  int Effect;
  size_t Frame;  // 0-based; the frame counter i of the routine, or step Frame + 1 of a zoom
  std::vector<TRevealPoint> Points;
};

// hw = 32, hh = 24 throughout.
const TRevealCase kCases[] = {
    // Rounded boxes, frame i = 3, ceil(64 / 16) = 4 and ceil(48 / 16) = 3 per frame.
    {71, 3, {{32, 24, true}, {20, 24, true}, {43, 24, true}, {19, 24, false}, {44, 24, false},
             {32, 15, true}, {32, 14, false}, {32, 32, true}, {32, 33, false}}},
    {73, 3, {{0, 24, true}, {11, 24, true}, {12, 24, false}, {40, 24, false}}},
    {74, 3, {{63, 24, true}, {52, 24, true}, {51, 24, false}, {20, 24, false}}},
    // From the top the height counts the row below the picture: ceil(49 / 16) = 4.
    {75, 3, {{32, 0, true}, {32, 11, true}, {32, 12, false}, {32, 40, false}}},
    {76, 3, {{32, 47, true}, {32, 39, true}, {32, 38, false}, {32, 10, false}}},
    // Window washer, i = 4: p = 16, q = 12.
    {86, 4, {{5, 36, true}, {20, 36, false}, {58, 12, true}, {44, 12, false}, {32, 24, false}}},
    // Quarter clocks, i = 4: s = ceil(112 * 4 / 16) = 28, still on the first edge.
    {88, 4, {{20, 5, true}, {35, 5, false}, {2, 40, true}, {10, 40, false}}},
    {89, 4, {{60, 30, true}, {5, 30, false}, {60, 10, false}}},
    {90, 4, {{60, 40, true}, {30, 40, false}, {63, 2, true}, {50, 2, false}}},
    {91, 4, {{10, 5, true}, {60, 0, true}, {10, 40, false}, {60, 10, false}}},
    // Diamonds, i = 4: p = 16, q = 12.
    {92, 4, {{2, 2, true}, {61, 2, true}, {61, 45, true}, {2, 45, true}, {20, 2, false},
             {32, 24, false}}},
    {93, 4, {{30, 20, true}, {45, 24, true}, {32, 34, true}, {49, 24, false}, {32, 10, false},
             {14, 24, false}}},
    {94, 4, {{2, 2, true}, {61, 45, true}, {61, 2, false}, {2, 45, false}}},
    {95, 4, {{61, 2, true}, {2, 45, true}, {2, 2, false}, {61, 45, false}}},
    // Zooms after three steps: edges move 4 across and 3 down per full-speed step.
    {104, 2, {{11, 8, true}, {12, 8, false}, {11, 9, false}}},
    {105, 2, {{52, 8, true}, {51, 8, false}, {52, 9, false}}},
    {106, 2, {{11, 39, true}, {12, 39, false}, {11, 38, false}}},
    {107, 2, {{52, 39, true}, {51, 39, false}, {52, 38, false}}},
    {108, 2, {{11, 0, true}, {11, 47, true}, {12, 24, false}}},
    {109, 2, {{0, 8, true}, {63, 8, true}, {32, 9, false}}},
    {110, 2, {{52, 0, true}, {52, 47, true}, {51, 24, false}}},
    {111, 2, {{0, 39, true}, {63, 39, true}, {32, 38, false}}},
    // Halves at half speed: 6 across from each side, 4.5 -> 4 down from each edge.
    {112, 2, {{5, 24, true}, {6, 24, false}, {58, 24, true}, {57, 24, false}}},
    {113, 2, {{32, 3, true}, {32, 4, false}, {32, 44, true}, {32, 43, false}}},
    // Quadrants grow from (16, 12), (48, 12), (16, 36), (48, 36) by 1 across and 0.75 down
    // a step: after three, x 13 .. 18 and y 10 .. 13 about the first centre.
    {114, 2, {{13, 10, true}, {18, 13, true}, {12, 12, false}, {19, 12, false},
              {16, 9, false}, {16, 14, false}, {45, 34, true}, {44, 36, false}}},
};

class TransRevealPoints : public ::testing::TestWithParam<TRevealCase> {};

TEST_P(TransRevealPoints, FrameShowsTheIncomingPictureExactlyAtTheExpectedPoints) {
  const TRevealCase& c = GetParam();
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(c.Effect, 16);
  ASSERT_GT(run.Frames.size(), c.Frame);
  const TBitmap32& frame = run.Frames[c.Frame];
  for (const TRevealPoint& p : c.Points)
    EXPECT_EQ(IsNewPixel(frame.Pixel(p.X, p.Y)), p.New) << p.X << "," << p.Y;
}

INSTANTIATE_TEST_SUITE_P(Trans, TransRevealPoints, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<TRevealCase>& info) {
                           return "Effect" + std::to_string(info.param.Effect);
                         });

}  // namespace
}  // namespace saver
