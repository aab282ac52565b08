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
  TBitmap32 Bitmap;                  // the painted background
  // The decoded background picture, or none; shared with the look-ahead.
  std::shared_ptr<const TBitmap32> Picture;

  // Sizes Bitmap to width x height and paints the trailer's gradient
  // (BackColor to BackColor2 in GradientStyle), then Picture in BackPictureMode.
  void Paint(const PayloadTrailer& trailer, int32_t width, int32_t height);

  // Extracts the payload's background picture (which must exist), decodes it
  // into Picture and lays it on Bitmap in BackPictureMode. Raises on failure.
  void LoadPicture(const PayloadData& data);

  // Before a picture when RepaintBackground is set: with RandomColors new
  // BackColor and BackColor2, with RandomGradient a new GradientStyle 1-8
  // (stored back into the trailer), then paints anew at the current size.
  void Repaint(PayloadTrailer& trailer, const TRandomInt& random);
};

}  // namespace saver
