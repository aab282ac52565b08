#include "graphics/bitmap32.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace saver {

static_assert(std::endian::native == std::endian::little, "pixel bytes are read as B, G, R, A");

// The hot loops get a clone per vector width, picked once at load time by the CPU.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SAVER_PIXEL_LOOP __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define SAVER_PIXEL_LOOP
#endif

const char* PixelLoopPath() {
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return "avx512f";
  if (__builtin_cpu_supports("avx2")) return "avx2";
#endif
  return "default";
}

namespace {

// x / 255 for 0 <= x < 65535, without a division.
constexpr uint32_t Div255(uint32_t x) { return (x + 1 + (x >> 8)) >> 8; }

// Source over destination with weight a = srcAlpha x master / 255 (rounded):
//   colour = (s·a + d·(255 − a)) / 255, alpha = a + dA·(255 − a) / 255, each rounded.
// Two channels are worked in the 16-bit halves of one word; the alpha lane uses 255 for the
// source value, which turns the colour formula into the alpha formula.
SAVER_PIXEL_LOOP void BlendRow(TColor32* dst, const TColor32* src, int32_t n, uint32_t master) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t s = src[i], d = dst[i];
    const uint32_t a = Div255((s >> 24) * master + 127), ia = 255 - a;
    uint32_t rb = (s & 0xFF00FFu) * a + (d & 0xFF00FFu) * ia + 0x7F007Fu;
    rb = ((rb + 0x10001u + ((rb >> 8) & 0xFF00FFu)) >> 8) & 0xFF00FFu;
    uint32_t ag = (((s >> 8) & 0xFFu) | 0xFF0000u) * a + ((d >> 8) & 0xFF00FFu) * ia + 0x7F007Fu;
    ag = (ag + 0x10001u + ((ag >> 8) & 0xFF00FFu)) & 0xFF00FF00u;
    dst[i] = rb | ag;
  }
}

void PutRow(TColor32* dst, const TColor32* src, int32_t n, TDrawMode mode, uint8_t master) {
  if (mode == TDrawMode::Opaque)
    std::memmove(dst, src, size_t(n) * sizeof(TColor32));
  else
    BlendRow(dst, src, n, master);
}

// One output column (or row) of a stretch: the two source samples and the weight of the
// second in 256ths.
struct TSample {
  int32_t I0, I1;
  uint32_t W;
};

// Samples for output positions first .. first + count − 1 of a destination span starting at
// dstOrigin that shows the source span starting at srcOrigin scaled by scale, sampled at pixel
// centres and clamped to the valid source range [lo, hi).
std::vector<TSample> SampleTable(int64_t first, int64_t count, int64_t dstOrigin,
                                 int32_t srcOrigin, double scale, int32_t lo, int32_t hi) {
  std::vector<TSample> table(static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) {
    double f = srcOrigin + (double(first + k - dstOrigin) + 0.5) * scale - 0.5;
    f = std::clamp(f, double(lo), double(hi - 1));
    const int32_t i0 = int32_t(f);
    table[size_t(k)] = TSample{i0, std::min(i0 + 1, hi - 1), uint32_t((f - i0) * 256)};
  }
  return table;
}

// Horizontal pass: each output column's two samples of one source row mixed per channel,
// kept as 16-bit values (at most 255 x 256) in B, G, R, A order.
SAVER_PIXEL_LOOP void MixColumns(const TColor32* src, const TSample* cols, int32_t n,
                                 uint16_t* out) {
  for (int32_t x = 0; x < n; ++x) {
    const uint32_t p0 = src[cols[x].I0], p1 = src[cols[x].I1], w = cols[x].W;
    for (int c = 0; c < 4; ++c)
      out[4 * x + c] =
          uint16_t(((p0 >> (8 * c)) & 0xFF) * (256 - w) + ((p1 >> (8 * c)) & 0xFF) * w);
  }
}

// Vertical pass: mixes two horizontally mixed rows into output bytes.
SAVER_PIXEL_LOOP void MixRows(const uint16_t* top, const uint16_t* bottom, uint32_t w,
                              int32_t count, uint8_t* out) {
  const uint32_t iw = 256 - w;
  for (int32_t i = 0; i < count; ++i)
    out[i] = uint8_t((top[i] * iw + bottom[i] * w + 32768) >> 16);
}

}  // namespace

void TBitmap32::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  pixels_.assign(size_t(width_) * size_t(height_), 0);
}

void TBitmap32::Clear(TColor32 color) { std::fill(pixels_.begin(), pixels_.end(), color); }

void TBitmap32::ResetAlpha(uint8_t alpha) {
  const TColor32 a = TColor32(alpha) << 24;
  for (auto& p : pixels_) p = (p & 0x00FFFFFFu) | a;
}

TColor32 TBitmap32::PixelS(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return Pixel(x, y);
}

void TBitmap32::SetPixelS(int32_t x, int32_t y, TColor32 c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  SetPixel(x, y, c);
}

void TBitmap32::DrawTo(TBitmap32& dst, int32_t x, int32_t y) const {
  if (&dst == this) {  // drawing onto itself reads rows already written: draw from a copy
    TBitmap32(*this).DrawTo(dst, x, y);
    return;
  }
  const TRect d = IntersectRect(TRect{x, y, x + width_, y + height_}, dst.BoundsRect());
  if (d.IsEmpty()) return;
  for (int32_t row = d.Top; row < d.Bottom; ++row)
    PutRow(dst.ScanLine(row) + d.Left, ScanLine(row - y) + (d.Left - x), d.Width(), DrawMode,
           MasterAlpha);
}

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect) const {
  if (&dst == this) {
    TBitmap32(*this).DrawTo(dst, dstRect, srcRect);
    return;
  }
  const TRect s = IntersectRect(srcRect, BoundsRect());
  if (s.IsEmpty() || dstRect.IsEmpty()) return;
  const TRect d = IntersectRect(dstRect, dst.BoundsRect());
  if (d.IsEmpty()) return;
  if (s == srcRect && dstRect.Width() == s.Width() && dstRect.Height() == s.Height()) {
    for (int32_t row = d.Top; row < d.Bottom; ++row)
      PutRow(dst.ScanLine(row) + d.Left,
             ScanLine(s.Top + row - dstRect.Top) + s.Left + (d.Left - dstRect.Left), d.Width(),
             DrawMode, MasterAlpha);
    return;
  }
  // Stretched: bilinear sampling at pixel centres, clamped to the source rectangle. Each
  // source row is mixed horizontally once and kept while consecutive output rows use it.
  const std::vector<TSample> cols =
      SampleTable(d.Left, d.Width(), dstRect.Left, srcRect.Left,
                  double(srcRect.Width()) / dstRect.Width(), s.Left, s.Right);
  const std::vector<TSample> rows =
      SampleTable(d.Top, d.Height(), dstRect.Top, srcRect.Top,
                  double(srcRect.Height()) / dstRect.Height(), s.Top, s.Bottom);
  const int32_t n = d.Width();
  std::vector<uint16_t> mixA(size_t(n) * 4), mixB(size_t(n) * 4);
  uint16_t* upper = mixA.data();
  uint16_t* lower = mixB.data();
  int32_t upperRow = -1, lowerRow = -1;
  std::vector<TColor32> blended(DrawMode == TDrawMode::Blend ? size_t(n) : 0);
  for (int32_t y = d.Top; y < d.Bottom; ++y) {
    const TSample& r = rows[size_t(y - d.Top)];
    if (upperRow != r.I0) {
      if (lowerRow == r.I0) {
        std::swap(upper, lower);
        std::swap(upperRow, lowerRow);
      } else {
        MixColumns(ScanLine(r.I0), cols.data(), n, upper);
        upperRow = r.I0;
      }
    }
    if (lowerRow != r.I1) {
      if (r.I1 == upperRow)
        std::memcpy(lower, upper, size_t(n) * 4 * sizeof(uint16_t));
      else
        MixColumns(ScanLine(r.I1), cols.data(), n, lower);
      lowerRow = r.I1;
    }
    TColor32* out = DrawMode == TDrawMode::Opaque ? dst.ScanLine(y) + d.Left : blended.data();
    MixRows(upper, lower, r.W, n * 4, reinterpret_cast<uint8_t*>(out));
    if (DrawMode == TDrawMode::Blend) BlendRow(dst.ScanLine(y) + d.Left, out, n, MasterAlpha);
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
  const size_t bytes = size_t(right - left) * sizeof(TColor32);
  auto copyRow = [&](int64_t y) {
    std::memmove(ScanLine(int32_t(y)) + left, src.ScanLine(int32_t(y - dy)) + (left - dx), bytes);
  };
  // Within one bitmap, moving down must copy the bottom rows first.
  if (&src == this && dy > 0)
    for (int64_t y = bottom - 1; y >= top; --y) copyRow(y);
  else
    for (int64_t y = top; y < bottom; ++y) copyRow(y);
}

}  // namespace saver
