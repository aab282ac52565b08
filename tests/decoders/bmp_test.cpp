#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "decoders/allocation_probe.h"
#include "decoders/picture_builders.h"
#include "payload/decoders/picture_decoder.h"

namespace saver {
namespace {

using namespace saver::testing;
using ::testing::HasSubstr;

TBitmap32 Decode(const Bytes& file, const std::string& ext = "bmp", TDecodeHint hint = {}) {
  return DecodePictureMemory(file.data(), file.size(), ext, hint);
}

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

std::vector<uint32_t> TestPalette(int count) {
  std::vector<uint32_t> palette;
  for (int i = 0; i < count; ++i)
    palette.push_back(uint32_t(i * 17 % 256) << 16 | uint32_t(255 - i) << 8 |
                      uint32_t(i * 5 % 256));
  return palette;
}

TColor32 Opaque(uint32_t rgb) { return 0xFF000000 | rgb; }

// Palette bitmaps at every depth, stored bottom-up and top-down.
TEST(BmpTest, PaletteDepthsInBothRowOrders) {
  for (int bpp : {1, 4, 8}) {
    for (bool topDown : {false, true}) {
      SCOPED_TRACE("bpp " + std::to_string(bpp) + (topDown ? " top-down" : " bottom-up"));
      const int32_t w = 13, h = 7;  // odd width: rows need padding
      std::vector<uint32_t> indices;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) indices.push_back(uint32_t(x * 3 + y * 5) % (1u << bpp));
      TBmpLayout layout{
          .width = w, .height = topDown ? -h : h, .bpp = bpp, .palette = TestPalette(1 << bpp)};
      TBitmap32 b = Decode(BuildBmp(layout, PackRows(indices, w, h, bpp, topDown)));
      ASSERT_EQ(b.Width(), w);
      ASSERT_EQ(b.Height(), h);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          ASSERT_EQ(b.Pixel(x, y), Opaque(layout.palette[indices[size_t(y * w + x)]]))
              << x << "," << y;
    }
  }
}

TEST(BmpTest, DirectColourDepths) {
  const int32_t w = 5, h = 3;
  std::vector<uint32_t> rgb;
  for (int i = 0; i < w * h; ++i) rgb.push_back(uint32_t(i * 0x0F1D2B) & 0xFFFFFF);
  for (bool topDown : {false, true}) {
    TBitmap32 b24 = Decode(BuildBmp({.width = w, .height = topDown ? -h : h, .bpp = 24},
                                    PackRows(rgb, w, h, 24, topDown)));
    // 32 bits without bit fields: the fourth byte is not alpha.
    std::vector<uint32_t> junkTop = rgb;
    for (uint32_t& v : junkTop) v |= 0x3C000000;
    TBitmap32 b32 = Decode(BuildBmp({.width = w, .height = topDown ? -h : h, .bpp = 32},
                                    PackRows(junkTop, w, h, 32, topDown)));
    for (int32_t i = 0; i < w * h; ++i) {
      EXPECT_EQ(b24.Pixel(i % w, i / w), Opaque(rgb[size_t(i)]));
      EXPECT_EQ(b32.Pixel(i % w, i / w), Opaque(rgb[size_t(i)]));
    }
  }
  // 16 bits default to 5-5-5; five bits scale to eight as 0 -> 0, 16 -> 132, 31 -> 255.
  std::vector<uint32_t> v16 = {0x7C00, 0x0200, 0x001F, 0x7FFF, 0x0000, 0x4210};
  TBitmap32 b16 =
      Decode(BuildBmp({.width = 3, .height = 2, .bpp = 16}, PackRows(v16, 3, 2, 16, false)));
  EXPECT_EQ(b16.Pixel(0, 0), Color32(255, 0, 0));
  EXPECT_EQ(b16.Pixel(1, 0), Color32(0, 132, 0));
  EXPECT_EQ(b16.Pixel(2, 0), Color32(0, 0, 255));
  EXPECT_EQ(b16.Pixel(0, 1), Color32(255, 255, 255));
  EXPECT_EQ(b16.Pixel(2, 1), Color32(132, 132, 132));
}

TEST(BmpTest, BitFields) {
  // 5-6-5 with the masks after a 40-byte header.
  std::vector<uint32_t> v565 = {0xF800, 0x0400, 0x001F, 0x8410};
  TBitmap32 b565 = Decode(BuildBmp({.width = 2,
                                    .height = 2,
                                    .bpp = 16,
                                    .compression = kBitFields,
                                    .masks = {0xF800, 0x07E0, 0x001F}},
                                   PackRows(v565, 2, 2, 16, false)));
  EXPECT_EQ(b565.Pixel(0, 0), Color32(255, 0, 0));
  EXPECT_EQ(b565.Pixel(1, 0), Color32(0, 130, 0));
  EXPECT_EQ(b565.Pixel(0, 1), Color32(0, 0, 255));
  EXPECT_EQ(b565.Pixel(1, 1), Color32(132, 130, 132));

  // A version 5 header with an alpha mask keeps alpha; channels in unusual places.
  std::vector<uint32_t> argb = {0x11223344, 0xFFAABBCC, 0x00000000, 0x80FFFFFF};
  std::vector<uint32_t> stored;
  for (uint32_t c : argb)  // stored as B G R A in bytes 3, 2, 1, 0 of the word
    stored.push_back(BlueOf(c) << 24 | GreenOf(c) << 16 | RedOf(c) << 8 | AlphaOf(c));
  TBmpLayout v5{.width = 2,
                .height = -2,
                .bpp = 32,
                .compression = kBitFields,
                .headerSize = 124,
                .masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}};
  TBitmap32 b = Decode(BuildBmp(v5, PackRows(stored, 2, 2, 32, true)));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(b.Pixel(i % 2, i / 2), argb[size_t(i)]) << i;

  // An alpha mask whose alpha is 0 everywhere means an opaque picture.
  std::vector<uint32_t> noAlpha = {0x00102030, 0x00405060};
  v5.height = 1;
  v5.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  TBitmap32 opaque = Decode(BuildBmp(v5, PackRows(noAlpha, 2, 1, 32, false)));
  EXPECT_EQ(opaque.Pixel(0, 0), Color32(0x10, 0x20, 0x30));
  EXPECT_EQ(opaque.Pixel(1, 0), Color32(0x40, 0x50, 0x60));
}

TEST(BmpTest, CoreHeaderAndPackedDib) {
  std::vector<uint32_t> indices = {0, 1, 2, 3, 3, 2};
  TBmpLayout core{.width = 3, .height = 2, .bpp = 8, .headerSize = 12, .palette = TestPalette(256)};
  TBitmap32 b = Decode(BuildBmp(core, PackRows(indices, 3, 2, 8, false)));
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(b.Pixel(i % 3, i / 3), Opaque(core.palette[indices[size_t(i)]]));

  // A .dib without the file header: pixels follow the palette.
  TBmpLayout packed{
      .width = 3, .height = 2, .bpp = 4, .fileHeader = false, .palette = TestPalette(16)};
  TBitmap32 d = Decode(BuildBmp(packed, PackRows(indices, 3, 2, 4, false)), "DIB");
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(d.Pixel(i % 3, i / 3), Opaque(packed.palette[indices[size_t(i)]]));
}

// Expected picture of an RLE test, as palette indices; -1 = skipped pixel.
void ExpectIndices(const TBitmap32& b, const std::vector<std::vector<int>>& rows,
                   const std::vector<uint32_t>& palette) {
  ASSERT_EQ(b.Height(), int32_t(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      TColor32 want = rows[y][x] < 0 ? 0xFF000000 : Opaque(palette[size_t(rows[y][x])]);
      EXPECT_EQ(b.Pixel(int32_t(x), int32_t(y)), want) << x << "," << y;
    }
}

TEST(BmpTest, Rle8RunsAbsoluteRunsAndDeltas) {
  Bytes rle = {
      3, 5,              // bottom row: run of three 5s
      0, 3, 7, 8, 9, 0,  // absolute run of three, padded to a word
      0, 0,              // end of line
      0, 2, 2, 1,        // delta: two right, one up (row 2 from the bottom)
      2, 4, 0, 0,        // two 4s, end of line
      9, 1,              // a run longer than the row is cut at its edge
      0, 1,              // end of bitmap
  };
  TBmpLayout layout{.width = 6,
                    .height = 4,
                    .bpp = 8,
                    .compression = kRle8,
                    .palette = TestPalette(16),
                    .colorsUsed = 16};
  ExpectIndices(
      Decode(BuildBmp(layout, rle), "RLE"),
      {{1, 1, 1, 1, 1, 1}, {-1, -1, 4, 4, -1, -1}, {-1, -1, -1, -1, -1, -1}, {5, 5, 5, 7, 8, 9}},
      layout.palette);
}

TEST(BmpTest, Rle4NibblesAbsoluteRunsAndTopDown) {
  Bytes rle = {
      5, 0x12,                       // 1 2 1 2 1
      0, 3,    0x34, 0x50,           // absolute 3 4 5, two bytes, already word-aligned
      0, 0,                          // end of line
      0, 2,    1,    0,              // delta one right
      0, 5,    0xAB, 0xCD, 0xE0, 0,  // absolute A B C D E, padded
      0, 1,
  };
  TBmpLayout layout{
      .width = 8, .height = -2, .bpp = 4, .compression = kRle4, .palette = TestPalette(16)};
  ExpectIndices(Decode(BuildBmp(layout, rle)),
                {{1, 2, 1, 2, 1, 3, 4, 5}, {-1, 10, 11, 12, 13, 14, -1, -1}}, layout.palette);
}

TEST(BmpTest, DamagedFilesThrow) {
  // Every cut of a file whose rows have no padding: from the header to the last pixel.
  std::vector<uint32_t> rgb(8 * 3, 0x123456);
  Bytes file = BuildBmp({.width = 4, .height = 3, .bpp = 24}, PackRows(rgb, 4, 3, 24, false));
  for (size_t cut = 0; cut < file.size(); ++cut) {
    Bytes head(file.begin(), file.begin() + long(cut));
    EXPECT_THROW(Decode(head), DecodeError) << "cut at " << cut;
  }
  // RLE data that ends before its end-of-bitmap code.
  TBmpLayout rle{.width = 4,
                 .height = 4,
                 .bpp = 8,
                 .compression = kRle8,
                 .palette = TestPalette(4),
                 .colorsUsed = 4};
  EXPECT_THROW(Decode(BuildBmp(rle, {4, 1, 0, 0, 4})), DecodeError);
  EXPECT_THROW(Decode(BuildBmp(rle, {0, 6, 1, 2})), DecodeError);  // absolute run past the end
  // Formats that do not exist or are not supported.
  EXPECT_THROW(Decode(BuildBmp({.width = 2, .height = 2, .bpp = 2}, Bytes(8))), DecodeError);
  EXPECT_THROW(Decode(BuildBmp({.width = 2, .height = 2, .bpp = 24, .compression = 4}, Bytes(16))),
               DecodeError);
  EXPECT_THROW(
      Decode(BuildBmp({.width = 2, .height = 2, .bpp = 8, .compression = kRle4}, Bytes(16))),
      DecodeError);
  EXPECT_THROW(Decode(BuildBmp({.width = 0, .height = 2, .bpp = 24}, Bytes(16))), DecodeError);
  Bytes shortHeader = BuildBmp({.width = 2, .height = 2, .bpp = 24}, Bytes(16));
  shortHeader[14] = 20;  // header size between the two known layouts
  EXPECT_THROW(Decode(shortHeader), DecodeError);
}

TEST(BmpTest, OversizedPicturesAreRefusedBeforeAllocating) {
  // 60000 x 60000 is above the limit; RLE has no data size to check first.
  TBmpLayout huge{.width = 60000,
                  .height = 60000,
                  .bpp = 8,
                  .compression = kRle8,
                  .palette = TestPalette(2),
                  .colorsUsed = 2};
  ResetLargestAllocation();
  try {
    Decode(BuildBmp(huge, {0, 1}));
    FAIL() << "decoded a picture above the limit";
  } catch (const DecodeError& e) {
    EXPECT_THAT(e.what(), HasSubstr("too large"));
  }
  EXPECT_LT(LargestAllocation(), 1u << 20);

  // Within the limit but without its rows: refused as truncated, still before allocating.
  ResetLargestAllocation();
  EXPECT_THROW(Decode(BuildBmp({.width = 16000, .height = 16000, .bpp = 24}, Bytes(100))),
               DecodeError);
  EXPECT_LT(LargestAllocation(), 1u << 20);

  // The limit is the caller's to lower.
  std::vector<uint32_t> rgb(64 * 64, 0);
  Bytes fine = BuildBmp({.width = 64, .height = 64, .bpp = 24}, PackRows(rgb, 64, 64, 24, false));
  EXPECT_NO_THROW(Decode(fine, "bmp", {.MaxPixels = 64 * 64}));
  EXPECT_THROW(Decode(fine, "bmp", {.MaxPixels = 64 * 64 - 1}), DecodeError);
}

}  // namespace
}  // namespace saver
