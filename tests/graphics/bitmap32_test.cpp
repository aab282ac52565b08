#include <gtest/gtest.h>

#include "graphics/bitmap32.h"

namespace saver {
namespace {

TEST(Bitmap32, DrawClipsAtEveryEdge) {
  TBitmap32 dst(4, 3), src(3, 3);
  dst.Clear(0xFF000000);
  src.Clear(0xFFFFFFFF);
  src.DrawTo(dst, 2, -1);
  EXPECT_EQ(dst.Pixel(1, 0), 0xFF000000u);
  EXPECT_EQ(dst.Pixel(2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Pixel(3, 1), 0xFFFFFFFFu);
  EXPECT_EQ(dst.Pixel(3, 2), 0xFF000000u);
}

TEST(Bitmap32, BlendWeighsSourceAlphaByMasterAlpha) {
  TBitmap32 dst(1, 1), src(1, 1);
  dst.Clear(Color32(0, 0, 0));
  src.Clear(Color32(255, 255, 255, 255));
  src.DrawMode = TDrawMode::Blend;
  src.MasterAlpha = 128;
  src.DrawTo(dst, 0, 0);
  EXPECT_EQ(RedOf(dst.Pixel(0, 0)), 128);
  EXPECT_EQ(AlphaOf(dst.Pixel(0, 0)), 255);
}

TEST(Bitmap32, StretchOfUniformPictureStaysUniform) {
  TBitmap32 src(3, 2), dst(7, 5);
  src.Clear(Color32(10, 20, 30));
  src.DrawTo(dst, dst.BoundsRect(), src.BoundsRect());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(dst.Pixel(x, y), Color32(10, 20, 30));
}

}  // namespace
}  // namespace saver
