#include "payload/decoders/picture_out.h"

#include <algorithm>
#include <cstring>

namespace saver {

TPictureOut::TPictureOut(const TDecodeHint& hint, int32_t width, int32_t height)
    : hint_(hint), fitted_(bool(hint.Fit)) {
  fit_ = fitted_ ? hint.Fit(width, height) : TFit{width, height, TRect{0, 0, width, height}};
  const TRect all{0, 0, fit_.Width, fit_.Height};
  if (fit_.Visible.IsEmpty() || IntersectRect(fit_.Visible, all) != fit_.Visible)
    throw DecodeError("the picture cannot be fitted (" + std::to_string(width) + " x " +
                      std::to_string(height) + ")");
}

void TPictureOut::Begin(int32_t width, int32_t height) {
  width_ = width, height_ = height;
  put_ = 0;
  if (!fitted_) {
    result_.SetSize(width, height);
    return;
  }
  const TRect& v = fit_.Visible;
  result_.SetSize(v.Width(), v.Height());
  row_.assign(size_t(width), 0);
  stretch_.reset();
  if (width != fit_.Width || height != fit_.Height) {
    const TRect rows{0, 0, width, height};
    stretch_.emplace(TRect{0, 0, fit_.Width, fit_.Height}, rows, rows, v,
                     [this, &v](int32_t y) { return result_.ScanLine(y - v.Top); });
  }
}

bool TPictureOut::WantsRows() const {
  if (!fitted_) return put_ < height_;
  if (stretch_) return !stretch_->Done();
  return put_ < fit_.Visible.Bottom;
}

TColor32* TPictureOut::Row(int32_t y) {
  if (!whole_.Empty()) return whole_.ScanLine(y);
  return fitted_ ? row_.data() : result_.ScanLine(y);
}

void TPictureOut::Put(int32_t y) {
  put_ = y + 1;
  const TRect& v = fit_.Visible;
  // Rows the result does not read are left as they are.
  const bool read = !fitted_ || (stretch_ ? y == stretch_->NeededRow() : y >= v.Top && y < v.Bottom);
  if (!read) return;
  TColor32* row = Row(y);
  if (hint_.RowFilter) hint_.RowFilter(row, size_t(width_));
  if (!fitted_) return;
  if (stretch_)
    stretch_->Feed(row);
  else
    std::memcpy(result_.ScanLine(y - v.Top), row + v.Left, size_t(v.Width()) * sizeof(TColor32));
}

TBitmap32& TPictureOut::Whole() {
  if (!fitted_) return result_;
  if (uint64_t(width_) * uint64_t(height_) > hint_.MaxWholePixels)
    throw DecodeError("picture is too large to be decoded whole (" + std::to_string(width_) +
                      " x " + std::to_string(height_) + ")");
  whole_.SetSize(width_, height_);
  return whole_;
}

TBitmap32 TPictureOut::Finish() {
  const bool whole = fitted_ ? !whole_.Empty() : put_ == 0;
  if (whole)
    for (int32_t y = 0; y < height_ && WantsRows(); ++y) Put(y);
  whole_ = TBitmap32();
  if (WantsRows()) throw DecodeError("picture data ends early");
  return std::move(result_);
}

}  // namespace saver
