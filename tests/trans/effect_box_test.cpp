// Box Out and Box In: the boundary between the pictures is a centred box in
// the picture's proportions, changing by a fixed step per frame.
#include <gtest/gtest.h>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::IsOldPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

// The smallest rectangle holding every pixel for which pick is true, and
// whether those pixels fill it completely.
struct TFoundBox {
  TRect Box;
  bool Solid = false;
};

template <typename Pick>
TFoundBox FindBox(const TBitmap32& frame, Pick pick) {
  TRect box{frame.Width(), frame.Height(), 0, 0};
  int64_t count = 0;
  for (int32_t y = 0; y < frame.Height(); ++y)
    for (int32_t x = 0; x < frame.Width(); ++x)
      if (pick(frame.Pixel(x, y))) {
        box = TRect{std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                    std::max(box.Bottom, y + 1)};
        ++count;
      }
  if (count == 0) return {TRect{}, true};
  return {box, count == int64_t(box.Width()) * box.Height()};
}

// Checks that the boxes of successive frames are centred, keep the picture's
// proportions and change their width by 2 x step each frame.
void ExpectCentredBoxes(const TEffectRun& run, bool pickNew, int32_t w, int32_t h, int32_t step) {
  int32_t previousWidth = pickNew ? 0 : w + 2 * step;
  for (size_t k = 0; k < run.Frames.size(); ++k) {
    SCOPED_TRACE("frame " + std::to_string(k));
    const TFoundBox found = FindBox(run.Frames[k], pickNew ? IsNewPixel : IsOldPixel);
    ASSERT_TRUE(found.Solid);
    const TRect& b = found.Box;
    if (b.IsEmpty()) continue;
    const int32_t expected = pickNew ? std::min(previousWidth + 2 * step, w)
                                     : previousWidth - 2 * step;
    EXPECT_EQ(b.Width(), expected);
    EXPECT_EQ(b.Left + b.Right, 2 * (w / 2));  // centred on the middle column
    // Height follows the width in the picture's proportions (a pixel of rounding each side).
    EXPECT_NEAR(b.Height(), double(b.Width()) * h / w, 2.0);
    previousWidth = b.Width();
  }
}

TEST(TransBoxEffects, BoxOutGrowsACentredBoxOfTheIncomingPicture) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(69, 32);  // a step of 64 / 32 = 2 pixels
  ASSERT_EQ(run.Frames.size(), 16u);
  ExpectCentredBoxes(run, true, 64, 48, 2);
  EXPECT_TRUE(h.ShowsNewWhole(run.Frames.back()));
}

TEST(TransBoxEffects, BoxOutWithMoreStepsThanPixelsGrowsByOnePixel) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(69, 500);
  ASSERT_EQ(run.Frames.size(), 32u);
  ExpectCentredBoxes(run, true, 64, 48, 1);
}

TEST(TransBoxEffects, BoxInShrinksACentredBoxOfTheOutgoingPicture) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(70, 16);  // a step of 4 pixels
  ASSERT_EQ(run.Frames.size(), 8u);
  EXPECT_TRUE(h.ShowsOldWhole(run.Frames.front()));
  ExpectCentredBoxes(run, false, 64, 48, 4);
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
}

TEST(TransBoxEffects, BoxInWithMoreStepsThanPixelsShrinksByOnePixel) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(70, 100);
  ASSERT_EQ(run.Frames.size(), 32u);
  ExpectCentredBoxes(run, false, 64, 48, 1);
}

}  // namespace
}  // namespace saver
