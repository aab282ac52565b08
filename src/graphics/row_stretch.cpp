#include "graphics/row_stretch.h"

#include <algorithm>

#include "graphics/pixel_kernels.h"

namespace saver {

// Samples for output positions first .. first + count − 1 of a destination span starting at
// dstOrigin that shows the source span starting at srcOrigin scaled by scale, sampled at pixel
// centres and clamped to the valid source range [lo, hi): the two source samples of each and
// the weight of the second in 256ths (separate arrays, so the loops load them as vectors).
TRowStretch::TSamples TRowStretch::SampleTable(int64_t first, int64_t count, int64_t dstOrigin,
                                               int32_t srcOrigin, double scale, int32_t lo,
                                               int32_t hi) {
  TSamples t;
  t.I0.resize(size_t(count));
  t.I1.resize(size_t(count));
  t.W.resize(size_t(count));
  for (size_t k = 0; k < size_t(count); ++k) {
    double f = srcOrigin + (double(first + int64_t(k) - dstOrigin) + 0.5) * scale - 0.5;
    f = std::clamp(f, double(lo), double(hi - 1));
    const int32_t i0 = int32_t(f);
    t.I0[k] = i0;
    t.I1[k] = std::min(i0 + 1, hi - 1);
    t.W[k] = uint32_t((f - i0) * 256);
  }
  return t;
}

TRowStretch::TRowStretch(const TRect& dstRect, const TRect& srcRect, const TRect& valid,
                         const TRect& out, TOutputRow output, TDrawMode mode, uint8_t masterAlpha,
                         bool stream)
    : out_(out),
      validRight_(valid.Right),
      output_(std::move(output)),
      mode_(mode),
      master_(masterAlpha),
      stream_(stream && mode == TDrawMode::Opaque),
      y_(out.Top),
      needed_(valid.Bottom) {
  // Widths of rectangles reaching far outside may not fit int32. The tables
  // depend on dstRect and srcRect only, never on out.
  const double dstW = double(int64_t(dstRect.Right) - dstRect.Left);
  const double dstH = double(int64_t(dstRect.Bottom) - dstRect.Top);
  const double srcW = double(int64_t(srcRect.Right) - srcRect.Left);
  const double srcH = double(int64_t(srcRect.Bottom) - srcRect.Top);
  cols_ = SampleTable(out.Left, out.Width(), dstRect.Left, srcRect.Left, srcW / dstW, valid.Left,
                      valid.Right);
  rows_ = SampleTable(out.Top, out.Height(), dstRect.Top, srcRect.Top, srcH / dstH, valid.Top,
                      valid.Bottom);
  const size_t n = size_t(out.Width());
  lanes_.resize(n * 4);
  for (int s = 0; s < 2; ++s)
    for (int p = 0; p < 2; ++p) slot_[s][p] = lanes_.data() + (2 * s + p) * n;
  if (mode == TDrawMode::Blend) blended_.resize(n);
  Advance();
}

int32_t TRowStretch::Row1(int32_t y) const {
  // A row sampled with weight 0 for the second row does not depend on it: the first stands
  // in for it (as it does at the source's last row).
  const size_t r = size_t(y - out_.Top);
  return rows_.W[r] == 0 ? rows_.I0[r] : rows_.I1[r];
}

void TRowStretch::Feed(const TColor32* row) {
  if (Done()) return;
  // The older slot: rows come in order, so it never holds a row still to be mixed.
  const int s = slotRow_[0] < slotRow_[1] ? 0 : 1;
  const size_t n = size_t(out_.Width());
  PixelKernels().MixColumns(row, validRight_, cols_.I0.data(), cols_.I1.data(), cols_.W.data(),
                            n, slot_[s][0], slot_[s][1]);
  slotRow_[s] = needed_;
  Advance();
}

void TRowStretch::Advance() {
  const TPixelKernels& k = PixelKernels();
  const size_t n = size_t(out_.Width());
  const auto slotOf = [this](int32_t row) {
    return slotRow_[0] == row ? 0 : slotRow_[1] == row ? 1 : -1;
  };
  for (; y_ < out_.Bottom; ++y_) {
    const int32_t row0 = Row0(y_), row1 = Row1(y_);
    const int top = slotOf(row0), bottom = slotOf(row1);
    if (top < 0 || bottom < 0) {
      needed_ = top < 0 ? row0 : row1;
      return;
    }
    TColor32* target = output_(y_);
    TColor32* mixed = mode_ == TDrawMode::Opaque ? target : blended_.data();
    k.MixRows(slot_[top][0], slot_[top][1], slot_[bottom][0], slot_[bottom][1],
              rows_.W[size_t(y_ - out_.Top)], n, mixed, stream_);
    if (mode_ == TDrawMode::Blend) k.Blend(target, mixed, n, master_);
  }
  needed_ = INT32_MAX;
}

}  // namespace saver
