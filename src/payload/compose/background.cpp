#include "payload/compose/background.h"

#include "payload/compose/back_picture.h"
#include "payload/compose/gradient.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/reader.h"
#include "payload/format/temp_file.h"

namespace saver {

void TBackground::Paint(const PayloadTrailer& t, int32_t width, int32_t height) {
  if (Bitmap.Width() != width || Bitmap.Height() != height) Bitmap.SetSize(width, height);
  GradientFill(Bitmap, t.GradientStyle, TColorRef(t.BackColor), TColorRef(t.BackColor2),
               Bitmap.BoundsRect());
  if (Picture) DrawBackPicture(Bitmap, Bitmap.Width(), Bitmap.Height(), t.BackPictureMode, *Picture);
}

void TBackground::LoadPicture(const PayloadData& data) {
  const TTempFile file(ExtractBackgroundPicture(data));
  Picture = std::make_shared<const TBitmap32>(DecodePictureFile(file.Path, data.Trailer.BackPictureExt));
  DrawBackPicture(Bitmap, Bitmap.Width(), Bitmap.Height(), data.Trailer.BackPictureMode, *Picture);
}

void TBackground::Repaint(PayloadTrailer& t, const TRandomInt& random) {
  if (t.RandomColors) {
    t.BackColor = RandomColorRef(random);
    t.BackColor2 = RandomColorRef(random);
  }
  if (t.RandomGradient) t.GradientStyle = random(8) + 1;
  Paint(t, Bitmap.Width(), Bitmap.Height());
}

}  // namespace saver
