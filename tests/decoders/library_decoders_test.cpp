// JPEG, GIF and TIFF through their libraries, and damage handling of the
// PNG decoder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "decoders/allocation_probe.h"
#include "decoders/picture_builders.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

using namespace saver::testing;
using ::testing::HasSubstr;

TBitmap32 Decode(const Bytes& file, const std::string& ext, TDecodeHint hint = {}) {
  return DecodePictureMemory(file.data(), file.size(), ext, hint);
}

// Mean absolute difference per channel over the whole picture.
double MeanError(const TBitmap32& a, const TBitmap32& b) {
  double sum = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) {
      TColor32 p = a.Pixel(x, y), q = b.Pixel(x, y);
      sum += std::abs(RedOf(p) - RedOf(q)) + std::abs(GreenOf(p) - GreenOf(q)) +
             std::abs(BlueOf(p) - BlueOf(q));
    }
  return sum / (3.0 * a.Width() * a.Height());
}

// Smooth colours that JPEG keeps well.
TBitmap32 SmoothPicture(int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 Color32(uint8_t(x * 255 / (w - 1)), uint8_t(y * 255 / (h - 1)),
                         uint8_t(128 + 100 * std::sin(x * 0.05 + y * 0.03))));
  return b;
}

// Every n-th cut of a file, and the first bytes one by one, must throw.
void ExpectCutsThrow(const Bytes& file, const std::string& ext) {
  for (size_t cut = 0; cut < file.size();
       cut += cut < 64 ? 1 : std::max<size_t>(1, file.size() / 40))
    EXPECT_THROW(Decode(Bytes(file.begin(), file.begin() + long(cut)), ext), DecodeError)
        << ext << " cut at " << cut << " of " << file.size();
}

TEST(JpegTest, DecodesColourGreyAndCmyk) {
  TBitmap32 picture = SmoothPicture(64, 48);
  TBitmap32 colour = Decode(EncodeJpeg(picture, 95), "JPG");
  ASSERT_EQ(colour.Width(), 64);
  ASSERT_EQ(colour.Height(), 48);
  EXPECT_LT(MeanError(colour, picture), 3.0);
  EXPECT_EQ(AlphaOf(colour.Pixel(10, 10)), 255);

  TBitmap32 grey = Decode(EncodeJpeg(picture, 95, true), "jpeg");
  TColor32 p = grey.Pixel(40, 20);
  EXPECT_EQ(RedOf(p), GreenOf(p));
  EXPECT_EQ(GreenOf(p), BlueOf(p));

  // Pure red as CMYK, stored plainly and in the inverted form with the Adobe marker.
  std::vector<uint8_t> plain, inverted;
  for (int i = 0; i < 16 * 16; ++i) {
    plain.insert(plain.end(), {0, 255, 255, 0});
    inverted.insert(inverted.end(), {255, 0, 0, 255});
  }
  for (bool adobe : {false, true}) {
    TBitmap32 red = Decode(EncodeCmykJpeg(16, 16, adobe ? inverted : plain, adobe), "jfif");
    TColor32 c = red.Pixel(8, 8);
    EXPECT_GT(RedOf(c), 240) << adobe;
    EXPECT_LT(GreenOf(c), 15) << adobe;
    EXPECT_LT(BlueOf(c), 15) << adobe;
  }
}

TEST(JpegTest, ScalesDownToTheSmallestSizeThatCoversTheTarget) {
  Bytes jpeg = EncodeJpeg(SmoothPicture(800, 600), 90);
  auto sizeFor = [&](int32_t w, int32_t h) {
    TBitmap32 b = Decode(jpeg, "jpe", {.TargetWidth = w, .TargetHeight = h});
    return std::make_pair(b.Width(), b.Height());
  };
  EXPECT_EQ(sizeFor(0, 0), std::make_pair(800, 600));     // no target: full size
  EXPECT_EQ(sizeFor(100, 75), std::make_pair(100, 75));   // 1/8 exactly
  EXPECT_EQ(sizeFor(101, 75), std::make_pair(200, 150));  // 1/8 is one column short
  EXPECT_EQ(sizeFor(200, 10), std::make_pair(200, 150));  // both directions must cover
  EXPECT_EQ(sizeFor(10, 300), std::make_pair(400, 300));
  EXPECT_EQ(sizeFor(400, 300), std::make_pair(400, 300));  // 1/2
  // Scales above one half are slower than a full decode: full size instead.
  EXPECT_EQ(sizeFor(401, 100), std::make_pair(800, 600));
  EXPECT_EQ(sizeFor(4000, 3000), std::make_pair(800, 600));  // never enlarged
  // The scaled picture still looks like the original.
  TBitmap32 small = Decode(jpeg, "jpg", {.TargetWidth = 200, .TargetHeight = 150});
  TBitmap32 reference = SmoothPicture(800, 600);
  TColor32 s = small.Pixel(100, 75), r = reference.Pixel(401, 301);
  EXPECT_NEAR(RedOf(s), RedOf(r), 8);
  EXPECT_NEAR(GreenOf(s), GreenOf(r), 8);
}

TEST(JpegTest, DamagedAndOversizedFilesThrow) {
  Bytes jpeg = EncodeJpeg(SmoothPicture(64, 48), 90);
  ExpectCutsThrow(jpeg, "jpg");
  // A start-of-frame that states 60000 x 60000.
  Bytes huge = jpeg;
  for (size_t i = 2; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0xEA, huge[i + 6] = 0x60, huge[i + 7] = 0xEA, huge[i + 8] = 0x60;
      break;
    }
  ResetLargestAllocation();
  try {
    Decode(huge, "jpg");
    FAIL() << "decoded an oversized JPEG";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);
  Bytes noImage = {0xFF, 0xD8, 0xFF, 0xD9};
  EXPECT_THROW(Decode(noImage, "jpg"), DecodeError);
}

TEST(GifTest, FirstImageWithTransparencyAndInterlace) {
  const int32_t w = 7, h = 11;
  std::vector<uint8_t> indices;
  for (int32_t i = 0; i < w * h; ++i) indices.push_back(uint8_t(i % 4));
  const std::vector<uint32_t> palette = {0x102030, 0xFF0000, 0x00FF00, 0x0000FF};
  for (bool interlace : {false, true}) {
    TBitmap32 b = Decode(EncodeGif(indices, w, h, palette, 2, interlace), "GIF");
    ASSERT_EQ(b.Width(), w);
    ASSERT_EQ(b.Height(), h);
    for (int32_t i = 0; i < w * h; ++i) {
      TColor32 want = indices[size_t(i)] == 2 ? 0 : 0xFF000000 | palette[indices[size_t(i)]];
      ASSERT_EQ(b.Pixel(i % w, i / w), want) << i << (interlace ? " interlaced" : "");
    }
  }
  // An image smaller than the logical screen: the rest is transparent.
  TBitmap32 framed =
      Decode(EncodeGif(std::vector<uint8_t>(4, 1), 2, 2, palette, -1, false, 5, 4, 3, 1), "gif");
  ASSERT_EQ(framed.Width(), 5);
  ASSERT_EQ(framed.Height(), 4);
  EXPECT_EQ(framed.Pixel(3, 1), 0xFFFF0000u);
  EXPECT_EQ(framed.Pixel(4, 2), 0xFFFF0000u);
  EXPECT_EQ(framed.Pixel(2, 1), 0u);
  EXPECT_EQ(framed.Pixel(3, 3), 0u);
}

TEST(GifTest, DamagedAndOversizedFilesThrow) {
  std::vector<uint8_t> indices(20 * 20);
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i * 7 % 256);
  std::vector<uint32_t> palette(256);
  for (size_t i = 0; i < 256; ++i) palette[i] = uint32_t(i * 0x010203);
  Bytes gif = EncodeGif(indices, 20, 20, palette, -1, false);
  // Without its trailer the image is complete; cuts before that must throw.
  ExpectCutsThrow(Bytes(gif.begin(), gif.end() - 2), "gif");
  Bytes huge = EncodeGif(indices, 20, 20, palette, -1, false, 65535, 65535);
  ResetLargestAllocation();
  try {
    Decode(huge, "gif");
    FAIL() << "decoded an oversized GIF";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);
}

TEST(TiffTest, DecodesRgbAndStraightAlpha) {
  TBitmap32 opaque = Pattern(23, 17, false);
  TBitmap32 rgb = Decode(EncodeTiff(opaque, false), "tif");
  ASSERT_EQ(rgb.Width(), 23);
  for (int32_t y = 0; y < 17; ++y)
    for (int32_t x = 0; x < 23; ++x)
      ASSERT_EQ(rgb.Pixel(x, y), opaque.Pixel(x, y)) << x << "," << y;

  TBitmap32 translucent = Pattern(23, 17, true);
  TBitmap32 rgba = Decode(EncodeTiff(translucent, true), "TIFF");
  for (int32_t y = 0; y < 17; ++y)
    for (int32_t x = 0; x < 23; ++x) {
      TColor32 got = rgba.Pixel(x, y), want = translucent.Pixel(x, y);
      ASSERT_EQ(AlphaOf(got), AlphaOf(want));
      // Colours come back from the library premultiplied; undoing that rounds.
      ASSERT_NEAR(RedOf(got), RedOf(want), 3) << x << "," << y;
      ASSERT_NEAR(BlueOf(got), BlueOf(want), 3) << x << "," << y;
    }
}

// A hand-made little-endian TIFF header and directory stating a size.
Bytes TiffStating(uint32_t width, uint32_t height) {
  Bytes t = {'I', 'I', 42, 0};
  PutU32(t, 8);
  const uint16_t tags[][2] = {{256, 4}, {257, 4}, {258, 3}, {259, 3}, {262, 3},
                              {273, 4}, {277, 3}, {278, 4}, {279, 4}};
  const uint32_t values[] = {width, height, 8, 1, 2, 200, 3, height, 3 * width};
  PutU16(t, 9);
  for (int i = 0; i < 9; ++i) {
    PutU16(t, tags[i][0]);
    PutU16(t, tags[i][1]);
    PutU32(t, 1);
    PutU32(t, values[i]);
  }
  PutU32(t, 0);
  t.resize(200 + size_t(std::min<uint64_t>(uint64_t(3) * width * height, 4096)), 0x55);
  return t;
}

TEST(TiffTest, DamagedAndOversizedFilesThrow) {
  ExpectCutsThrow(EncodeTiff(Pattern(30, 20, false), false), "fax");
  EXPECT_EQ(Decode(TiffStating(10, 5), "tif").Width(), 10);  // the hand-made header is sound
  ResetLargestAllocation();
  try {
    Decode(TiffStating(100000, 100000), "tif");
    FAIL() << "decoded an oversized TIFF";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);
}

TEST(PngDamageTest, CutCorruptedAndOversizedFilesThrow) {
  Bytes png = EncodePng(Pattern(40, 30, true));
  ExpectCutsThrow(png, "png");
  Bytes corrupted = png;
  corrupted[corrupted.size() / 2] ^= 0x5A;  // inside the image data: CRC or inflate error
  EXPECT_THROW(Decode(corrupted, "png"), DecodeError);
  ResetLargestAllocation();
  try {
    Decode(WithPngSize(png, 30000, 30000), "png");
    FAIL() << "decoded an oversized PNG";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);
}

}  // namespace
}  // namespace saver
