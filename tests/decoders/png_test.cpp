#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

TBitmap32 Gradient(int w, int h) {
  TBitmap32 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, Color32(uint8_t(x * 7), uint8_t(y * 13), uint8_t(x + y), uint8_t(x * y)));
  return b;
}

void ExpectSamePixels(const TBitmap32& a, const TBitmap32& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y)) << "at " << x << "," << y;
}

TEST(PngTest, RoundTripKeepsColoursAndAlpha) {
  TBitmap32 original = Gradient(37, 21);
  std::vector<uint8_t> png = EncodePng(original);
  ExpectSamePixels(DecodePictureMemory(png.data(), png.size(), "PNG"), original);
}

TEST(PngTest, WithoutAlphaComesBackOpaque) {
  TBitmap32 original = Gradient(16, 9);
  std::vector<uint8_t> png = EncodePng(original, false);
  TBitmap32 opaque = original;
  opaque.ResetAlpha(255);
  ExpectSamePixels(DecodePictureMemory(png.data(), png.size(), ".png"), opaque);
}

TEST(PngTest, WritesAFileThatDecodes) {
  auto path = std::filesystem::temp_directory_path() / "decoders_png_test.png";
  TBitmap32 original = Gradient(5, 3);
  WritePng(original, path.string());
  ExpectSamePixels(DecodePictureFile(path.string(), "png"), original);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace saver
