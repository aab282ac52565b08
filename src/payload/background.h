#pragma once
// The screen-sized background every picture is composed on: the trailer's
// gradient, covered by the background picture when the payload has one.
#include <cstdint>
#include <optional>

#include "graphics/bitmap32.h"
#include "payload/fit_rect.h"
#include "payload/payload_data.h"
#include "payload/records.h"

namespace saver {

class TBackground {
 public:
  TBitmap32 Bitmap;                  // the painted background
  std::optional<TBitmap32> Picture;  // the decoded background picture, or none

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

// A colour with red, green and blue each uniform in 0-255, as 0x00BBGGRR.
int32_t RandomColorRef(const TRandomInt& random);

}  // namespace saver
