#include "graphics/bitmap32.h"

#include <algorithm>
#include <cstring>

namespace saver {

// The hot loops get a clone per vector width, picked once at load time by the CPU, and are
// vectorised even in -O2 builds (whose cheap cost model would leave them scalar). Not under
// the thread sanitizer: the clone resolvers run before its runtime is up and crash at load.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define SAVER_PIXEL_CLONES 1
#define SAVER_PIXEL_LOOP \
  __attribute__((target_clones("avx512f", "avx2", "default"), optimize("O3")))
#else
#define SAVER_PIXEL_CLONES 0
#define SAVER_PIXEL_LOOP
#endif

const char* PixelLoopPath() {
#if SAVER_PIXEL_CLONES
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return "avx512f";
  if (__builtin_cpu_supports("avx2")) return "avx2";
#endif
  return "default";
}

SAVER_PIXEL_LOOP void FillPixels(TColor32* pixels, size_t n, TColor32 color) {
  for (size_t i = 0; i < n; ++i) pixels[i] = color;
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

SAVER_PIXEL_LOOP void SetAlpha(TColor32* p, size_t n, uint8_t alpha) {
  const TColor32 a = TColor32(alpha) << 24;
  for (size_t i = 0; i < n; ++i) p[i] = (p[i] & 0x00FFFFFFu) | a;
}

void PutRow(TColor32* dst, const TColor32* src, int32_t n, TDrawMode mode, uint8_t master) {
  if (mode == TDrawMode::Opaque)
    std::memmove(dst, src, size_t(n) * sizeof(TColor32));
  else
    BlendRow(dst, src, n, master);
}

// Puts `rows` rows of n pixels; whole-width opaque blocks go in one move, which lets the
// library copy large frames with streaming stores.
void PutRows(TColor32* dst, size_t dstStride, const TColor32* src, size_t srcStride, int32_t n,
             int32_t rows, TDrawMode mode, uint8_t master) {
  if (mode == TDrawMode::Opaque && size_t(n) == dstStride && size_t(n) == srcStride) {
    std::memmove(dst, src, size_t(n) * size_t(rows) * sizeof(TColor32));
    return;
  }
  for (int32_t r = 0; r < rows; ++r)
    PutRow(dst + size_t(r) * dstStride, src + size_t(r) * srcStride, n, mode, master);
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

// Horizontal pass: each output column's two samples of one source row mixed per channel.
// The sums are at most 255 x 256, so blue and red share one word as two 16-bit lanes, and
// green and alpha another: out[2x] = B | R << 16, out[2x + 1] = G | A << 16. The sample
// pairs are first gathered into a plain array so that the arithmetic runs on whole vectors.
SAVER_PIXEL_LOOP void MixColumns(const TColor32* src, const int32_t* i0, const int32_t* i1,
                                 const uint32_t* w, int32_t n, uint64_t* pairs, uint32_t* out) {
  // Where the second sample is the first's right neighbour, one load fetches both.
  int32_t paired = n;
  while (paired > 0 && i1[paired - 1] != i0[paired - 1] + 1) --paired;
  for (int32_t x = 0; x < paired; ++x) std::memcpy(&pairs[x], src + i0[x], sizeof(uint64_t));
  for (int32_t x = paired; x < n; ++x) pairs[x] = src[i0[x]] | uint64_t(src[i1[x]]) << 32;
  for (int32_t x = 0; x < n; ++x) {
    const uint32_t p0 = uint32_t(pairs[x]), p1 = uint32_t(pairs[x] >> 32), w1 = w[x];
    const uint32_t w0 = 256 - w1;
    out[2 * x] = (p0 & 0xFF00FFu) * w0 + (p1 & 0xFF00FFu) * w1;
    out[2 * x + 1] = ((p0 >> 8) & 0xFF00FFu) * w0 + ((p1 >> 8) & 0xFF00FFu) * w1;
  }
}

// Vertical pass: mixes two horizontally mixed rows into output pixels.
SAVER_PIXEL_LOOP void MixRows(const uint32_t* top, const uint32_t* bottom, uint32_t w, int32_t n,
                              TColor32* out) {
  const uint32_t iw = 256 - w;
  auto mix = [&](uint32_t t, uint32_t b) { return (t * iw + b * w + 32768) >> 16; };
  for (int32_t x = 0; x < n; ++x) {
    const uint32_t trb = top[2 * x], tga = top[2 * x + 1];
    const uint32_t brb = bottom[2 * x], bga = bottom[2 * x + 1];
    out[x] = mix(trb & 0xFFFF, brb & 0xFFFF) | mix(tga & 0xFFFF, bga & 0xFFFF) << 8 |
             mix(trb >> 16, brb >> 16) << 16 | mix(tga >> 16, bga >> 16) << 24;
  }
}

}  // namespace

void TBitmap32::SetSize(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  if (width_ == 0 || height_ == 0) width_ = height_ = 0;
  pixels_.assign(size_t(width_) * size_t(height_), 0);
}

void TBitmap32::Clear(TColor32 color) { FillPixels(pixels_.data(), pixels_.size(), color); }

void TBitmap32::ResetAlpha(uint8_t alpha) { SetAlpha(pixels_.data(), pixels_.size(), alpha); }

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

void TBitmap32::DrawTo(TBitmap32& dst, int32_t x, int32_t y) const {
  if (&dst == this) {  // drawing onto itself reads rows already written: draw from a copy
    TBitmap32(*this).DrawTo(dst, x, y);
    return;
  }
  const TRect d =
      IntersectRect(TRect{x, y, AddClamped(x, width_), AddClamped(y, height_)}, dst.BoundsRect());
  if (d.IsEmpty()) return;
  PutRows(dst.ScanLine(d.Top) + d.Left, size_t(dst.width_), ScanLine(d.Top - y) + (d.Left - x),
          size_t(width_), d.Width(), d.Height(), DrawMode, MasterAlpha);
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
  // Widths of rectangles reaching far outside may not fit int32.
  const int64_t dstW = int64_t(dstRect.Right) - dstRect.Left;
  const int64_t dstH = int64_t(dstRect.Bottom) - dstRect.Top;
  const int64_t srcW = int64_t(srcRect.Right) - srcRect.Left;
  const int64_t srcH = int64_t(srcRect.Bottom) - srcRect.Top;
  if (s == srcRect && dstW == s.Width() && dstH == s.Height()) {
    PutRows(dst.ScanLine(d.Top) + d.Left, size_t(dst.width_),
            ScanLine(s.Top + d.Top - dstRect.Top) + s.Left + (d.Left - dstRect.Left),
            size_t(width_), d.Width(), d.Height(), DrawMode, MasterAlpha);
    return;
  }
  // Stretched: bilinear sampling at pixel centres, clamped to the source rectangle. Each
  // source row is mixed horizontally once and kept while consecutive output rows use it.
  const TSamples cols = SampleTable(d.Left, d.Width(), dstRect.Left, srcRect.Left,
                                    double(srcW) / double(dstW), s.Left, s.Right);
  const TSamples rows = SampleTable(d.Top, d.Height(), dstRect.Top, srcRect.Top,
                                    double(srcH) / double(dstH), s.Top, s.Bottom);
  const int32_t n = d.Width();
  std::vector<uint32_t> mixA(size_t(n) * 2), mixB(size_t(n) * 2);
  std::vector<uint64_t> pairs(static_cast<size_t>(n));
  uint32_t* upper = mixA.data();
  uint32_t* lower = mixB.data();
  int32_t upperRow = -1, lowerRow = -1;
  std::vector<TColor32> blended(DrawMode == TDrawMode::Blend ? size_t(n) : 0);
  for (int32_t y = d.Top; y < d.Bottom; ++y) {
    const size_t k = size_t(y - d.Top);
    const int32_t row0 = rows.I0[k], row1 = rows.I1[k];
    auto mixColumns = [&](int32_t row, uint32_t* out) {
      MixColumns(ScanLine(row), cols.I0.data(), cols.I1.data(), cols.W.data(), n, pairs.data(),
                 out);
    };
    if (upperRow != row0) {
      if (lowerRow == row0) {
        std::swap(upper, lower);
        std::swap(upperRow, lowerRow);
      } else {
        mixColumns(row0, upper);
        upperRow = row0;
      }
    }
    if (lowerRow != row1) {
      if (row1 == upperRow)
        std::memcpy(lower, upper, size_t(n) * 2 * sizeof(uint32_t));
      else
        mixColumns(row1, lower);
      lowerRow = row1;
    }
    TColor32* out = DrawMode == TDrawMode::Opaque ? dst.ScanLine(y) + d.Left : blended.data();
    MixRows(upper, lower, rows.W[k], n, out);
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
  PutRows(to, size_t(width_), from, size_t(src.width_), n, rows, TDrawMode::Opaque, 255);
}

}  // namespace saver
