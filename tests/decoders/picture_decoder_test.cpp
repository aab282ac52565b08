#include <gtest/gtest.h>

#include <filesystem>

#include "decoders/picture_builders.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"

namespace saver {
namespace {

using namespace saver::testing;

TEST(PictureDecoderTest, ExtensionsChooseTheDecoderIgnoringCaseAndDot) {
  for (const char* ext : {"bmp", "DIB", ".rle", "ico", "JPG", "jpeg", ".Jpe", "jfif", "tif", "TIFF",
                          "fax", "png", ".GIF"})
    EXPECT_TRUE(IsDecodableExtension(ext)) << ext;
  // Metafiles and Flash have no decoder and fail like any unknown format.
  for (const char* ext : {"wmf", ".EMF", "swf", "fla", "txt", "", ".", "bmpx", "mpg"}) {
    EXPECT_FALSE(IsDecodableExtension(ext)) << ext;
    Bytes png = EncodePng(Pattern(2, 2, false));
    EXPECT_THROW(DecodePictureMemory(png.data(), png.size(), ext), DecodeError) << ext;
  }
}

TEST(PictureDecoderTest, TheExtensionDecidesNotTheContent) {
  Bytes png = EncodePng(Pattern(3, 3, false));
  EXPECT_THROW(DecodePictureMemory(png.data(), png.size(), "jpg"), DecodeError);
  EXPECT_THROW(DecodePictureMemory(png.data(), png.size(), "bmp"), DecodeError);
  EXPECT_THROW(DecodePictureMemory(nullptr, 0, "png"), DecodeError);
}

TEST(PictureDecoderTest, FilesThatCannotBeReadThrow) {
  auto dir = std::filesystem::temp_directory_path();
  EXPECT_THROW(DecodePictureFile((dir / "no_such_picture_here.png").string(), "png"), DecodeError);
  EXPECT_THROW(DecodePictureFile(dir.string(), "png"), DecodeError);  // a folder
}

}  // namespace
}  // namespace saver
