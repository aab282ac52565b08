#pragma once
// The screen-sized background every picture is composed on: the trailer's
// gradient, covered by the background picture when the payload has one.
#include <cstdint>
#include <memory>

#include "graphics/bitmap32.h"
#include "payload/compose/fit_rect.h"
#include "payload/format/payload_data.h"
#include "payload/format/random_colour.h"
#include "payload/format/records.h"

namespace saver {

class TBackground {
 public:
  // The painted background, unless Kept is false: the show then paints it
  // onto each frame it composes instead of holding a frame-sized copy.
  TBitmap32 Bitmap;
  bool Kept = true;
  // The decoded background picture, or none; shared with the look-ahead.
  std::shared_ptr<const TBitmap32> Picture;

  // Sets the background's size and look: the trailer's gradient (BackColor
  // to BackColor2 in GradientStyle), then Picture in BackPictureMode; paints
  // them into Bitmap when it is kept.
  void Paint(const PayloadTrailer& trailer, int32_t width, int32_t height);

  // Extracts the payload's background picture (which must exist), decodes it
  // into Picture and lays it on Bitmap in BackPictureMode. Raises on failure.
  void LoadPicture(const PayloadData& data);

  // Before a picture when RepaintBackground is set: with RandomColors new
  // BackColor and BackColor2, with RandomGradient a new GradientStyle 1-8
  // (stored back into the trailer), then paints anew at the current size.
  void Repaint(PayloadTrailer& trailer, const TRandomInt& random);

  // Puts the background onto target: a copy of Bitmap when it is kept and
  // of target's size, else painted at target's size.
  void DrawOnto(TBitmap32& target) const;

  // A copy of its size, look and picture without the painted pixels, for
  // a repaint elsewhere (which paints them whole).
  TBackground Unpainted() const;

 private:
  void PaintOnto(TBitmap32& target) const;

  int32_t width_ = 0, height_ = 0;
  int32_t style_ = 0, pictureMode_ = 0;
  uint32_t color_ = 0, color2_ = 0;
};

}  // namespace saver
