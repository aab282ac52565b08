// Decoding for showing: the picture stretched and cut to its fit as the rows
// come gives exactly what stretching the whole decoded picture gives, and
// the whole picture never lies in memory unless its format needs it so.
#include <gtest/gtest.h>

#include <cstdlib>

#include "decoders/allocation_probe.h"
#include "decoders/picture_builders.h"
#include "payload/compose/draw_picture.h"
#include "payload/compose/picture_loader.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"
#include "payload/format/reader.h"
#include "payload/reader_test_file.h"
#include "pictures/recording_sink.h"
#include "pictures/saver_builder.h"

namespace saver {
namespace {

using namespace saver::testing;

// Swaps red and blue and halves the alpha: any filter that changes pixels
// shows whether it ran before the stretch.
void TestFilter(TColor32* row, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const TColor32 p = row[i];
    row[i] = Color32(BlueOf(p), GreenOf(p), RedOf(p), uint8_t(AlphaOf(p) / 2));
  }
}

// What a fitted decode must give: the whole picture, filtered, stretched to
// the fit's size and cut to its visible part.
TBitmap32 Reference(TBitmap32 whole, const TFit& fit) {
  for (int32_t y = 0; y < whole.Height(); ++y) TestFilter(whole.ScanLine(y), size_t(whole.Width()));
  TBitmap32 stretched(fit.Width, fit.Height);
  whole.DrawTo(stretched, stretched.BoundsRect(), whole.BoundsRect(), TDrawMode::Opaque);
  TBitmap32 cut(fit.Visible.Width(), fit.Visible.Height());
  cut.CopyRect(stretched, fit.Visible, TPoint{0, 0});
  return cut;
}

bool Same(const TBitmap32& a, const TBitmap32& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

TEST(FittedDecode, GivesTheWholePictureStretchedAndCutInEveryFormat) {
  constexpr int32_t w = 61, h = 45;
  const TBitmap32 picture = Pattern(w, h, true);
  std::vector<uint8_t> indices(size_t(w * h));
  for (size_t i = 0; i < indices.size(); ++i) indices[i] = uint8_t(i * 7 % 5);
  const std::vector<uint32_t> palette = {0x102030, 0xF0E0D0, 0x00FF00, 0x8040C0, 0xFFFFFF};
  TBmpLayout bmp{.width = w, .height = h, .bpp = 24};
  std::vector<uint32_t> rgb(size_t(w * h));
  for (int32_t i = 0; i < w * h; ++i) rgb[size_t(i)] = picture.Bits()[i] & 0xFFFFFF;
  const struct {
    const char* name;
    Bytes file;
    const char* ext;
    bool scalesItself;  // decodes a reduced picture for a fit below half its size
  } formats[] = {
      {"PNG", EncodePng(picture), "png", false},
      {"interlaced PNG", EncodeInterlacedPng(picture), "png", false},
      {"GIF on a larger screen", EncodeGif(indices, w, h, palette, 2, false, w + 9, h + 4, 5, 3),
       "gif", false},
      {"interlaced GIF", EncodeGif(indices, w, h, palette, -1, true), "gif", false},
      {"TIFF", EncodeTiff(picture, true), "tif", false},
      {"bottom-up bitmap", BuildBmp(bmp, PackRows(rgb, w, h, 24, false)), "bmp", false},
      {"icon", BuildIco({{uint8_t(w), uint8_t(h), 32, EncodePng(picture)}}), "ico", false},
      {"JPEG", EncodeJpeg(picture, 90), "jpg", true},
  };
  const struct {
    const char* name;
    int32_t width, height;  // of the whole picture stretched
    TRect visible;
  } fits[] = {
      {"shrunk", 23, 17, {0, 0, 23, 17}},
      {"shrunk below half", 14, 10, {0, 0, 14, 10}},
      {"enlarged", 150, 97, {0, 0, 150, 97}},
      {"own size, cut", -1, -1, {7, 5, 40, 30}},
      {"enlarged and cut", 150, 97, {30, 20, 120, 90}},
      {"one row", 150, 1, {0, 0, 150, 1}},
  };
  for (const auto& f : formats) {
    const TBitmap32 whole = DecodePictureMemory(f.file.data(), f.file.size(), f.ext);
    for (const auto& fitCase : fits) {
      SCOPED_TRACE(std::string(f.name) + ", " + fitCase.name);
      const TFit fit{fitCase.width < 0 ? whole.Width() : fitCase.width,
                     fitCase.height < 0 ? whole.Height() : fitCase.height, fitCase.visible};
      TDecodeHint hint;
      hint.Fit = [&](int32_t width, int32_t height) {
        EXPECT_EQ(width, whole.Width());
        EXPECT_EQ(height, whole.Height());
        return fit;
      };
      hint.RowFilter = TestFilter;
      const TBitmap32 fitted = DecodePictureMemory(f.file.data(), f.file.size(), f.ext, hint);
      if (!f.scalesItself || fit.Width * 2 > whole.Width()) {
        EXPECT_TRUE(Same(fitted, Reference(whole, fit)));
        continue;
      }
      // JPEG shrinks in its own decoder first, to the smallest scale that
      // covers the fit; the stretch does the rest.
      const TBitmap32 reduced = DecodePictureMemory(
          f.file.data(), f.file.size(), f.ext, {.TargetWidth = fit.Width, .TargetHeight = fit.Height});
      EXPECT_LT(reduced.Width(), whole.Width());
      EXPECT_TRUE(Same(fitted, Reference(reduced, fit)));
    }
  }
}

TEST(FittedDecode, OnlyFormatsThatNeedItHoldTheWholePictureAndWithinTheirBound) {
  // 2000 x 1500 pixels (12 MB whole) shown at 200 x 150.
  const TBitmap32 picture = Pattern(2000, 1500, false);
  constexpr size_t kWholeBytes = 2000u * 1500u * 4u;
  TDecodeHint hint;
  hint.Fit = [](int32_t, int32_t) { return TFit{200, 150, TRect{0, 0, 200, 150}}; };
  for (const auto& [file, ext] : {std::pair{EncodePng(picture), "png"},
                                  std::pair{EncodeJpeg(picture, 80), "jpg"}}) {
    ResetLargestAllocation();
    const TBitmap32 fitted = DecodePictureMemory(file.data(), file.size(), ext, hint);
    EXPECT_EQ(fitted.Width(), 200) << ext;
    EXPECT_LT(LargestAllocation(), kWholeBytes / 16) << ext;
  }
  // An interlaced PNG comes whole: within the bound it is decoded, above it
  // refused before its pixels are reserved.
  const Bytes interlaced = EncodeInterlacedPng(picture);
  hint.MaxWholePixels = 2000u * 1500u;
  EXPECT_EQ(DecodePictureMemory(interlaced.data(), interlaced.size(), "png", hint).Width(), 200);
  hint.MaxWholePixels = 2000u * 1500u - 1;
  ResetLargestAllocation();
  EXPECT_THROW(DecodePictureMemory(interlaced.data(), interlaced.size(), "png", hint), DecodeError);
  EXPECT_LT(LargestAllocation(), kWholeBytes / 16);
}

// The frame the show composed when it kept every picture whole: the picture
// decoded at its own size, flattened on black, drawn stretched into its
// rectangle through its mask, also decoded whole.
TBitmap32 WholePictureFrame(const Bytes& png, const Bytes* mask, uint8_t maskFormat, int32_t mode,
                            bool preview, const TBitmap32& background, int32_t seed) {
  TBitmap32 picture = DecodePictureMemory(png.data(), png.size(), "png");
  FlattenOnBlack(picture);
  TBitmap32 maskBitmap;
  if (mask) {
    maskBitmap = DecodePictureMemory(mask->data(), mask->size(), maskFormat == 0 ? "bmp" : "png");
    if (maskFormat == 0)
      maskBitmap.ResetAlpha(255);
    else
      FlattenOnBlack(maskBitmap);
  }
  TBitmap32 frame = background;
  const TRect dest = PictureRect(mode, preview, frame.Width(), frame.Height(), picture.Width(),
                                 picture.Height(), [&](int32_t range) { return seed % range; });
  DrawPicture(picture, frame, dest, mask ? &maskBitmap : nullptr);
  return frame;
}

TEST(FittedDecode, TheShowComposesTheSameFramesAsFromWholePictures) {
  // Pictures with translucent parts, larger and smaller than the screens,
  // in every size and position mode and the preview, plain and through
  // masks of other sizes in both mask formats, on two screen sizes in turn
  // (the second decodes the picture anew for its size).
  const Bytes large = EncodePng(Pattern(173, 91, true)), small = EncodePng(Pattern(31, 17, true));
  const Bytes pngMask = EncodePng(Pattern(13, 29, true)), bmpMask = EncodeBmp(Pattern(50, 7, false));
  const struct {
    int32_t width, height;
  } screens[] = {{80, 60}, {120, 45}};
  for (const Bytes* picture : {&large, &small})
    for (int32_t mode : {0, 1, 2, 3, 4})
      for (int maskCase : {0, 1, 2}) {
        const bool preview = mode == 4;
        SaverBuilder b;
        b.trailer.Stretch = preview ? 0 : mode;
        PictureEntry& entry = b.AddPicture(*picture, ".png");
        const Bytes* mask = maskCase == 0 ? nullptr : maskCase == 1 ? &pngMask : &bmpMask;
        const uint8_t maskFormat = maskCase == 1 ? 1 : 0;
        if (mask) entry.MaskIndex = b.AddMask(*mask, maskFormat);
        ScratchDir scratch;
        const std::string path = scratch.Write("fit.scr", b.Build());
        PayloadData data;
        IReaderHost quiet;
        ASSERT_TRUE(ReadData(data, path, false, quiet));
        std::vector<TMemImage> entries(1);
        TPictureCache cache(entries, 1 << 20);
        TBackground background;
        int32_t seed = 0;
        TPictureLoader loader(data, background, cache, [&](int32_t range) { return seed % range; });
        loader.PreviewMode = preview;
        for (const auto& screen : screens) {
          SCOPED_TRACE((picture == &large ? "large" : "small") + std::string(", mode ") +
                       std::to_string(mode) + ", mask case " + std::to_string(maskCase) +
                       ", screen " + std::to_string(screen.width));
          background.Bitmap = Pattern(screen.width, screen.height, false);
          seed += 7919;
          test::RecordingSink sink;
          ASSERT_TRUE(loader.LoadImage(0, false, screen.width, screen.height, sink));
          EXPECT_TRUE(Same(sink.frame, WholePictureFrame(*picture, mask, maskFormat, mode, preview,
                                                         background.Bitmap, seed)));
        }
      }
}

}  // namespace
}  // namespace saver
