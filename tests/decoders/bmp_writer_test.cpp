#include "payload/decoders/bmp_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "decoders/picture_builders.h"
#include "payload/decoders/picture_decoder.h"

namespace saver {
namespace {

namespace fs = std::filesystem;
using namespace saver::testing;
using ::testing::HasSubstr;

uint32_t U32At(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

class BmpWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "saver-bmp-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path dir;
};

// The file is a 24-bit bitmap of the picture's size that the project's own
// decoder reads back pixel for pixel; rows of 3 x width bytes are padded.
TEST_F(BmpWriterTest, OpaquePicturesReadBackUnchanged) {
  struct Case {
    int32_t width, height;
    size_t stride;
  } cases[] = {{13, 7, 40}, {1, 1, 4}, {4, 3, 12}, {2, 5, 8}, {3, 2, 12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const TBitmap32 picture = Pattern(c.width, c.height, false);
    const std::string path = (dir / "wallpaper.bmp").string();
    WriteBmpFile(picture, path);

    const Bytes file = ReadFile(path);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[28], 24);  // bits per pixel
    EXPECT_EQ(U32At(file, 30), 0u);  // uncompressed
    EXPECT_EQ(file.size(), 54 + c.stride * size_t(c.height));
    EXPECT_EQ(U32At(file, 2), file.size());

    const TBitmap32 back = DecodePictureFile(path, "bmp");
    ASSERT_EQ(back.Width(), c.width);
    ASSERT_EQ(back.Height(), c.height);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x)
        ASSERT_EQ(back.Pixel(x, y), picture.Pixel(x, y)) << x << "," << y;
  }
}

TEST_F(BmpWriterTest, TransparentPixelsAreWrittenAsDrawnOnBlack) {
  TBitmap32 picture(5, 1);
  picture.SetPixel(0, 0, Color32(200, 100, 50, 0));
  picture.SetPixel(1, 0, Color32(200, 100, 50, 255));
  picture.SetPixel(2, 0, Color32(200, 100, 50, 128));
  picture.SetPixel(3, 0, Color32(255, 255, 255, 64));
  picture.SetPixel(4, 0, Color32(10, 240, 90, 191));
  const std::string path = (dir / "wallpaper.bmp").string();
  WriteBmpFile(picture, path);
  const TBitmap32 back = DecodePictureFile(path, "bmp");
  ASSERT_EQ(back.Width(), 5);
  ASSERT_EQ(back.Height(), 1);

  EXPECT_EQ(back.Pixel(0, 0), Color32(0, 0, 0));
  EXPECT_EQ(back.Pixel(1, 0), Color32(200, 100, 50));
  for (int32_t x = 2; x < 5; ++x) {
    const TColor32 in = picture.Pixel(x, 0), out = back.Pixel(x, 0);
    const double a = AlphaOf(in) / 255.0;
    EXPECT_EQ(AlphaOf(out), 255);
    EXPECT_NEAR(RedOf(out), RedOf(in) * a, 1.0) << x;
    EXPECT_NEAR(GreenOf(out), GreenOf(in) * a, 1.0) << x;
    EXPECT_NEAR(BlueOf(out), BlueOf(in) * a, 1.0) << x;
  }
}

TEST_F(BmpWriterTest, ReplacesAnExistingFileWholly) {
  const std::string path = (dir / "wallpaper.bmp").string();
  WriteBmpFile(Pattern(40, 30, false), path);
  const TBitmap32 small = Pattern(3, 2, false);
  WriteBmpFile(small, path);
  const TBitmap32 back = DecodePictureFile(path, "bmp");
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 2);
  EXPECT_EQ(back.Pixel(2, 1), small.Pixel(2, 1));
  EXPECT_EQ(ReadFile(path).size(), 54u + 12u * 2u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
      << "the temporary file is gone";
}

TEST_F(BmpWriterTest, FailuresRaiseWithThePathAndLeaveNothingBehind) {
  const fs::path missing = dir / "no such folder" / "wallpaper.bmp";
  try {
    WriteBmpFile(Pattern(3, 3, false), missing.string());
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr(missing.string()));
    EXPECT_THAT(e.what(), HasSubstr("No such file or directory"));
  }
  EXPECT_FALSE(fs::exists(dir / "no such folder"));

  // The final name is a folder: the rename fails after the whole file was
  // written, and the temporary file goes.
  const fs::path taken = dir / "taken.bmp";
  fs::create_directory(taken);
  fs::create_directory(taken / "inside");
  try {
    WriteBmpFile(Pattern(3, 3, false), taken.string());
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_THAT(e.what(), HasSubstr(taken.string()));
  }
  EXPECT_TRUE(fs::is_directory(taken / "inside"));
  EXPECT_FALSE(fs::exists(taken.string() + ".tmp"));

  EXPECT_THROW(WriteBmpFile(TBitmap32(), (dir / "empty.bmp").string()), std::runtime_error);
  EXPECT_FALSE(fs::exists(dir / "empty.bmp"));
}

}  // namespace
}  // namespace saver
