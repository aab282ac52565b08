#pragma once
// A stretch made row by row: the source rows go in from top to bottom, each
// as the stretch asks for it, and every output row comes out as soon as the
// rows it mixes are in. TBitmap32::DrawTo stretches through it, and so do
// the picture decoders while they decode: a picture stretched as it is
// decoded comes out exactly as the whole picture drawn stretched, without
// ever lying in memory whole.
#include <cstdint>
#include <functional>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

class TRowStretch {
 public:
  // Where output row y goes: its pixels from the first output column on.
  using TOutputRow = std::function<TColor32*(int32_t y)>;

  // Stretches srcRect of a source into dstRect (bilinear, sampled at pixel
  // centres), reading only source pixels inside valid, which must be inside
  // srcRect and not empty, and writing only the output pixels inside out,
  // which must be inside dstRect and not empty. Output rows are put (mode,
  // masterAlpha) onto what output gives; stream as for TPixelKernels::MixRows.
  TRowStretch(const TRect& dstRect, const TRect& srcRect, const TRect& valid, const TRect& out,
              TOutputRow output, TDrawMode mode = TDrawMode::Opaque, uint8_t masterAlpha = 255,
              bool stream = false);

  // The source row the stretch needs next; rows are asked for in increasing
  // order; INT32_MAX once every output row is made.
  int32_t NeededRow() const { return needed_; }
  bool Done() const { return y_ >= out_.Bottom; }
  // Takes source row NeededRow() (its pixel 0 is the source's column 0) and
  // makes every output row it completes.
  void Feed(const TColor32* row);

 private:
  struct TSamples {
    std::vector<int32_t> I0, I1;
    std::vector<uint32_t> W;
  };
  static TSamples SampleTable(int64_t first, int64_t count, int64_t dstOrigin, int32_t srcOrigin,
                              double scale, int32_t lo, int32_t hi);
  // The two source rows output row y mixes.
  int32_t Row0(int32_t y) const { return rows_.I0[size_t(y - out_.Top)]; }
  int32_t Row1(int32_t y) const;
  // Makes the output rows whose source rows are both mixed, then sets needed_.
  void Advance();

  TRect out_;
  int32_t validRight_;
  TSamples cols_, rows_;
  TOutputRow output_;
  TDrawMode mode_;
  uint8_t master_;
  bool stream_;
  // Two source rows mixed horizontally, as planar lanes (see TPixelKernels).
  std::vector<uint32_t> lanes_;
  uint32_t* slot_[2][2];
  int32_t slotRow_[2] = {-1, -1};
  std::vector<TColor32> blended_;
  int32_t y_;       // the next output row
  int32_t needed_;  // the next source row to mix
};

}  // namespace saver
