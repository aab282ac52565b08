#include "payload/compose/gradient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "payload/compose/mul_div.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

constexpr TColorRef kBlack = 0x000000, kWhite = 0xFFFFFF;
constexpr TColor32 kC1 = 0xFF000000u, kC2 = 0xFFFFFFFFu;

TBitmap32 Paint(int32_t style, int32_t w, int32_t h, TColorRef c1 = kBlack,
                TColorRef c2 = kWhite) {
  TBitmap32 b(w, h);
  GradientFill(b, style, c1, c2, b.BoundsRect());
  return b;
}

// Step i of D from black to white is a grey of MulDiv(i, 255, D).
TColor32 Grey(int32_t i, int32_t D) {
  const uint8_t v = uint8_t(MulDiv(i, 255, D));
  return Color32(v, v, v);
}

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(4, 800, 256), 13);  // 12.5
  EXPECT_EQ(MulDiv(3, 800, 256), 9);   // 9.375
  EXPECT_EQ(MulDiv(-4, 800, 256), -13);
  EXPECT_EQ(MulDiv(4, -800, 256), -13);
  EXPECT_EQ(MulDiv(4, 800, -256), -13);
  EXPECT_EQ(MulDiv(5, 3, 2), 8);       // 7.5
  EXPECT_EQ(MulDiv(1 << 30, 4, 8), 1 << 29);  // 64-bit product
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(GradientStep, MovesEachChannelFromFirstToSecondColour) {
  // c1 = red 10, green 200, blue 0; c2 = red 20, green 100, blue 255 (0x00BBGGRR).
  const TColorRef c1 = 0x00C80A, c2 = 0xFF6414;
  EXPECT_EQ(GradientStep(c1, c2, 0, 255), Color32(10, 200, 0));
  EXPECT_EQ(GradientStep(c1, c2, 255, 255), Color32(20, 100, 255));
  EXPECT_EQ(GradientStep(c1, c2, 1, 2), Color32(15, 150, 128));  // 127.5 -> 128
}

TEST(GradientFill, VerticalBandsFollowMulDivBounds) {
  for (int32_t style : {0, 2}) {
    const TBitmap32 b = Paint(style, 800, 10);
    // Bands start at 0, 3, 6, and the fourth spans 9 to 12 (12.5 rounds to 13).
    EXPECT_EQ(b.Pixel(0, 5), Grey(0, 255));
    EXPECT_EQ(b.Pixel(2, 5), Grey(0, 255));
    EXPECT_EQ(b.Pixel(3, 5), Grey(1, 255));
    EXPECT_EQ(b.Pixel(5, 5), Grey(1, 255));
    EXPECT_EQ(b.Pixel(6, 5), Grey(2, 255));
    EXPECT_EQ(b.Pixel(8, 5), Grey(2, 255));
    EXPECT_EQ(b.Pixel(9, 5), Grey(3, 255));
    EXPECT_EQ(b.Pixel(12, 5), Grey(3, 255));
    EXPECT_EQ(b.Pixel(13, 5), Grey(4, 255));
    EXPECT_EQ(b.Pixel(799, 9), kC2);
  }
  const TBitmap32 narrow = Paint(0, 512, 4);
  for (int32_t x = 0; x < 512; ++x) EXPECT_EQ(narrow.Pixel(x, 0), Grey(x / 2, 255)) << x;
}

TEST(GradientFill, HorizontalBands) {
  const TBitmap32 b = Paint(1, 5, 512);
  for (int32_t y = 0; y < 512; y += 37) EXPECT_EQ(b.Pixel(4, y), Grey(y / 2, 255)) << y;
}

TEST(GradientFill, TopAndBottomMeetInTheMiddle) {
  const TBitmap32 b = Paint(5, 8, 600);
  EXPECT_EQ(b.Pixel(0, 0), kC1);
  EXPECT_EQ(b.Pixel(7, 599), kC1);
  EXPECT_EQ(b.Pixel(3, 1), Grey(1, 300));
  EXPECT_EQ(b.Pixel(3, 598), Grey(1, 300));
  // The last step, i = 300, paints row 300 and its mirror row 299.
  EXPECT_EQ(b.Pixel(0, 299), kC2);
  EXPECT_EQ(b.Pixel(0, 300), kC2);
  EXPECT_EQ(b.Pixel(0, 298), Grey(298, 300));
  EXPECT_EQ(b.Pixel(0, 301), Grey(298, 300));
}

TEST(GradientFill, LeftAndRightMeetInTheMiddle) {
  const TBitmap32 b = Paint(6, 101, 3);
  EXPECT_EQ(b.Pixel(0, 1), kC1);
  EXPECT_EQ(b.Pixel(100, 1), kC1);
  EXPECT_EQ(b.Pixel(50, 1), kC2);  // half = 50: column 50 is its own mirror
  EXPECT_EQ(b.Pixel(10, 1), Grey(10, 50));
  EXPECT_EQ(b.Pixel(90, 1), Grey(10, 50));
}

TEST(GradientFill, MirroredStylesOnOnePixelEndAtTheSecondColour) {
  EXPECT_EQ(Paint(5, 4, 1).Pixel(2, 0), kC2);
  EXPECT_EQ(Paint(6, 1, 4).Pixel(0, 3), kC2);
}

TEST(GradientFill, EllipsesConvergeOnTheCentre) {
  const TBitmap32 b = Paint(3, 400, 300);
  // The first ellipses cover the whole area, corners included.
  EXPECT_LT(BlueOf(b.Pixel(0, 0)), 20);
  EXPECT_LT(BlueOf(b.Pixel(399, 299)), 20);
  EXPECT_EQ(b.Pixel(201, 151), kC2);
  // Brightness grows toward the centre along the middle row.
  EXPECT_LT(BlueOf(b.Pixel(20, 150)), BlueOf(b.Pixel(100, 150)));
  EXPECT_LT(BlueOf(b.Pixel(100, 150)), BlueOf(b.Pixel(180, 150)));
  // Symmetric left to right, apart from the +4 of the far edge.
  EXPECT_NEAR(BlueOf(b.Pixel(100, 150)), BlueOf(b.Pixel(303, 150)), 4);
}

TEST(GradientFill, RectanglesStepInwardByTruncatedOffsets) {
  const TBitmap32 b = Paint(4, 1020, 510);
  // dx = 2, dy = 1: rectangle i starts at column 2i and row i.
  EXPECT_EQ(b.Pixel(0, 200), Grey(0, 255));
  EXPECT_EQ(b.Pixel(1, 200), Grey(0, 255));
  EXPECT_EQ(b.Pixel(2, 200), Grey(1, 255));
  EXPECT_EQ(b.Pixel(500, 100), Grey(100, 255));
  EXPECT_EQ(b.Pixel(1019, 300), Grey(0, 255));
  EXPECT_EQ(b.Pixel(1017, 300), Grey(1, 255));
  // The last rectangle is empty (x1 = x2 = 510): the middle ends one step short.
  EXPECT_EQ(b.Pixel(510, 255), Grey(254, 255));
}

TEST(GradientFill, PinwheelSweepsEachEdge) {
  const TBitmap32 b = Paint(7, 510, 510);
  // Edge steps are 2 pixels long; each edge is swept in its own direction.
  EXPECT_EQ(b.Pixel(0, 101), Grey(50, 255));     // left edge downward
  EXPECT_EQ(b.Pixel(0, 401), Grey(200, 255));
  EXPECT_EQ(b.Pixel(101, 0), Grey(50, 255));     // top edge rightward
  EXPECT_EQ(b.Pixel(401, 0), Grey(200, 255));
  EXPECT_EQ(b.Pixel(509, 408), Grey(50, 255));   // right edge upward
  EXPECT_EQ(b.Pixel(509, 108), Grey(200, 255));
  EXPECT_EQ(b.Pixel(408, 509), Grey(50, 255));   // bottom edge leftward
  EXPECT_EQ(b.Pixel(108, 509), Grey(200, 255));
}

TEST(GradientFill, DiagonalEndsOnTheRisingDiagonal) {
  const TBitmap32 b = Paint(8, 400, 400);
  EXPECT_EQ(b.Pixel(0, 0), kC1);
  EXPECT_EQ(b.Pixel(399, 399), kC1);
  // The last quadrilateral has no area; the one before it lines the diagonal.
  EXPECT_EQ(b.Pixel(200, 199), Grey(254, 255));
  EXPECT_EQ(b.Pixel(100, 299), Grey(254, 255));
  EXPECT_GT(BlueOf(b.Pixel(150, 150)), BlueOf(b.Pixel(60, 60)));
}

TEST(GradientFill, EqualColoursGiveAFlatColourInEveryStyle) {
  const TColorRef teal = 0x808000;  // red 0, green 128, blue 128
  for (int32_t style = 0; style <= 8; ++style) {
    const TBitmap32 b = Paint(style, 64, 48, teal, teal);
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x)
        ASSERT_EQ(b.Pixel(x, y), Color32(0, 128, 128)) << style << " " << x << "," << y;
  }
}

TEST(GradientFill, PaintsOnlyTheRectangleFromTheOrigin) {
  TBitmap32 b(20, 20);
  b.Clear(0xFF123456u);
  GradientFill(b, 0, kBlack, kWhite, Rect(5, 5, 10, 8));
  // The drawing spans (0, 0, Right, Bottom): 256 bands over 10 columns, the
  // last band painted on column 0 is 12, on column 9 it is 243.
  EXPECT_EQ(b.Pixel(0, 0), Grey(12, 255));
  EXPECT_EQ(b.Pixel(9, 7), Grey(243, 255));
  EXPECT_EQ(b.Pixel(10, 7), 0xFF123456u);
  EXPECT_EQ(b.Pixel(9, 8), 0xFF123456u);
}

TEST(GradientFill, UnknownStylesPaintTheFirstColour) {
  const TBitmap32 b = Paint(9, 10, 10, 0x0000FF, kWhite);
  EXPECT_EQ(b.Pixel(5, 5), Color32(255, 0, 0));
}

// With SAVER_LOOK_DIR set, writes every style at 800 x 600 as gradient-<style>.png
// there, to be looked at.
TEST(GradientFill, WritesEachStyleForLookingAt) {
  const char* dir = std::getenv("SAVER_LOOK_DIR");
  if (!dir) GTEST_SKIP() << "set SAVER_LOOK_DIR to write the pictures";
  for (int32_t style = 0; style <= 8; ++style) {
    const std::string file = std::string(dir) + "/gradient-" + std::to_string(style) + ".png";
    WritePng(Paint(style, 800, 600, 0x602010, 0x40D0FF), file, false);
    EXPECT_TRUE(std::filesystem::exists(file));
  }
}

}  // namespace
}  // namespace saver
