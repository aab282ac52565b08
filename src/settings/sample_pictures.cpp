#include "settings/sample_pictures.h"

#include <stdexcept>

#include "payload/decoders/picture_decoder.h"

namespace saver {

namespace resources {
extern const unsigned char kSamplePicture1Png[];
extern const unsigned long kSamplePicture1Png_SIZE;
extern const unsigned char kSamplePicture2Png[];
extern const unsigned long kSamplePicture2Png_SIZE;
}  // namespace resources

namespace {

TBitmap32 Decode(const unsigned char* data, unsigned long size) {
  TBitmap32 b = DecodePictureMemory(data, size, ".png");
  b.ResetAlpha(255);
  return b;
}

}  // namespace

const TBitmap32& SamplePicture(int number) {
  static const TBitmap32 first =
      Decode(resources::kSamplePicture1Png, resources::kSamplePicture1Png_SIZE);
  static const TBitmap32 second =
      Decode(resources::kSamplePicture2Png, resources::kSamplePicture2Png_SIZE);
  if (number != 1 && number != 2) throw std::out_of_range("no such sample picture");
  return number == 1 ? first : second;
}

}  // namespace saver
