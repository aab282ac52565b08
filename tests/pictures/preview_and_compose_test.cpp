#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "payload/compose/compose_frame.h"
#include "payload/compose/preview_image.h"
#include "payload/reader_test_file.h"
#include "pictures/saver_builder.h"
#include "platform/paths.h"
#include "platform/surface.h"
#include "platform/text.h"

namespace saver {
namespace {

using testing::SaverBuilder;
using testing::ScratchDir;

TBitmap32 Solid(int32_t w, int32_t h, TColor32 c) {
  TBitmap32 b(w, h);
  b.Clear(c);
  return b;
}

TEST(PreviewImage, StretchesTheStoredBitmapOverTheWindow) {
  ScratchDir scratch;
  SaverBuilder b;
  TBitmap32 preview = Solid(152, 112, 0xFF336699u);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x) preview.SetPixel(x, y, 0xFFFF0000u);  // top-left mark
  b.preview = testing::EncodeBmp(preview);
  const std::string path = scratch.Write("p.scr", b.Build());

  for (int pass = 0; pass < 2; ++pass) {  // a second call gives the same picture
    BitmapSurface window(76, 56);
    ASSERT_TRUE(ShowPreviewImage(path, window));
    EXPECT_EQ(window.Bitmap().Pixel(40, 30), 0xFF336699u);
    EXPECT_EQ(window.Bitmap().Pixel(0, 0), 0xFFFF0000u);
  }
}

TEST(PreviewImage, NoPreviewOrNoPayloadLeavesTheWindowBlack) {
  ScratchDir scratch;
  SaverBuilder b;
  const std::string withoutPreview = scratch.Write("n.scr", b.Build());
  const std::string bare = scratch.Write("bare", std::vector<uint8_t>(500, 0x90));
  BitmapSurface window(10, 10);
  window.Bitmap().Clear(0xFF000000u);
  EXPECT_FALSE(ShowPreviewImage(withoutPreview, window));
  EXPECT_FALSE(ShowPreviewImage(bare, window));
  EXPECT_EQ(window.Bitmap().Pixel(5, 5), 0xFF000000u);
}

TEST(PreviewImage, DamagedBitmapReachesTheCaller) {
  ScratchDir scratch;
  SaverBuilder b;
  b.preview = {'B', 'M', 0, 0};
  const std::string path = scratch.Write("d.scr", b.Build());
  EXPECT_ANY_THROW(LoadPreviewImage(path));
}

// A saver with a gradient background, a masked picture and a caption.
class ComposeTest : public ::testing::Test {
 protected:
  void SetUp() override { SetTextRenderer(&cells); }
  void TearDown() override { SetTextRenderer(nullptr); }
  ScratchDir scratch;
  CellTextRenderer cells;
};

TEST_F(ComposeTest, BackgroundPictureMaskAndCaptionInOrder) {
  SaverBuilder b;
  b.trailer.BackColor = 0x000000;
  b.trailer.BackColor2 = 0xFFFFFF;
  b.trailer.GradientStyle = 0;  // left to right
  const int32_t mask = b.AddMask(EncodePng(Solid(2, 2, 0xFFFFFFFFu)), 1);
  PictureEntry& e = b.AddPng(Solid(10, 10, 0xFFFF0000u));
  e.ItemStretch = 2;
  e.MaskIndex = mask;
  e.Caption = "Hi";
  e.CaptionFontSize = 4;
  e.CaptionColor = 0x00FF00;  // green
  e.CaptionTransparent = 1;
  b.AddPicture({'?'}, ".jpg");
  const std::string path = scratch.Write("c.scr", b.Build());

  const TBitmap32 frame = ComposeFrame(path, 0, 256, 100, 1);
  ASSERT_EQ(frame.Width(), 256);
  EXPECT_EQ(frame.Pixel(0, 50), 0xFF000000u);
  EXPECT_EQ(frame.Pixel(255, 50), 0xFFFFFFFFu);
  EXPECT_EQ(frame.Pixel(128, 50), 0xFFFF0000u);  // centred picture
  EXPECT_EQ(frame.Pixel(5, 5), 0xFF00FF00u);     // caption at the top left
  EXPECT_THROW(ComposeFrame(path, 1, 256, 100, 1), std::runtime_error);
  EXPECT_THROW(ComposeFrame(path, 2, 256, 100, 1), std::runtime_error);
}

TEST_F(ComposeTest, TiledBackgroundPictureAndSeededPlacement) {
  SaverBuilder b;
  b.background = EncodePng(Solid(3, 3, 0xFF0000FFu));
  b.trailer.BackPictureExt = ".png";
  b.trailer.BackPictureMode = 0;
  b.AddPng(Solid(10, 10, 0xFFFF0000u)).ItemStretch = 3;
  const std::string path = scratch.Write("t.scr", b.Build());

  const TBitmap32 one = ComposeFrame(path, 0, 60, 40, 7);
  const TBitmap32 again = ComposeFrame(path, 0, 60, 40, 7);
  int red = 0, blue = 0;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 60; ++x) {
      ASSERT_EQ(one.Pixel(x, y), again.Pixel(x, y));
      red += one.Pixel(x, y) == 0xFFFF0000u;
      blue += one.Pixel(x, y) == 0xFF0000FFu;
    }
  EXPECT_EQ(red, 100);
  EXPECT_EQ(blue, 60 * 40 - 100);
  EXPECT_TRUE(std::filesystem::is_empty(TempFolder()));  // no item files left behind
}

}  // namespace
}  // namespace saver
