#include "graphics/bitmap32.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_kernels.h"
#include "graphics/row_stretch.h"

namespace saver {

const char* PixelLoopPath() { return PixelKernels().Name; }

void FillPixels(TColor32* pixels, size_t n, TColor32 color) {
  PixelKernels().Fill(pixels, n, color);
}

namespace {

void PutRow(TColor32* dst, const TColor32* src, int32_t n, TDrawMode mode, uint8_t master) {
  if (mode == TDrawMode::Opaque)
    std::memmove(dst, src, size_t(n) * sizeof(TColor32));
  else
    PixelKernels().Blend(dst, src, size_t(n), master);
}

// Puts `rows` rows of n pixels; whole-width opaque blocks go in one move, which lets the
// library copy large frames with streaming stores. With stream (never for overlapping
// memory) opaque copies of parts of rows stream as well.
void PutRows(TColor32* dst, size_t dstStride, const TColor32* src, size_t srcStride, int32_t n,
             int32_t rows, TDrawMode mode, uint8_t master, bool stream) {
  if (mode == TDrawMode::Opaque && size_t(n) == dstStride && size_t(n) == srcStride) {
    std::memmove(dst, src, size_t(n) * size_t(rows) * sizeof(TColor32));
    return;
  }
  if (mode == TDrawMode::Opaque && stream) {
    const TPixelKernels& k = PixelKernels();
    for (int32_t r = 0; r < rows; ++r)
      k.CopyStream(dst + size_t(r) * dstStride, src + size_t(r) * srcStride, size_t(n));
    return;
  }
  for (int32_t r = 0; r < rows; ++r)
    PutRow(dst + size_t(r) * dstStride, src + size_t(r) * srcStride, n, mode, master);
}

size_t PixelBytes(const TRect& r) {
  return r.IsEmpty() ? 0 : size_t(r.Width()) * size_t(r.Height()) * sizeof(TColor32);
}

// a + b, kept inside the int32 range.
int32_t AddClamped(int32_t a, int32_t b) {
  return int32_t(std::clamp<int64_t>(int64_t(a) + b, INT32_MIN, INT32_MAX));
}

}  // namespace

void TBitmap32::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  pixels_.assign(size_t(width_) * size_t(height_), 0);
}

void TBitmap32::Clear(TColor32 color) { FillPixels(pixels_.data(), pixels_.size(), color); }

void TBitmap32::ResetAlpha(uint8_t alpha) {
  PixelKernels().SetAlpha(pixels_.data(), pixels_.size(), alpha);
}

void TBitmap32::FillRect(const TRect& r, TColor32 color) {
  const TRect d = IntersectRect(r, BoundsRect());
  for (int32_t y = d.Top; y < d.Bottom; ++y)
    FillPixels(ScanLine(y) + d.Left, size_t(d.Width()), color);
}

TColor32 TBitmap32::PixelS(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return Pixel(x, y);
}

void TBitmap32::SetPixelS(int32_t x, int32_t y, TColor32 c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  SetPixel(x, y, c);
}

void TBitmap32::DrawTo(TBitmap32& dst, int32_t x, int32_t y, TDrawMode mode,
                       uint8_t masterAlpha) const {
  if (&dst == this) {  // drawing onto itself reads rows already written: draw from a copy
    TBitmap32(*this).DrawTo(dst, x, y, mode, masterAlpha);
    return;
  }
  const TRect d =
      IntersectRect(TRect{x, y, AddClamped(x, width_), AddClamped(y, height_)}, dst.BoundsRect());
  if (d.IsEmpty()) return;
  PutRows(dst.ScanLine(d.Top) + d.Left, size_t(dst.width_), ScanLine(d.Top - y) + (d.Left - x),
          size_t(width_), d.Width(), d.Height(), mode, masterAlpha,
          StreamingPays(PixelBytes(d), PixelBytes(dst.BoundsRect())));
}

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect,
                       TDrawMode mode, uint8_t masterAlpha) const {
  DrawTo(dst, dstRect, srcRect, dst.BoundsRect(), mode, masterAlpha);
}

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect,
                       const TRect& clip, TDrawMode mode, uint8_t masterAlpha) const {
  if (&dst == this) {
    TBitmap32(*this).DrawTo(dst, dstRect, srcRect, clip, mode, masterAlpha);
    return;
  }
  const TRect s = IntersectRect(srcRect, BoundsRect());
  if (s.IsEmpty() || dstRect.IsEmpty()) return;
  const TRect visible = IntersectRect(dstRect, dst.BoundsRect());
  const TRect d = IntersectRect(visible, clip);
  if (d.IsEmpty()) return;
  // Whether to stream is decided by the whole draw, whatever part of it the clip leaves.
  const bool stream = StreamingPays(PixelBytes(visible), PixelBytes(dst.BoundsRect()));
  // Widths of rectangles reaching far outside may not fit int32.
  const int64_t dstW = int64_t(dstRect.Right) - dstRect.Left;
  const int64_t dstH = int64_t(dstRect.Bottom) - dstRect.Top;
  if (s == srcRect && dstW == s.Width() && dstH == s.Height()) {
    PutRows(dst.ScanLine(d.Top) + d.Left, size_t(dst.width_),
            ScanLine(s.Top + d.Top - dstRect.Top) + s.Left + (d.Left - dstRect.Left),
            size_t(width_), d.Width(), d.Height(), mode, masterAlpha, stream);
    return;
  }
  // Stretched, through the row stretch, which asks for the source rows it mixes.
  TRowStretch stretch(
      dstRect, srcRect, s, d, [&dst, &d](int32_t y) { return dst.ScanLine(y) + d.Left; }, mode,
      masterAlpha, stream);
  while (!stretch.Done()) stretch.Feed(ScanLine(stretch.NeededRow()));
}

void TBitmap32::CopyRect(const TBitmap32& src, const TRect& srcRect, TPoint dstPoint) {
  // Clip the source rectangle to src, then the moved rectangle to this bitmap.
  const TRect s = IntersectRect(srcRect, src.BoundsRect());
  if (s.IsEmpty()) return;
  const int64_t dx = int64_t(dstPoint.X) - srcRect.Left, dy = int64_t(dstPoint.Y) - srcRect.Top;
  const int64_t left = std::max<int64_t>(s.Left + dx, 0), top = std::max<int64_t>(s.Top + dy, 0);
  const int64_t right = std::min<int64_t>(s.Right + dx, width_);
  const int64_t bottom = std::min<int64_t>(s.Bottom + dy, height_);
  if (left >= right || top >= bottom) return;
  const int32_t n = int32_t(right - left), rows = int32_t(bottom - top);
  const TColor32* from = src.ScanLine(int32_t(top - dy)) + (left - dx);
  TColor32* to = ScanLine(int32_t(top)) + left;
  if (&src == this && dy > 0 && n != width_) {
    // Moving down within one bitmap row by row must copy the bottom rows first.
    for (int32_t r = rows - 1; r >= 0; --r)
      PutRow(to + size_t(r) * size_t(width_), from + size_t(r) * size_t(width_), n,
             TDrawMode::Opaque, 255);
    return;
  }
  PutRows(to, size_t(width_), from, size_t(src.width_), n, rows, TDrawMode::Opaque, 255,
          &src != this &&
              StreamingPays(size_t(n) * size_t(rows) * sizeof(TColor32), PixelBytes(BoundsRect())));
}

}  // namespace saver
