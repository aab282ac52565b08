// AVIF through libavif. The file's rotation and mirror properties turn the
// picture; a file without them is turned as its EXIF orientation says.
#include <avif/avif.h>

#include <memory>
#include <string>

#include "import_decoders.h"
#include "payload/decoders/picture_decoder.h"
#include "upright.h"

namespace saver {
namespace {

void Check(avifResult result) {
  if (result != AVIF_RESULT_OK) throw DecodeError(std::string("AVIF: ") + avifResultToString(result));
}

// The EXIF orientation that does what a rotation (anticlockwise quarter
// turns) followed by a mirror (0 top and bottom, 1 left and right, -1 none)
// does.
int OrientationOf(int quarterTurns, int mirror) {
  static constexpr int kOrientation[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
  return kOrientation[quarterTurns & 3][mirror + 1];
}

}  // namespace

TImportedPixels DecodeAvif(const std::vector<uint8_t>& file, bool upright) {
  std::unique_ptr<avifDecoder, decltype(&avifDecoderDestroy)> decoder(avifDecoderCreate(),
                                                                      &avifDecoderDestroy);
  if (!decoder) throw DecodeError("AVIF: out of memory");
  decoder->imageSizeLimit = uint32_t(kMaxPicturePixels);
  // Files from every encoder, not only those that follow the format to the letter.
  decoder->strictFlags = AVIF_STRICT_DISABLED;
  Check(avifDecoderSetIOMemory(decoder.get(), file.data(), file.size()));
  Check(avifDecoderParse(decoder.get()));
  Check(avifDecoderNextImage(decoder.get()));
  const avifImage* image = decoder->image;

  TImportedPixels pixels;
  pixels.Picture.SetSize(int32_t(image->width), int32_t(image->height));
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.format = AVIF_RGB_FORMAT_BGRA;  // TBitmap32's byte order, straight alpha
  rgb.depth = 8;
  rgb.pixels = reinterpret_cast<uint8_t*>(pixels.Picture.Bits());
  rgb.rowBytes = image->width * 4;
  Check(avifImageYUVToRGB(image, &rgb));
  // avifenc --lossless stores the colours unconverted, every sample kept.
  pixels.Lossless = image->matrixCoefficients == AVIF_MATRIX_COEFFICIENTS_IDENTITY &&
                    image->yuvFormat == AVIF_PIXEL_FORMAT_YUV444;
  if (!upright) return pixels;
  const bool rotates = image->transformFlags & AVIF_TRANSFORM_IROT;
  const bool mirrors = image->transformFlags & AVIF_TRANSFORM_IMIR;
  int orientation = 1;
  if (rotates || mirrors)
    orientation = OrientationOf(rotates ? image->irot.angle : 0, mirrors ? image->imir.mode & 1 : -1);
  else if (image->exif.size)
    orientation = ExifPayloadOrientation({image->exif.data, image->exif.size}).value_or(1);
  pixels.Picture = TurnUpright(pixels.Picture, orientation);
  return pixels;
}

}  // namespace saver
