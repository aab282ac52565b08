#include "graphics/bitmap32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

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
  // Even a destination rectangle as wide as the coordinates go.
  src.Clear(Color32(40, 50, 60));
  src.DrawTo(dst, Rect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), src.BoundsRect());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(dst.Pixel(x, y), Color32(40, 50, 60));
}

TBitmap32 Noise(int w, int h, uint32_t seed) {
  TBitmap32 b(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, TColor32(rng()));
  return b;
}

// The blend as a formula, one pixel and one channel at a time.
TColor32 ReferenceBlend(TColor32 src, TColor32 dst, uint32_t master) {
  const uint32_t a = (AlphaOf(src) * master + 127) / 255, ia = 255 - a;
  TColor32 out = (a + (AlphaOf(dst) * ia + 127) / 255) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    out |= ((((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * ia + 127) / 255) << shift;
  return out;
}

TEST(Bitmap32, BlendMatchesTheFormulaForEveryAlphaAndMasterAlpha) {
  // Long rows so the vector loops and their tails both run.
  const int n = 256 + 37;
  TBitmap32 src = Noise(n, 1, 1), dst = Noise(n, 1, 2);
  src.DrawMode = TDrawMode::Blend;
  for (uint32_t master = 0; master < 256; ++master) {
    for (int x = 0; x < n; ++x)  // every source alpha for every master alpha
      src.SetPixel(x, 0, (src.Pixel(x, 0) & 0xFFFFFF) | (TColor32((x + master) & 0xFF) << 24));
    TBitmap32 out = dst;
    src.MasterAlpha = uint8_t(master);
    src.DrawTo(out, 0, 0);
    for (int x = 0; x < n; ++x)
      ASSERT_EQ(out.Pixel(x, 0), ReferenceBlend(src.Pixel(x, 0), dst.Pixel(x, 0), master))
          << "master " << master << " x " << x;
  }
}

TEST(Bitmap32, MasterAlphaZeroKeepsAndFullOpaqueReplaces) {
  TBitmap32 src = Noise(9, 4, 3), dst = Noise(9, 4, 4);
  src.ResetAlpha(255);
  src.DrawMode = TDrawMode::Blend;
  TBitmap32 out = dst;
  src.MasterAlpha = 0;
  src.DrawTo(out, 0, 0);
  src.DrawTo(out, out.BoundsRect(), Rect(0, 0, 4, 2));
  EXPECT_EQ(out.Pixel(3, 3), dst.Pixel(3, 3));
  for (int y = 0; y < 4; ++y)
    EXPECT_TRUE(std::equal(out.ScanLine(y), out.ScanLine(y) + 9, dst.ScanLine(y)));
  src.MasterAlpha = 255;
  src.DrawTo(out, 0, 0);
  for (int y = 0; y < 4; ++y)
    EXPECT_TRUE(std::equal(out.ScanLine(y), out.ScanLine(y) + 9, src.ScanLine(y)));
}

TEST(Bitmap32, IdentityStretchEqualsCopyAndTwiceUpscaleInterpolates) {
  const TBitmap32 src = Noise(13, 7, 5);
  TBitmap32 a(20, 10), b(20, 10);
  src.DrawTo(a, Rect(3, 2, 16, 9), src.BoundsRect());
  src.DrawTo(b, 3, 2);
  for (int y = 0; y < 10; ++y)
    ASSERT_TRUE(std::equal(a.ScanLine(y), a.ScanLine(y) + 20, b.ScanLine(y)));

  TBitmap32 pair(2, 1), wide(4, 2);
  pair.SetPixel(0, 0, Color32(0, 0, 0));
  pair.SetPixel(1, 0, Color32(255, 255, 255));
  pair.DrawTo(wide, wide.BoundsRect(), pair.BoundsRect());
  for (int y = 0; y < 2; ++y) {
    EXPECT_EQ(wide.Pixel(0, y), Color32(0, 0, 0));
    EXPECT_EQ(wide.Pixel(1, y), Color32(64, 64, 64));
    EXPECT_EQ(wide.Pixel(2, y), Color32(191, 191, 191));
    EXPECT_EQ(wide.Pixel(3, y), Color32(255, 255, 255));
  }
  // Vertically the same weights apply.
  TBitmap32 column(1, 2), tall(1, 4);
  column.SetPixel(0, 0, Color32(0, 0, 0, 0));
  column.SetPixel(0, 1, Color32(200, 100, 40, 255));
  column.DrawTo(tall, tall.BoundsRect(), column.BoundsRect());
  EXPECT_EQ(tall.Pixel(0, 1), Color32(50, 25, 10, 64));
  EXPECT_EQ(tall.Pixel(0, 2), Color32(150, 75, 30, 191));
}

// Bilinear stretch as a formula per output pixel, with the sample positions in doubles.
void ReferenceStretch(const TBitmap32& src, TBitmap32& dst, const TRect& dr, const TRect& sr) {
  const TRect s = IntersectRect(sr, src.BoundsRect()), d = IntersectRect(dr, dst.BoundsRect());
  const double sx = double(sr.Width()) / dr.Width(), sy = double(sr.Height()) / dr.Height();
  for (int y = d.Top; y < d.Bottom; ++y) {
    const double fy =
        std::clamp(sr.Top + (y - dr.Top + 0.5) * sy - 0.5, double(s.Top), double(s.Bottom - 1));
    const int y0 = int(fy), y1 = std::min(y0 + 1, s.Bottom - 1);
    const uint32_t wy = uint32_t((fy - y0) * 256);
    for (int x = d.Left; x < d.Right; ++x) {
      const double fx =
          std::clamp(sr.Left + (x - dr.Left + 0.5) * sx - 0.5, double(s.Left), double(s.Right - 1));
      const int x0 = int(fx), x1 = std::min(x0 + 1, s.Right - 1);
      const uint32_t wx = uint32_t((fx - x0) * 256);
      TColor32 out = 0;
      for (int sh = 0; sh < 32; sh += 8) {
        auto ch = [&](int px, int py) { return (src.Pixel(px, py) >> sh) & 0xFF; };
        const uint32_t top = ch(x0, y0) * (256 - wx) + ch(x1, y0) * wx;
        const uint32_t bot = ch(x0, y1) * (256 - wx) + ch(x1, y1) * wx;
        out |= ((top * (256 - wy) + bot * wy + 32768) >> 16) << sh;
      }
      dst.SetPixel(x, y,
                   src.DrawMode == TDrawMode::Opaque
                       ? out
                       : ReferenceBlend(out, dst.Pixel(x, y), src.MasterAlpha));
    }
  }
}

TEST(Bitmap32, StretchMatchesTheFormulaWhenClippedOnEverySide) {
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> pos(-12, 30), size(1, 40);
  for (int trial = 0; trial < 400; ++trial) {
    TBitmap32 src = Noise(size(rng), size(rng), rng());
    const TBitmap32 base = Noise(size(rng), size(rng), rng());
    const TRect dr = Rect(pos(rng), pos(rng), 0, 0), sr = Rect(pos(rng) / 3, pos(rng) / 3, 0, 0);
    const TRect dstRect = Rect(dr.Left, dr.Top, dr.Left + size(rng), dr.Top + size(rng));
    const TRect srcRect = Rect(sr.Left, sr.Top, sr.Left + size(rng), sr.Top + size(rng));
    src.DrawMode = trial % 2 ? TDrawMode::Blend : TDrawMode::Opaque;
    src.MasterAlpha = uint8_t(rng());
    TBitmap32 fast = base, expected = base;
    src.DrawTo(fast, dstRect, srcRect);
    if (!(srcRect == IntersectRect(srcRect, src.BoundsRect()) &&
          srcRect.Width() == dstRect.Width() && srcRect.Height() == dstRect.Height()) &&
        !IntersectRect(srcRect, src.BoundsRect()).IsEmpty())
      ReferenceStretch(src, expected, dstRect, srcRect);
    else if (!IntersectRect(srcRect, src.BoundsRect()).IsEmpty())
      src.DrawTo(expected, dstRect.Left - srcRect.Left, dstRect.Top - srcRect.Top);
    for (int y = 0; y < base.Height(); ++y)
      for (int x = 0; x < base.Width(); ++x)
        ASSERT_EQ(fast.Pixel(x, y), expected.Pixel(x, y))
            << "trial " << trial << " at " << x << "," << y;
  }
}

TEST(Bitmap32, DrawingOntoItselfReadsTheOriginalPixels) {
  TBitmap32 b(5, 5), original;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) b.SetPixel(x, y, Color32(uint8_t(x), uint8_t(y), 0));
  original = b;
  b.DrawTo(b, 1, 1);
  EXPECT_EQ(b.Pixel(4, 4), original.Pixel(3, 3));
  EXPECT_EQ(b.Pixel(1, 1), original.Pixel(0, 0));
  b = original;
  b.DrawTo(b, Rect(0, 0, 5, 5), Rect(1, 1, 4, 4));  // zoom the middle onto the whole
  TBitmap32 expected = original;
  original.DrawTo(expected, Rect(0, 0, 5, 5), Rect(1, 1, 4, 4));
  EXPECT_EQ(b.Pixel(4, 4), expected.Pixel(4, 4));
  EXPECT_EQ(b.Pixel(2, 0), expected.Pixel(2, 0));
}

TEST(Bitmap32, CopyRectClipsBothSidesAndHandlesOverlap) {
  const TBitmap32 src = Noise(6, 6, 12);
  TBitmap32 dst(5, 5);
  dst.CopyRect(src, Rect(-2, 1, 4, 9), TPoint{1, -1});
  // The valid source is (0,1)-(4,6), moved by (3, -2): lands on (3,0)-(5,4) after clipping.
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const bool inside = x >= 3 && y < 4;
      EXPECT_EQ(dst.Pixel(x, y), inside ? src.Pixel(x - 3, y + 2) : 0u) << x << "," << y;
    }

  const std::pair<TRect, TPoint> moves[] = {
      {Rect(1, 1, 5, 5), {1, 1}}, {Rect(1, 1, 5, 5), {-1, -1}}, {Rect(1, 1, 5, 5), {2, 0}},
      {Rect(1, 1, 5, 5), {0, 2}}, {Rect(0, 0, 6, 4), {0, 2}},   {Rect(0, 2, 6, 6), {0, 0}},
  };
  for (const auto& [from, to] : moves) {
    TBitmap32 b = Noise(6, 6, 13);
    const TBitmap32 original = b;
    b.CopyRect(b, from, to);
    TBitmap32 expected = original;
    expected.CopyRect(original, from, to);
    for (int y = 0; y < 6; ++y)
      ASSERT_TRUE(std::equal(b.ScanLine(y), b.ScanLine(y) + 6, expected.ScanLine(y)));
  }
  // Far away nothing lands, and nothing overflows.
  const TBitmap32 before = dst;
  dst.CopyRect(src, Rect(0, 0, 6, 6), TPoint{INT32_MAX, INT32_MIN});
  src.DrawTo(dst, INT32_MAX - 2, INT32_MAX - 2);
  src.DrawTo(dst, INT32_MIN, 0);
  for (int y = 0; y < 5; ++y)
    ASSERT_TRUE(std::equal(dst.ScanLine(y), dst.ScanLine(y) + 5, before.ScanLine(y)));
}

TEST(Bitmap32, SizeClearAndAlpha) {
  TBitmap32 b(-3, 5);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
  b.SetSize(3, 2);
  EXPECT_EQ(b.Pixel(2, 1), 0u);
  b.Clear(0x12345678);
  b.ResetAlpha();
  EXPECT_EQ(b.Pixel(1, 1), 0xFF345678u);
  EXPECT_EQ(b.PixelS(3, 0), 0u);
  b.SetPixelS(-1, 0, 1);
  b.FillRect(Rect(2, -5, 9, 1), 7);
  EXPECT_EQ(b.Pixel(2, 0), 7u);
  EXPECT_EQ(b.Pixel(1, 0), 0xFF345678u);
  EXPECT_EQ(b.Pixel(2, 1), 0xFF345678u);
  TBitmap32 copy;
  copy.Assign(b);
  b.SetPixel(0, 0, 0);
  EXPECT_EQ(copy.Pixel(0, 0), 0xFF345678u);
  EXPECT_EQ(copy.Pixel(2, 0), 7u);
}

}  // namespace
}  // namespace saver
