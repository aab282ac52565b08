#include "payload/compose/picture_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "payload/format/reader.h"
#include "payload/reader_test_file.h"
#include "pictures/recording_sink.h"
#include "pictures/saver_builder.h"
#include "platform/paths.h"
#include "platform/screen.h"

namespace saver {
namespace {

using testing::SaverBuilder;
using testing::ScratchDir;

constexpr TColor32 kBack = 0xFF203040u;
constexpr TColor32 kRed = 0xFFFF0000u;

TBitmap32 Solid(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

using test::RecordingSink;

class PictureLoaderTest : public ::testing::Test {
 protected:
  // Writes the saver, reads its tables and gives a flat background.
  void Load(SaverBuilder& b) {
    path = scratch.Write("test.scr", b.Build());
    IReaderHost quiet;
    std::string reason;
    ASSERT_TRUE(ReadData(data, path, false, quiet, &reason)) << reason;
    background.Bitmap = Solid(80, 60, kBack);
    entries.clear();
    entries.resize(data.PictureTable.size());
    cache = std::make_unique<TPictureCache>(entries, 80 * 60 * 4);
    loader = std::make_unique<TPictureLoader>(data, background, *cache, [this](int32_t range) {
      ranges.push_back(range);
      return 0;
    });
  }
  bool LoadImage(int32_t index, bool fromDesktop = false) {
    return loader->LoadImage(index, fromDesktop, 80, 60, sink);
  }
  bool TempFolderEmpty() const {
    const std::string folder = TempFolder();
    return std::filesystem::is_empty(folder);
  }

  ScratchDir scratch;
  std::string path;
  PayloadData data;
  TBackground background;
  std::vector<TMemImage> entries;
  std::unique_ptr<TPictureCache> cache;
  std::unique_ptr<TPictureLoader> loader;
  RecordingSink sink;
  std::vector<int32_t> ranges;
};

TEST_F(PictureLoaderTest, ComposesBackgroundAndFittedPictureOnce) {
  SaverBuilder b;
  b.AddPng(Solid(40, 15, kRed));                       // fitted: 80 x 30 at row 15
  b.AddPng(Solid(10, 10, 0xFF00FF00u), true).ItemStretch = 2;  // compressed, centred
  Load(b);

  ASSERT_TRUE(LoadImage(0));
  EXPECT_EQ(sink.shown, std::vector<int32_t>{0});
  EXPECT_FALSE(sink.desktop);
  EXPECT_EQ(sink.frame.Pixel(0, 14), kBack);
  EXPECT_EQ(sink.frame.Pixel(0, 15), kRed);
  EXPECT_EQ(sink.frame.Pixel(79, 44), kRed);
  EXPECT_EQ(sink.frame.Pixel(79, 45), kBack);
  EXPECT_TRUE(entries[0].Loaded);
  EXPECT_TRUE(TempFolderEmpty());

  ASSERT_TRUE(LoadImage(1));
  EXPECT_EQ(sink.frame.Pixel(35, 25), 0xFF00FF00u);
  EXPECT_EQ(sink.frame.Pixel(34, 25), kBack);
  EXPECT_EQ(sink.frame.Pixel(44, 34), 0xFF00FF00u);

  // Shown again without the saver file: the cache serves it.
  std::filesystem::remove(path);
  ASSERT_TRUE(LoadImage(0));
  EXPECT_EQ(sink.frame.Pixel(40, 30), kRed);
}

TEST_F(PictureLoaderTest, UndecodablePictureShowsNothingAndLeavesNoFile) {
  SaverBuilder b;
  b.AddPicture({'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}, ".png");
  b.AddPicture({1, 2, 3}, ".swf");
  Load(b);
  EXPECT_FALSE(LoadImage(0));
  EXPECT_FALSE(LoadImage(1));
  EXPECT_FALSE(LoadImage(7));
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_FALSE(entries[0].Loaded);
  EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(PictureLoaderTest, TransparentPartsOfAPictureShowBlack) {
  SaverBuilder b;
  TBitmap32 picture = Solid(10, 10, kRed);
  picture.SetPixel(0, 0, 0x00FFFFFFu);
  b.AddPng(picture).ItemStretch = 2;
  const int32_t mask = b.AddMask(EncodePng(Solid(10, 10, 0x00FFFFFFu)), 1);  // all transparent
  b.AddPng(Solid(10, 10, kRed)).MaskIndex = mask;
  Load(b);
  ASSERT_TRUE(LoadImage(0));
  EXPECT_EQ(sink.frame.Pixel(35, 25), 0xFF000000u);
  EXPECT_EQ(sink.frame.Pixel(36, 25), kRed);
  ASSERT_TRUE(LoadImage(1));  // a transparent mask is a black one
  EXPECT_EQ(sink.frame.Pixel(40, 30), kBack);
}

TEST_F(PictureLoaderTest, MaskMakesThePictureTranslucentAndABrokenMaskHidesIt) {
  SaverBuilder b;
  const int32_t grey = b.AddMask(EncodePng(Solid(4, 4, 0xFF808080u)), 1);
  const int32_t broken = b.AddMask({'x', 'y'}, 0);
  b.AddPng(Solid(8, 6, kRed)).MaskIndex = grey;
  b.AddPng(Solid(8, 6, kRed)).MaskIndex = broken;
  b.AddPng(Solid(8, 6, kRed)).MaskIndex = 9;  // no such mask
  Load(b);

  ASSERT_TRUE(LoadImage(0));
  const TColor32 p = sink.frame.Pixel(40, 30);
  EXPECT_NEAR(RedOf(p), (255 * 128 + 0x20 * 127) / 255, 2);
  EXPECT_NEAR(BlueOf(p), (0x40 * 127) / 255, 2);
  EXPECT_TRUE(TempFolderEmpty());

  for (int32_t index : {1, 2}) {
    ASSERT_TRUE(LoadImage(index));
    for (int32_t y = 0; y < 60; y += 7)
      for (int32_t x = 0; x < 80; x += 7) ASSERT_EQ(sink.frame.Pixel(x, y), kBack) << index;
    ASSERT_NE(entries[size_t(index)].Mask, nullptr);
    EXPECT_TRUE(entries[size_t(index)].Mask->Empty());
  }
}

TEST_F(PictureLoaderTest, RandomPlacementUsesTheFreeRanges) {
  SaverBuilder b;
  b.AddPng(Solid(30, 20, kRed)).ItemStretch = 3;
  b.trailer.Stretch = 1;  // the item's own mode wins
  Load(b);
  ASSERT_TRUE(LoadImage(0));
  EXPECT_EQ(ranges, (std::vector<int32_t>{50, 40}));
  EXPECT_EQ(sink.frame.Pixel(0, 0), kRed);
  EXPECT_EQ(sink.frame.Pixel(29, 19), kRed);
  EXPECT_EQ(sink.frame.Pixel(30, 19), kBack);
}

TEST_F(PictureLoaderTest, VideoItemsTakeTheVideoRoadWhateverTheirCase) {
  SaverBuilder b;
  b.AddPicture({'v', 'i', 'd'}, ".Mpg");
  b.AddPicture({'v', 'i', 'd'}, ".AVI");
  Load(b);
  ASSERT_TRUE(LoadImage(0));
  ASSERT_TRUE(LoadImage(1));
  EXPECT_EQ(sink.videos, (std::vector<int32_t>{0, 1}));
  EXPECT_TRUE(sink.shown.empty());
  EXPECT_TRUE(std::filesystem::exists(sink.videoPath));  // removed when playback ends
  EXPECT_FALSE(entries[0].Loaded);
  for (const char* ext : {".mpeg", ".mp4", ".MKV", ".WebM", ".mov", ".m4v", ".Ogv"})
    EXPECT_TRUE(IsVideoExtension(ext)) << ext;
  for (const char* ext : {".png", ".ogg", ".mp3", ".avif", "avi", ""})
    EXPECT_FALSE(IsVideoExtension(ext)) << ext;
}

TEST_F(PictureLoaderTest, DesktopStartShowsTheCaptureWithoutDecoding) {
  SaverBuilder b;
  b.AddPng(Solid(8, 8, kRed));
  Load(b);
  BitmapScreen screen(Solid(100, 100, 0xFF445566u));
  SetScreen(&screen);
  const bool ok = LoadImage(0, true);
  SetScreen(nullptr);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(sink.desktop);
  EXPECT_EQ(sink.frame.Pixel(79, 59), 0xFF445566u);
  EXPECT_EQ(sink.windowImage.Pixel(0, 0), 0xFF445566u);
  EXPECT_FALSE(entries[0].Loaded);
}

TEST_F(PictureLoaderTest, RepaintingRenewsColoursAndStyleBeforeEachPicture) {
  SaverBuilder b;
  b.AddPng(Solid(2, 2, kRed)).ItemStretch = 2;
  b.trailer.RepaintBackground = 1;
  b.trailer.RandomColors = 1;
  b.trailer.RandomGradient = 1;
  Load(b);
  ASSERT_TRUE(LoadImage(0));
  // Six colour channels, then the style: all random choices returned 0.
  EXPECT_EQ(ranges, (std::vector<int32_t>{256, 256, 256, 256, 256, 256, 8}));
  EXPECT_EQ(data.Trailer.GradientStyle, 1);
  EXPECT_EQ(data.Trailer.BackColor, 0);
  EXPECT_EQ(sink.frame.Pixel(0, 0), 0xFF000000u);
}

TEST(PictureLoader, DefaultDecodingBudgetIsAQuarterOfMemoryAtMostOneGibibyte) {
  const size_t b = DefaultDecodeBudget();
  EXPECT_GT(b, 0u);
  EXPECT_LE(b, size_t(1) << 30);
}

}  // namespace
}  // namespace saver
