#include "graphics/bitmap32.h"

#include <algorithm>
#include <cstring>

namespace saver {

namespace {

inline TColor32 BlendPixel(TColor32 src, TColor32 dst, uint32_t master) {
  uint32_t a = (AlphaOf(src) * master + 127) / 255;
  if (a == 0) return dst;
  if (a == 255) return src;
  uint32_t ia = 255 - a;
  auto ch = [&](int shift) {
    uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    return ((s * a + d * ia + 127) / 255) << shift;
  };
  uint32_t outA = a + (AlphaOf(dst) * ia + 127) / 255;
  return (outA << 24) | ch(16) | ch(8) | ch(0);
}

void PutRow(TColor32* dst, const TColor32* src, int32_t n, TDrawMode mode, uint8_t master) {
  if (mode == TDrawMode::Opaque) {
    std::memcpy(dst, src, size_t(n) * sizeof(TColor32));
    return;
  }
  for (int32_t i = 0; i < n; ++i) dst[i] = BlendPixel(src[i], dst[i], master);
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
  TRect d = IntersectRect(TRect{x, y, x + width_, y + height_}, dst.BoundsRect());
  if (d.IsEmpty()) return;
  for (int32_t row = d.Top; row < d.Bottom; ++row)
    PutRow(dst.ScanLine(row) + d.Left, ScanLine(row - y) + (d.Left - x), d.Width(), DrawMode,
           MasterAlpha);
}

void TBitmap32::DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect) const {
  TRect s = IntersectRect(srcRect, BoundsRect());
  if (s.IsEmpty() || dstRect.IsEmpty()) return;
  if (s == srcRect && dstRect.Width() == s.Width() && dstRect.Height() == s.Height()) {
    TRect d = IntersectRect(dstRect, dst.BoundsRect());
    for (int32_t row = d.Top; row < d.Bottom; ++row)
      PutRow(dst.ScanLine(row) + d.Left,
             ScanLine(s.Top + row - dstRect.Top) + s.Left + (d.Left - dstRect.Left), d.Width(),
             DrawMode, MasterAlpha);
    return;
  }
  // Stretched: bilinear sampling at pixel centres, clamped to the source rectangle.
  TRect d = IntersectRect(dstRect, dst.BoundsRect());
  if (d.IsEmpty()) return;
  const double sx = double(srcRect.Width()) / dstRect.Width();
  const double sy = double(srcRect.Height()) / dstRect.Height();
  std::vector<TColor32> row(size_t(d.Width()));
  for (int32_t y = d.Top; y < d.Bottom; ++y) {
    double fy = srcRect.Top + (y - dstRect.Top + 0.5) * sy - 0.5;
    fy = std::clamp(fy, double(s.Top), double(s.Bottom - 1));
    int32_t y0 = int32_t(fy), y1 = std::min(y0 + 1, s.Bottom - 1);
    uint32_t wy = uint32_t((fy - y0) * 256);
    for (int32_t x = d.Left; x < d.Right; ++x) {
      double fx = srcRect.Left + (x - dstRect.Left + 0.5) * sx - 0.5;
      fx = std::clamp(fx, double(s.Left), double(s.Right - 1));
      int32_t x0 = int32_t(fx), x1 = std::min(x0 + 1, s.Right - 1);
      uint32_t wx = uint32_t((fx - x0) * 256);
      TColor32 p00 = Pixel(x0, y0), p01 = Pixel(x1, y0), p10 = Pixel(x0, y1), p11 = Pixel(x1, y1);
      TColor32 out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t top = ((p00 >> shift) & 0xFF) * (256 - wx) + ((p01 >> shift) & 0xFF) * wx;
        uint32_t bot = ((p10 >> shift) & 0xFF) * (256 - wx) + ((p11 >> shift) & 0xFF) * wx;
        out |= (((top * (256 - wy) + bot * wy) + 32768) >> 16) << shift;
      }
      row[size_t(x - d.Left)] = out;
    }
    PutRow(dst.ScanLine(y) + d.Left, row.data(), d.Width(), DrawMode, MasterAlpha);
  }
}

}  // namespace saver
