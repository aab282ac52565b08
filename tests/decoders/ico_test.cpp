#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "decoders/allocation_probe.h"
#include "decoders/picture_builders.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

using namespace saver::testing;
using ::testing::HasSubstr;

TBitmap32 DecodeIcon(const Bytes& file) {
  return DecodePictureMemory(file.data(), file.size(), "ico");
}

std::vector<bool> Checkerboard(int32_t w, int32_t h) {
  std::vector<bool> mask;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) mask.push_back((x + y) % 2 == 1);
  return mask;
}

TIconEntry Dib8Entry(int32_t size) {
  std::vector<uint8_t> indices;
  for (int32_t i = 0; i < size * size; ++i) indices.push_back(uint8_t(i % 3));
  return {
      uint8_t(size), uint8_t(size), 8,
      BuildIconDib8(indices, size, size, {0xFF0000, 0x00FF00, 0x0000FF}, Checkerboard(size, size))};
}

TIconEntry Dib32Entry(const TBitmap32& picture) {
  return {uint8_t(picture.Width()), uint8_t(picture.Height()), 32,
          BuildIconDib32(picture, std::vector<bool>(size_t(picture.Width() * picture.Height())))};
}

TIconEntry PngEntry(const TBitmap32& picture) {
  // Directory sizes of 256 and more are stored as 0; the PNG header tells the truth.
  return {0, 0, 32, EncodePng(picture)};
}

TEST(IcoTest, PicksTheLargestImageWhateverItsForm) {
  TBitmap32 big = Pattern(300, 260, true);
  TBitmap32 mid = Pattern(32, 32, true);
  // A PNG image among bitmaps, not first in the directory.
  TBitmap32 b = DecodeIcon(BuildIco({Dib8Entry(16), PngEntry(big), Dib32Entry(mid)}));
  ASSERT_EQ(b.Width(), 300);
  ASSERT_EQ(b.Height(), 260);
  EXPECT_EQ(b.Pixel(17, 90), big.Pixel(17, 90));

  // A 32-bit bitmap larger than the PNG wins and keeps its alpha.
  TBitmap32 c =
      DecodeIcon(BuildIco({PngEntry(Pattern(8, 8, true)), Dib32Entry(mid), Dib8Entry(16)}));
  ASSERT_EQ(c.Width(), 32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(c.Pixel(x, y), mid.Pixel(x, y)) << x << "," << y;

  // Equal sizes: the deeper image wins.
  TBitmap32 same = Pattern(16, 16, true);
  TBitmap32 d = DecodeIcon(BuildIco({Dib8Entry(16), Dib32Entry(same)}));
  EXPECT_EQ(d.Pixel(3, 5), same.Pixel(3, 5));
}

TEST(IcoTest, AndMaskMakesPixelsTransparent) {
  TBitmap32 b = DecodeIcon(BuildIco({Dib8Entry(5)}));
  const TColor32 palette[] = {Color32(255, 0, 0), Color32(0, 255, 0), Color32(0, 0, 255)};
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x)
      EXPECT_EQ(b.Pixel(x, y), (x + y) % 2 ? 0u : palette[(y * 5 + x) % 3]) << x << "," << y;

  // 32-bit colour rows whose alpha is all 0 fall back to the AND mask.
  TBitmap32 noAlpha = Pattern(4, 4, false);
  noAlpha.ResetAlpha(0);
  TBitmap32 c = DecodeIcon(BuildIco({{4, 4, 32, BuildIconDib32(noAlpha, Checkerboard(4, 4))}}));
  EXPECT_EQ(c.Pixel(0, 0), noAlpha.Pixel(0, 0) | 0xFF000000);
  EXPECT_EQ(c.Pixel(1, 0), 0u);
}

TEST(IcoTest, DamagedFilesThrow) {
  Bytes file = BuildIco({Dib8Entry(4), Dib32Entry(Pattern(8, 8, true))});
  // The largest image is last: any cut leaves it incomplete.
  for (size_t cut = 0; cut < file.size(); ++cut)
    EXPECT_THROW(DecodeIcon(Bytes(file.begin(), file.begin() + long(cut))), DecodeError) << cut;
  Bytes noImages = {0, 0, 1, 0, 0, 0};
  EXPECT_THROW(DecodeIcon(noImages), DecodeError);
  Bytes wrongType = file;
  wrongType[2] = 3;
  EXPECT_THROW(DecodeIcon(wrongType), DecodeError);
  Bytes pastEnd = file;
  pastEnd[6 + 16 + 12] = 0xF0;  // second image's offset far beyond the file
  EXPECT_THROW(DecodeIcon(pastEnd), DecodeError);
}

TEST(IcoTest, OversizedImageIsRefusedBeforeAllocating) {
  Bytes png = WithPngSize(EncodePng(Pattern(2, 2, false)), 20000, 20000);
  ResetLargestAllocation();
  try {
    DecodeIcon(BuildIco({{0, 0, 32, png}}));
    FAIL() << "decoded an oversized icon";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);
}

}  // namespace
}  // namespace saver
