#include "graphics/bitmap32.h"

#include <algorithm>
#include <cstring>

#include "graphics/pixel_kernels.h"

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

// Output positions of a stretch along one axis: for each, the two source samples and the
// weight of the second in 256ths (kept as separate arrays so the loops load them as vectors).
struct TSamples {
  std::vector<int32_t> I0, I1;
  std::vector<uint32_t> W;
};

// Samples for output positions first .. first + count − 1 of a destination span starting at
// dstOrigin that shows the source span starting at srcOrigin scaled by scale, sampled at pixel
// centres and clamped to the valid source range [lo, hi).
TSamples SampleTable(int64_t first, int64_t count, int64_t dstOrigin, int32_t srcOrigin,
                     double scale, int32_t lo, int32_t hi) {
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
  const int64_t srcW = int64_t(srcRect.Right) - srcRect.Left;
  const int64_t srcH = int64_t(srcRect.Bottom) - srcRect.Top;
  if (s == srcRect && dstW == s.Width() && dstH == s.Height()) {
    PutRows(dst.ScanLine(d.Top) + d.Left, size_t(dst.width_),
            ScanLine(s.Top + d.Top - dstRect.Top) + s.Left + (d.Left - dstRect.Left),
            size_t(width_), d.Width(), d.Height(), mode, masterAlpha, stream);
    return;
  }
  // Stretched: bilinear sampling at pixel centres, clamped to the source rectangle. Each
  // source row is mixed horizontally once and kept while consecutive output rows use it.
  // The tables depend on dstRect and srcRect only, never on the clip.
  const TPixelKernels& k = PixelKernels();
  const TSamples cols = SampleTable(d.Left, d.Width(), dstRect.Left, srcRect.Left,
                                    double(srcW) / double(dstW), s.Left, s.Right);
  const TSamples rows = SampleTable(d.Top, d.Height(), dstRect.Top, srcRect.Top,
                                    double(srcH) / double(dstH), s.Top, s.Bottom);
  const size_t n = size_t(d.Width());
  // Two mixed rows of planar lanes (see TPixelKernels), and a row for blending.
  std::vector<uint32_t> lanes(n * 4);
  uint32_t* upper[2] = {lanes.data(), lanes.data() + n};
  uint32_t* lower[2] = {lanes.data() + 2 * n, lanes.data() + 3 * n};
  int32_t upperRow = -1, lowerRow = -1;
  std::vector<TColor32> blended(mode == TDrawMode::Blend ? n : 0);
  auto mixColumns = [&](int32_t row, uint32_t* const* out) {
    k.MixColumns(ScanLine(row), s.Right, cols.I0.data(), cols.I1.data(), cols.W.data(), n,
                 out[0], out[1]);
  };
  for (int32_t y = d.Top; y < d.Bottom; ++y) {
    const size_t r = size_t(y - d.Top);
    const int32_t row0 = rows.I0[r];
    // A row sampled with weight 0 for the second row does not depend on it: the first
    // stands in for it (as it does at the source's last row).
    const int32_t row1 = rows.W[r] == 0 ? row0 : rows.I1[r];
    if (upperRow != row0) {
      if (lowerRow == row0) {
        std::swap(upper, lower);
        std::swap(upperRow, lowerRow);
      } else {
        mixColumns(row0, upper);
        upperRow = row0;
      }
    }
    uint32_t* const* second = lower;
    if (row1 == upperRow) {
      second = upper;
    } else if (lowerRow != row1) {
      mixColumns(row1, lower);
      lowerRow = row1;
    }
    TColor32* out = mode == TDrawMode::Opaque ? dst.ScanLine(y) + d.Left : blended.data();
    k.MixRows(upper[0], upper[1], second[0], second[1], rows.W[r], n, out,
              stream && mode == TDrawMode::Opaque);
    if (mode == TDrawMode::Blend) k.Blend(dst.ScanLine(y) + d.Left, out, n, masterAlpha);
  }
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
