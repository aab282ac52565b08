#include "payload/compose/draw_picture.h"

#include <gtest/gtest.h>

namespace saver {
namespace {

constexpr TColor32 kBack = 0xFF0000FFu;  // blue background
constexpr TColor32 kRed = 0xFFFF0000u;

TBitmap32 Solid(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

TEST(DrawPicture, WithoutMaskCoversTheDestinationOpaquely) {
  TBitmap32 target = Solid(40, 30, kBack);
  TBitmap32 picture = Solid(4, 3, 0x00FF0000u);  // alpha 0 is ignored
  DrawPicture(picture, target, Rect(10, 10, 30, 25), nullptr);
  EXPECT_EQ(target.Pixel(10, 10), kRed);
  EXPECT_EQ(target.Pixel(29, 24), kRed);
  EXPECT_EQ(target.Pixel(9, 10), kBack);
  EXPECT_EQ(target.Pixel(30, 24), kBack);
  EXPECT_EQ(target.Pixel(10, 25), kBack);
  EXPECT_EQ(AlphaOf(picture.Pixel(0, 0)), 255);
}

TEST(DrawPicture, MaskGreyLevelsBecomeOpacity) {
  // Mask columns: black, grey 128, white; stretched 11x into the destination,
  // so the middle of each stretched column samples one mask pixel exactly.
  TBitmap32 mask(3, 1);
  mask.SetPixel(0, 0, 0xFF000000u);
  mask.SetPixel(1, 0, 0xFF808080u);
  mask.SetPixel(2, 0, 0xFFFFFFFFu);
  TBitmap32 target = Solid(45, 10, kBack);
  TBitmap32 picture = Solid(3, 1, kRed);
  DrawPicture(picture, target, Rect(5, 0, 38, 10), &mask);

  EXPECT_EQ(target.Pixel(10, 5), kBack);     // black: transparent
  EXPECT_EQ(target.Pixel(32, 5), kRed);      // white: opaque
  const TColor32 mid = target.Pixel(21, 5);  // grey 128: about half of each
  EXPECT_NEAR(RedOf(mid), 128, 1);
  EXPECT_NEAR(BlueOf(mid), 127, 1);
  EXPECT_EQ(AlphaOf(mid), 255);
  // Outside the destination the black mask layer hides the (empty) layer.
  EXPECT_EQ(target.Pixel(2, 5), kBack);
  EXPECT_EQ(target.Pixel(40, 5), kBack);
}

TEST(DrawPicture, EmptyMaskLeavesOnlyTheBackground) {
  TBitmap32 target = Solid(20, 20, kBack);
  TBitmap32 picture = Solid(5, 5, kRed);
  const TBitmap32 empty;
  DrawPicture(picture, target, Rect(0, 0, 20, 20), &empty);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(target.Pixel(x, y), kBack);
}

TEST(DrawPicture, MaskedDestinationPartlyOffTheTarget) {
  TBitmap32 target = Solid(20, 20, kBack);
  TBitmap32 picture = Solid(10, 10, kRed);
  const TBitmap32 white = Solid(2, 2, 0xFFFFFFFFu);
  DrawPicture(picture, target, Rect(-5, 15, 15, 35), &white);
  EXPECT_EQ(target.Pixel(0, 15), kRed);
  EXPECT_EQ(target.Pixel(14, 19), kRed);
  EXPECT_EQ(target.Pixel(15, 19), kBack);
  EXPECT_EQ(target.Pixel(0, 14), kBack);
}

TEST(ApplyMaskAlpha, TakesTheBlueChannelOfTheStretchedMask) {
  TBitmap32 target = Solid(4, 2, 0x80123456u);
  TBitmap32 mask(2, 1);
  mask.SetPixel(0, 0, 0xFFFFFF10u);  // blue 0x10 counts, red and green do not
  mask.SetPixel(1, 0, 0xFF0000F0u);
  ApplyMaskAlpha(target, mask);
  EXPECT_EQ(target.Pixel(0, 0), 0x10123456u);
  EXPECT_EQ(target.Pixel(0, 1), 0x10123456u);
  EXPECT_EQ(target.Pixel(3, 1), 0xF0123456u);
  ApplyMaskAlpha(target, TBitmap32());
  EXPECT_EQ(target.Pixel(3, 1), 0x00123456u);
}

TEST(FlattenOnBlack, TransparencyBecomesBlackAndEverythingOpaque) {
  TBitmap32 b(3, 1);
  b.SetPixel(0, 0, 0x00FFFFFFu);
  b.SetPixel(1, 0, 0x80FF8000u);
  b.SetPixel(2, 0, 0xFF123456u);
  FlattenOnBlack(b);
  EXPECT_EQ(b.Pixel(0, 0), 0xFF000000u);
  EXPECT_NEAR(RedOf(b.Pixel(1, 0)), 128, 1);
  EXPECT_NEAR(GreenOf(b.Pixel(1, 0)), 64, 1);
  EXPECT_EQ(AlphaOf(b.Pixel(1, 0)), 255);
  EXPECT_EQ(b.Pixel(2, 0), 0xFF123456u);
}

}  // namespace
}  // namespace saver
