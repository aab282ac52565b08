#include "payload/compose/back_picture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "payload/format/log_line.h"

namespace saver {
namespace {

constexpr TColor32 kBack = 0xFF000000u;

// A w x h picture whose pixel (x, y) encodes its own coordinates.
TBitmap32 Coded(int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b.SetPixel(x, y, Color32(uint8_t(x), uint8_t(y), 200));
  return b;
}

TEST(DrawBackPicture, TilesFromTheTopLeftAndCutsTheLastTiles) {
  std::vector<std::string> log;
  SetLogSink([&](const std::string& line) { log.push_back(line); });
  TBitmap32 canvas(25, 17);
  canvas.Clear(kBack);
  DrawBackPicture(canvas, 25, 17, 0, Coded(10, 8));
  SetLogSink({});
  EXPECT_EQ(log, std::vector<std::string>{"Stretch mode = 0"});
  EXPECT_EQ(canvas.Pixel(0, 0), Color32(0, 0, 200));
  EXPECT_EQ(canvas.Pixel(13, 9), Color32(3, 1, 200));
  EXPECT_EQ(canvas.Pixel(24, 16), Color32(4, 0, 200));
}

TEST(DrawBackPicture, TilesOnlyInsideTheArea) {
  TBitmap32 canvas(30, 30);
  canvas.Clear(kBack);
  DrawBackPicture(canvas, 15, 12, 0, Coded(10, 10));
  EXPECT_EQ(canvas.Pixel(14, 11), Color32(4, 1, 200));
  EXPECT_EQ(canvas.Pixel(15, 5), kBack);
  EXPECT_EQ(canvas.Pixel(5, 12), kBack);
}

TEST(DrawBackPicture, TiledKeepsTransparency) {
  TBitmap32 canvas(4, 4);
  canvas.Clear(kBack);
  TBitmap32 clear(2, 2);  // all transparent
  DrawBackPicture(canvas, 4, 4, 0, clear);
  EXPECT_EQ(canvas.Pixel(3, 3), kBack);
}

TEST(DrawBackPicture, EmptyPictureIsNotTiled) {
  TBitmap32 canvas(8, 8);
  canvas.Clear(kBack);
  DrawBackPicture(canvas, 8, 8, 0, TBitmap32());
  EXPECT_EQ(canvas.Pixel(4, 4), kBack);
}

TEST(DrawBackPicture, FittedKeepsTheAspectRatio) {
  TBitmap32 canvas(80, 40);
  canvas.Clear(kBack);
  canvas.Clear(0xFF0000FFu);
  TBitmap32 red(10, 10);
  red.Clear(0xFFFF0000u);
  for (int32_t y = 0; y < 10; ++y) red.SetPixel(0, y, 0x00FFFFFFu);  // transparent column
  DrawBackPicture(canvas, 80, 40, 1, red);
  EXPECT_EQ(canvas.Pixel(19, 20), 0xFF0000FFu);
  EXPECT_EQ(canvas.Pixel(20, 0), 0xFF000000u);  // scaled pictures are opaque: black there
  EXPECT_EQ(canvas.Pixel(30, 20), 0xFFFF0000u);
  EXPECT_EQ(canvas.Pixel(59, 39), 0xFFFF0000u);
  EXPECT_EQ(canvas.Pixel(60, 20), 0xFF0000FFu);
}

TEST(DrawBackPicture, CentredSmallIsUnscaledAndLargeIsScaledDown) {
  TBitmap32 canvas(40, 30);
  canvas.Clear(kBack);
  DrawBackPicture(canvas, 40, 30, 2, Coded(10, 6));
  EXPECT_EQ(canvas.Pixel(15, 12), Color32(0, 0, 200));
  EXPECT_EQ(canvas.Pixel(24, 17), Color32(9, 5, 200));
  EXPECT_EQ(canvas.Pixel(14, 12), kBack);

  canvas.Clear(kBack);
  TBitmap32 wide(80, 20);
  wide.Clear(0xFF00FF00u);
  DrawBackPicture(canvas, 40, 30, 5, wide);  // any mode but 0 and 1 centres
  // Fitted into (0, 10, 40, 20), not cut off.
  EXPECT_EQ(canvas.Pixel(0, 10), 0xFF00FF00u);
  EXPECT_EQ(canvas.Pixel(39, 19), 0xFF00FF00u);
  EXPECT_EQ(canvas.Pixel(20, 9), kBack);
  EXPECT_EQ(canvas.Pixel(20, 20), kBack);
}

}  // namespace
}  // namespace saver
