#pragma once
// Where a decoder puts the picture it decodes: a bitmap of the picture's
// own size, or, when the hint asks for a fit, the picture stretched and cut
// to it as the rows come, so that only a row of the picture is held at a
// time. Decoders that can only make the whole picture at once fill Whole().
//
//   TPictureOut out(hint, width, height);
//   out.Begin(width, height);            // or the size of a decoder's own scaling
//   for (y = 0; y < height && out.WantsRows(); ++y) { decode into out.Row(y); out.Put(y); }
//   return out.Finish();
#include <cstdint>
#include <optional>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/row_stretch.h"
#include "payload/decoders/picture_decoder.h"

namespace saver {

class TPictureOut {
 public:
  // A picture of width x height, already checked against the hint. Raises
  // DecodeError when the hint's fit does not fit the picture.
  TPictureOut(const TDecodeHint& hint, int32_t width, int32_t height);
  TPictureOut(const TPictureOut&) = delete;
  TPictureOut& operator=(const TPictureOut&) = delete;

  // What is kept: without a fit, the whole picture at its own size.
  const TFit& Fit() const { return fit_; }
  // Rows come at width x height from here on: the picture's own size, or
  // that of a scaling the decoder does itself.
  void Begin(int32_t width, int32_t height);
  // False once every row the result needs has come: the decoder may stop.
  bool WantsRows() const;
  // The pixels of row y (the width given to Begin), to be filled and then
  // Put; rows come in order from the first.
  TColor32* Row(int32_t y);
  void Put(int32_t y);
  // The whole picture, for a decoder that makes it at once instead of
  // putting rows. Raises DecodeError when a fitted picture is larger than
  // the hint allows a whole one to be.
  TBitmap32& Whole();
  // The result, once the rows (or the whole picture) are in.
  TBitmap32 Finish();

 private:
  const TDecodeHint& hint_;
  bool fitted_;
  TFit fit_;
  int32_t width_ = 0, height_ = 0;  // of the rows
  TBitmap32 result_;
  TBitmap32 whole_;                   // a fitted picture decoded whole
  std::vector<TColor32> row_;         // a fitted picture's row being decoded
  std::optional<TRowStretch> stretch_;  // when the fit is not the rows' own size
  int32_t put_ = 0;                   // rows put so far
};

}  // namespace saver
