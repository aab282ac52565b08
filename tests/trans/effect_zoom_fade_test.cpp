// Zooms stretch the incoming picture into growing rectangles; fades blend
// whole frames.
#include <gtest/gtest.h>

#include <cstdlib>

#include "trans/effect_harness.h"
#include "trans/effect_zoom.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

TEST(TransZoomEffects, ZoomInWithTwoStepsShowsHalfSizeThenFullSize) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(103, 2);
  ASSERT_EQ(run.Frames.size(), 2u);
  const TBitmap32& half = run.Frames[0];
  const TRect box{16, 12, 48, 36};
  EXPECT_TRUE(h.OldOutside(half, [&](int32_t x, int32_t y) {
    return x >= box.Left && x < box.Right && y >= box.Top && y < box.Bottom;
  }));
  // Inside, the whole incoming picture at half size: red and green carry the
  // source position, so they run at twice the rate across the box.
  for (int32_t y = box.Top; y < box.Bottom; ++y)
    for (int32_t x = box.Left; x < box.Right; ++x) {
      const TColor32 c = half.Pixel(x, y);
      ASSERT_TRUE(IsNewPixel(c)) << x << "," << y;
      ASSERT_LE(std::abs(int(RedOf(c)) - 2 * (x - box.Left)), 2) << x << "," << y;
      ASSERT_LE(std::abs(int(GreenOf(c)) - 2 * (y - box.Top)), 2) << x << "," << y;
    }
  EXPECT_TRUE(h.ShowsNewWhole(run.Frames[1]));
}

TEST(TransZoomEffects, DoorHalvesEachShowTheirOwnHalf) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(112, 8);
  ASSERT_EQ(run.Frames.size(), 8u);
  // After 4 of 8 steps each half is 16 columns wide: columns 0-15 show the
  // left half squeezed, 48-63 the right half, the middle is still outgoing.
  const TBitmap32& f = run.Frames[3];
  EXPECT_LE(RedOf(f.Pixel(0, 10)), 1);
  EXPECT_GE(RedOf(f.Pixel(15, 10)), 29);
  EXPECT_LE(RedOf(f.Pixel(15, 10)), 31);
  EXPECT_GE(RedOf(f.Pixel(48, 10)), 32);
  EXPECT_LE(RedOf(f.Pixel(48, 10)), 34);
  EXPECT_EQ(RedOf(f.Pixel(63, 10)), 63);
  EXPECT_FALSE(IsNewPixel(f.Pixel(16, 10)));
  EXPECT_FALSE(IsNewPixel(f.Pixel(47, 10)));
}

TEST(TransZoomEffects, PieceRoundsEdgesHalfToEvenAndCountsItsSteps) {
  TZoom zoom;
  // Both edges move by 1.5 a step: left edges 1.5, 3.0, 4.5, right edges 3 further.
  zoom.Init(0, 0, 3, 1, 3, 1.5, 0, 1.5, 0, TRect{0, 0, 5, 5});
  ASSERT_TRUE(zoom.Step());
  EXPECT_EQ(zoom.DstRect, (TRect{2, 0, 4, 1}));  // 1.5 -> 2, 4.5 -> 4
  EXPECT_EQ(zoom.SrcRect, (TRect{0, 0, 5, 5}));
  ASSERT_TRUE(zoom.Step());
  EXPECT_EQ(zoom.DstRect, (TRect{3, 0, 6, 1}));  // 3.0, 6.0
  EXPECT_FALSE(zoom.Step());                      // the last step reports no steps left
  EXPECT_EQ(zoom.DstRect, (TRect{4, 0, 8, 1}));  // 4.5 -> 4, 7.5 -> 8
  EXPECT_FALSE(zoom.Step());
  EXPECT_EQ(zoom.DstRect, (TRect{4, 0, 8, 1}));  // unchanged once done
}

// How far a channel value lies from `from` towards `to`, 0..255.
int Weight(int from, int to, int value) {
  return from == to ? -1 : (value - from) * 255 / (to - from);
}

TEST(TransFadeEffects, CrossfadeBlendsWithARisingWeight) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(115, 64);  // levels 11, 22, .. 253
  ASSERT_EQ(run.Frames.size(), 23u);
  for (size_t k = 0; k < run.Frames.size(); ++k) {
    const TBitmap32& f = run.Frames[k];
    const int level = 11 * int(k + 1);
    for (int32_t y = 0; y < 48; y += 7)
      for (int32_t x = 0; x < 64; x += 5) {
        const TColor32 c = f.Pixel(x, y), o = h.Old.Pixel(x, y), n = h.New.Pixel(x, y);
        ASSERT_EQ(AlphaOf(c), 255);
        ASSERT_NEAR(Weight(BlueOf(o), BlueOf(n), BlueOf(c)), level, 2) << "frame " << k;
        ASSERT_EQ(RedOf(c), RedOf(n));  // both pictures agree there
      }
  }
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
}

TEST(TransFadeEffects, FadeToBlackPassesThroughBlackWithoutMixingThePictures) {
  TEffectHarness h(64, 48);
  const TEffectRun run = h.Run(116, 32);  // levels 23, 46, .. 253
  ASSERT_EQ(run.Frames.size(), 11u);
  int darkest = 255;
  int previousBlue = BlueOf(h.Old.Pixel(0, 0));
  bool rising = false;
  for (size_t k = 0; k < run.Frames.size(); ++k) {
    const TBitmap32& f = run.Frames[k];
    const int level = 23 * int(k + 1);
    // Every pixel is one picture scaled by one factor: below level 127 the
    // outgoing one darkening, above it the incoming one brightening.
    const TBitmap32& source = level < 127 ? h.Old : h.New;
    const int factor = level < 127 ? 255 - 2 * level : std::min(255, 2 * (level - 127));
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        const TColor32 c = f.Pixel(x, y), s = source.Pixel(x, y);
        ASSERT_EQ(AlphaOf(c), 255);
        ASSERT_NEAR(BlueOf(c), BlueOf(s) * factor / 255.0, 1.0) << "frame " << k;
        ASSERT_NEAR(RedOf(c), RedOf(s) * factor / 255.0, 1.0) << "frame " << k;
      }
    const int blue = BlueOf(f.Pixel(0, 0));
    darkest = std::min(darkest, int(BlueOf(f.Pixel(10, 10))));
    if (blue > previousBlue) rising = true;
    EXPECT_EQ(blue > previousBlue, rising) << "brightness goes down, then only up";
    previousBlue = blue;
  }
  EXPECT_LE(darkest, 0xC0 * 46 / 255);  // within two levels of black
  EXPECT_TRUE(h.ShowsNewWhole(run.Final));
}

}  // namespace
}  // namespace saver
