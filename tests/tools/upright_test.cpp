// Pictures whose orientation tag turns them are packed upright: JPEGs
// losslessly through their DCT blocks, TIFFs decoded and written again.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>

#include "payload/decoders/picture_decoder.h"
#include "saver-pack/upright.h"
#include "tools/orientation_pictures.h"
#include "tools/tool_runner.h"

namespace saver::testing {
namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;

// ---- pictures and their turns, written out from first principles --------

TBitmap32 Mirror(const TBitmap32& b) {
  TBitmap32 out(b.Width(), b.Height());
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) out.ScanLine(y)[b.Width() - 1 - x] = b.ScanLine(y)[x];
  return out;
}

TBitmap32 Turn(const TBitmap32& b, int quarters) {
  TBitmap32 out = b;
  for (int i = 0; i < quarters; ++i) out = RotateClockwise(out);
  return out;
}

// What a camera stores for a picture that looks like `upright` when turned
// as orientation tag `o` says (EXIF and TIFF define the same eight values):
// the inverse of the turn a viewer makes.
TBitmap32 StoredFor(const TBitmap32& upright, int o) {
  switch (o) {
    case 2: return Mirror(upright);                 // viewer mirrors
    case 3: return Turn(upright, 2);                // viewer turns half round
    case 4: return Mirror(Turn(upright, 2));        // viewer flips upside down
    case 5: return Mirror(Turn(upright, 1));        // viewer transposes
    case 6: return Turn(upright, 3);                // viewer turns a quarter clockwise
    case 7: return Mirror(Turn(upright, 3));        // viewer transposes the other way
    case 8: return Turn(upright, 1);                // viewer turns a quarter anticlockwise
    default: return upright;
  }
}

// A picture whose every pixel differs from its neighbours.
TBitmap32 Pattern(int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      b.ScanLine(y)[x] = Color32(uint8_t(40 * x + 3), uint8_t(70 * y + 5), uint8_t(x * y + 100));
  return b;
}

bool SamePixels(const TBitmap32& a, const TBitmap32& b) {
  return a.Width() == b.Width() && a.Height() == b.Height() &&
         std::equal(a.Bits(), a.Bits() + size_t(a.Width()) * a.Height(), b.Bits());
}

// The largest difference of one colour channel between two same-sized pictures.
int LargestDifference(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 256;
  int largest = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      for (int shift : {0, 8, 16})
        largest = std::max(largest, std::abs(int(a.ScanLine(y)[x] >> shift & 0xFF) -
                                             int(b.ScanLine(y)[x] >> shift & 0xFF)));
  return largest;
}

TBitmap32 DecodeJpeg(const TBytes& jpeg) { return DecodePictureMemory(jpeg.data(), jpeg.size(), ".jpg"); }

// ---- JPEG files -------------------------------------------------------------

// A lossless turn of a JPEG by libjpeg-turbo's transform (TJXOP_*).
TBytes Transform(const TBytes& jpeg, int op) {
  tjhandle tj = tjInitTransform();
  tjtransform t{};
  t.op = op;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjTransform(tj, jpeg.data(), jpeg.size(), 1, &out, &size, &t, 0), 0) << tjGetErrorStr2(tj);
  TBytes bytes(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

// A JPEG of the picture, 4:2:0, quality 90.
TBytes EncodeJpeg(const TBitmap32& b) {
  tjhandle tj = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(tj, reinterpret_cast<const unsigned char*>(b.Bits()), b.Width(), 0, b.Height(),
                        TJPF_BGRA, &out, &size, TJSAMP_420, 90, 0), 0);
  TBytes bytes(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

TBitmap32 Crop(const TBitmap32& b, int32_t w, int32_t h) {
  TBitmap32 out(w, h);
  for (int32_t y = 0; y < h; ++y) std::copy_n(b.ScanLine(y), w, out.ScanLine(y));
  return out;
}

// Decoding rounds differently once the blocks are turned (the inverse DCT
// works rows, then columns; chroma is upsampled with a biased filter), so a
// turned JPEG shows within a few levels of the turned original; a wrong turn
// is off by far more.
constexpr int kDecodingRounding = 3;

struct TPacked {
  TRunResult Run;
  fs::path Item;  // the picture as saver-inspect --extract gives it back
};

TPacked PackOne(const TScratchDir& dir, const fs::path& picture, std::vector<std::string> extra = {}) {
  const fs::path saver = dir / "one.scr", items = dir / "items";
  fs::remove_all(items);
  std::vector<std::string> args = {"--player", PlayerProgram(), "-o", saver.string()};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(picture.string());
  TPacked p;
  p.Run = RunTool(PackTool(), args);
  EXPECT_EQ(p.Run.ExitCode, 0) << p.Run.Err;
  EXPECT_EQ(RunTool(InspectTool(), {"--extract", items.string(), saver.string()}).ExitCode, 0);
  p.Item = items / ("picture-01" + picture.extension().string());
  return p;
}

TEST(UprightJpeg, PortraitPhotoComesOutOfTheSaverUprightAndLossless) {
  TScratchDir dir;
  const TBytes landscape = ReadFileBytes(AssetPath("aurora.jpg"));  // 1280 x 720, 4:2:0
  const fs::path photo = dir / "portrait.jpg";
  WriteFileBytes(photo, WithExifOrientation(landscape, 6));
  const TPacked p = PackOne(dir, photo);
  const TBytes stored = ReadFileBytes(p.Item);

  const TBitmap32 upright = DecodeJpeg(stored);
  const TBitmap32 expected = RotateClockwise(DecodeJpeg(landscape));
  ASSERT_EQ(upright.Width(), 720);
  ASSERT_EQ(upright.Height(), 1280);
  EXPECT_LE(LargestDifference(upright, expected), kDecodingRounding);
  // Lossless: turning the stored blocks back gives the original picture exactly.
  EXPECT_TRUE(SamePixels(DecodeJpeg(Transform(stored, TJXOP_ROT270)), DecodeJpeg(landscape)));
  // The stored file says it is upright, so viewers that read the tag agree.
  const auto tag = FindJpegOrientation(stored);
  ASSERT_TRUE(tag);
  EXPECT_EQ(tag->Value, 1);
}

TEST(UprightJpeg, UprightAndUntaggedFilesAndKeepOrientationStoreTheBytesAsTheyAre) {
  TScratchDir dir;
  const TBytes landscape = ReadFileBytes(AssetPath("lake.jpg"));
  struct Case {
    const char* name;
    TBytes bytes;
    std::vector<std::string> options;
  } cases[] = {
      {"untagged.jpg", landscape, {}},
      {"upright.jpg", WithExifOrientation(landscape, 1), {}},
      {"upright-big-endian.jpg", WithExifOrientation(landscape, 1, true), {}},
      {"kept.jpg", WithExifOrientation(landscape, 6), {"--keep-orientation"}},
  };
  for (const Case& c : cases) {
    WriteFileBytes(dir / c.name, c.bytes);
    const TPacked p = PackOne(dir, dir / c.name, c.options);
    EXPECT_EQ(ReadFileBytes(p.Item), c.bytes) << c.name;
  }
}

TEST(UprightJpeg, EveryOrientationTurnsTheStoredPictureUpright) {
  const TBytes upright = ReadFileBytes(AssetPath("dunes.jpg"));
  const TBitmap32 expected = DecodeJpeg(upright);
  // What a camera would store for each orientation, made losslessly.
  const int stored[9] = {0, TJXOP_NONE, TJXOP_HFLIP, TJXOP_ROT180, TJXOP_VFLIP,
                         TJXOP_TRANSPOSE, TJXOP_ROT270, TJXOP_TRANSVERSE, TJXOP_ROT90};
  for (int o = 2; o <= 8; ++o) {
    for (bool bigEndian : {false, true}) {
      SCOPED_TRACE("orientation " + std::to_string(o) + (bigEndian ? ", big-endian" : ""));
      const auto turned = UprightJpeg(WithExifOrientation(Transform(upright, stored[o]), o, bigEndian));
      ASSERT_TRUE(turned);
      EXPECT_EQ(turned->Orientation, o);
      EXPECT_EQ(turned->TrimmedColumns + turned->TrimmedRows, 0);
      EXPECT_LE(LargestDifference(DecodeJpeg(turned->Bytes), expected), kDecodingRounding);
      EXPECT_EQ(FindJpegOrientation(turned->Bytes)->Value, 1);
    }
  }
}

TEST(UprightJpeg, PartialBlocksAreDroppedAndTheUserIsTold) {
  TScratchDir dir;
  // 100 x 60 in 16 x 16 blocks: turning a quarter moves the partial bottom
  // row of blocks (12 pixels) to the left edge, where it cannot go.
  const TBitmap32 source = Crop(DecodeJpeg(ReadFileBytes(AssetPath("aurora.jpg"))), 100, 60);
  const TBytes landscape = EncodeJpeg(source);
  const fs::path photo = dir / "odd.jpg";
  WriteFileBytes(photo, WithExifOrientation(landscape, 6));
  const TPacked p = PackOne(dir, photo);
  EXPECT_NE(p.Run.Err.find("saver-pack: note: " + photo.string() +
                           ": turned upright (EXIF orientation 6) losslessly, dropping 12 pixel "
                           "columns of a partial block at its edge"),
            std::string::npos)
      << p.Run.Err;
  const TBitmap32 upright = DecodeJpeg(ReadFileBytes(p.Item));
  const TBitmap32 kept = RotateClockwise(Crop(DecodeJpeg(landscape), 100, 48));
  EXPECT_EQ(upright.Width(), 48);
  EXPECT_EQ(upright.Height(), 100);
  EXPECT_LE(LargestDifference(upright, kept), kDecodingRounding);
}

TEST(UprightJpeg, TagsThatSayNothingAreLeftAlone) {
  const TBytes jpeg = ReadFileBytes(AssetPath("dunes.jpg"));
  EXPECT_FALSE(FindJpegOrientation(jpeg));
  EXPECT_FALSE(UprightJpeg(jpeg));
  EXPECT_FALSE(UprightJpeg(WithExifOrientation(jpeg, 0)));  // outside 1-8
  EXPECT_FALSE(UprightJpeg(WithExifOrientation(jpeg, 9)));
  TBytes cut = WithExifOrientation(jpeg, 6);
  cut.resize(20);  // the EXIF block runs past the end of the file
  EXPECT_FALSE(FindJpegOrientation(cut));
}

// ---- TIFF files -------------------------------------------------------------

// An 8-bit RGB (or RGBA, unassociated alpha) TIFF of the picture as stored,
// with the orientation tag.
void WriteTiff(const fs::path& path, const TBitmap32& b, int orientation, bool alpha = false) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  ASSERT_TRUE(t);
  const uint16_t samples = alpha ? 4 : 3;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(b.Width()));
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(b.Height()));
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  if (alpha) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_ORIENTATION, uint16_t(orientation));
  std::vector<uint8_t> row(size_t(b.Width()) * samples);
  for (int32_t y = 0; y < b.Height(); ++y) {
    for (int32_t x = 0; x < b.Width(); ++x) {
      const TColor32 c = b.ScanLine(y)[x];
      const uint8_t rgba[4] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(c >> 24)};
      std::copy_n(rgba, samples, &row[size_t(x) * samples]);
    }
    TIFFWriteScanline(t, row.data(), uint32_t(y), 0);
  }
  TIFFClose(t);
}

TBitmap32 DecodeTiffFile(const fs::path& path) { return DecodePictureFile(path.string(), ".tif"); }

TEST(UprightTiff, EveryOrientationIsStoredUprightWithTheSamePixels) {
  TScratchDir dir;
  const TBitmap32 upright = Pattern(5, 3);
  for (int o = 1; o <= 8; ++o) {
    SCOPED_TRACE("orientation " + std::to_string(o));
    const fs::path tiff = dir / ("o" + std::to_string(o) + ".tif");
    WriteTiff(tiff, StoredFor(upright, o), o);
    const TPacked p = PackOne(dir, tiff);
    if (o == 1)
      EXPECT_EQ(ReadFileBytes(p.Item), ReadFileBytes(tiff));  // as it was
    else
      EXPECT_TRUE(SamePixels(DecodeTiffFile(p.Item), upright));
  }
}

TEST(UprightTiff, TransparencySurvivesTheTurn) {
  TScratchDir dir;
  TBitmap32 upright = Pattern(4, 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 4; ++x) upright.ScanLine(y)[x] = (upright.ScanLine(y)[x] & 0xFFFFFF) | uint32_t(40 * y + 10 * x + 5) << 24;
  WriteTiff(dir / "plain.tif", upright, 1, true);
  WriteTiff(dir / "turned.tif", StoredFor(upright, 8), 8, true);
  const TPacked p = PackOne(dir, dir / "turned.tif");
  // The player sees what it sees in the same picture stored upright.
  EXPECT_TRUE(SamePixels(DecodeTiffFile(p.Item), DecodeTiffFile(dir / "plain.tif")));
}

}  // namespace
}  // namespace saver::testing
