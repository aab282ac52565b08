#include "payload/compose/background.h"

#include "payload/compose/back_picture.h"
#include "payload/compose/gradient.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/reader.h"
#include "payload/format/temp_file.h"

namespace saver {

void TBackground::Paint(const PayloadTrailer& t, int32_t width, int32_t height) {
  width_ = width, height_ = height;
  style_ = t.GradientStyle, pictureMode_ = t.BackPictureMode;
  color_ = uint32_t(t.BackColor), color2_ = uint32_t(t.BackColor2);
  if (!Kept) return;
  if (Bitmap.Width() != width || Bitmap.Height() != height) Bitmap.SetSize(width, height);
  PaintOnto(Bitmap);
}

void TBackground::PaintOnto(TBitmap32& target) const {
  GradientFill(target, style_, TColorRef(color_), TColorRef(color2_), target.BoundsRect());
  if (Picture) DrawBackPicture(target, target.Width(), target.Height(), pictureMode_, *Picture);
}

void TBackground::LoadPicture(const PayloadData& data) {
  const TTempFile file(ExtractBackgroundPicture(data));
  Picture = std::make_shared<const TBitmap32>(
      DecodePictureFile(file.Path, data.Trailer.BackPictureExt));
  pictureMode_ = data.Trailer.BackPictureMode;
  if (Kept) DrawBackPicture(Bitmap, Bitmap.Width(), Bitmap.Height(), pictureMode_, *Picture);
}

void TBackground::Repaint(PayloadTrailer& t, const TRandomInt& random) {
  if (t.RandomColors) {
    t.BackColor = RandomColorRef(random);
    t.BackColor2 = RandomColorRef(random);
  }
  if (t.RandomGradient) t.GradientStyle = random(8) + 1;
  if (Bitmap.Empty())
    Paint(t, width_, height_);
  else
    Paint(t, Bitmap.Width(), Bitmap.Height());
}

TBackground TBackground::Unpainted() const {
  TBackground copy;
  copy.Kept = Kept;
  copy.Picture = Picture;
  copy.width_ = Bitmap.Empty() ? width_ : Bitmap.Width();
  copy.height_ = Bitmap.Empty() ? height_ : Bitmap.Height();
  copy.style_ = style_, copy.pictureMode_ = pictureMode_;
  copy.color_ = color_, copy.color2_ = color2_;
  return copy;
}

void TBackground::DrawOnto(TBitmap32& target) const {
  // A frame of another size (another monitor's) gets it painted at its size.
  if (Kept && Bitmap.Width() == target.Width() && Bitmap.Height() == target.Height()) {
    Bitmap.DrawTo(target, 0, 0);
    return;
  }
  PaintOnto(target);
}

}  // namespace saver
