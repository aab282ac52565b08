#include "payload/compose/gradient.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "graphics/region.h"
#include "payload/compose/mul_div.h"
#include "payload/compose/under_painter.h"

namespace saver {

namespace {

int32_t Channel(TColorRef c, int shift) { return int32_t((c >> shift) & 0xFF); }

TRegion Polygon(std::vector<TPoint> points) {
  return TRegion::Polygon(points, TFillMode::Alternate);
}

// Vertical drawings are the same in every row: paint row 0, copy it down.
void CopyFirstRowDown(TBitmap32& b) {
  for (int32_t y = 1; y < b.Height(); ++y)
    std::copy(b.ScanLine(0), b.ScanLine(0) + b.Width(), b.ScanLine(y));
}

int32_t Trunc(double v) { return int32_t(std::trunc(v)); }

// Styles 0 and 2 (vertical bands) and 1 (horizontal bands).
void Bands(TBitmap32& b, bool vertical, TColorRef c1, TColorRef c2) {
  const int32_t W = b.Width(), H = b.Height();
  for (int32_t i = 0; i < 256; ++i) {
    const TColor32 c = GradientStep(c1, c2, i, 255);
    if (vertical)
      b.FillRect(TRect{MulDiv(i, W, 256), 0, MulDiv(i + 1, W, 256), 1}, c);
    else
      b.FillRect(TRect{0, MulDiv(i, H, 256), W, MulDiv(i + 1, H, 256)}, c);
  }
  if (vertical) CopyFirstRowDown(b);
}

// The nested shapes of styles 3, 4, 7 and 8 are painted from the last one
// back (TUnderPainter), which gives the same picture as painting them in
// order while writing each pixel once.

void Ellipses(TBitmap32& b, TColorRef c1, TColorRef c2) {
  const double W = b.Width(), H = b.Height();
  double x1 = -W / 4, x2 = W + W / 4 + 4, y1 = -H / 4, y2 = H + H / 4 + 4;
  const double dx = (W / 2 + W / 4) / 155, dy = (H / 2 + H / 4) / 155;
  std::vector<TRect> rects;
  for (int32_t i = 0; i <= 155; ++i) {
    x1 += dx, x2 -= dx, y1 += dy, y2 -= dy;
    rects.push_back(TRect{Trunc(x1), Trunc(y1), Trunc(x2), Trunc(y2)});
  }
  TUnderPainter painter(b);
  for (int32_t i = 155; i >= 0; --i)
    painter.Fill(TRegion::Ellipse(rects[size_t(i)]), GradientStep(c1, c2, i, 155));
}

void Rectangles(TBitmap32& b, TColorRef c1, TColorRef c2) {
  const double W = b.Width(), H = b.Height();
  double x1 = 0, x2 = W, y1 = 0, y2 = H;
  const double dx = W / 2 / 255, dy = H / 2 / 255;
  std::vector<TRect> rects;
  for (int32_t i = 0; i <= 255; ++i) {
    rects.push_back(TRect{Trunc(x1), Trunc(y1), Trunc(x2), Trunc(y2)});
    x1 += dx, x2 -= dx, y1 += dy, y2 -= dy;
  }
  TUnderPainter painter(b);
  for (int32_t i = 255; i >= 0; --i)
    painter.FillRect(rects[size_t(i)], GradientStep(c1, c2, i, 255));
}

// Styles 5 (rows from top and bottom) and 6 (columns from left and right).
void Mirrored(TBitmap32& b, bool rows, TColorRef c1, TColorRef c2) {
  const int32_t W = b.Width(), H = b.Height();
  const int32_t extent = rows ? H : W, half = extent / 2;
  for (int32_t i = 0; i <= half; ++i) {
    const TColor32 c = GradientStep(c1, c2, i, half);
    const int32_t j = extent - 1 - i;
    if (rows) {
      b.FillRect(TRect{0, i, W, i + 1}, c);
      b.FillRect(TRect{0, j, W, j + 1}, c);
    } else {
      b.FillRect(TRect{i, 0, i + 1, 1}, c);
      b.FillRect(TRect{j, 0, j + 1, 1}, c);
    }
  }
  if (!rows) CopyFirstRowDown(b);
}

void Pinwheel(TBitmap32& b, TColorRef c1, TColorRef c2) {
  const int32_t W = b.Width(), H = b.Height();
  const TPoint m{W / 2, H / 2};
  TUnderPainter painter(b);
  for (int32_t i = 255; i >= 0; --i) {
    const int32_t x0 = MulDiv(i, W, 255), x1 = MulDiv(i + 1, W, 255);
    const int32_t y0 = MulDiv(i, H, 255), y1 = MulDiv(i + 1, H, 255);
    const TColor32 c = GradientStep(c1, c2, i, 255);
    // In order: left edge, right edge, top edge, bottom edge; so backwards here.
    painter.Fill(Polygon({m, {W - x0, H}, {W - x1, H}}), c);
    painter.Fill(Polygon({m, {x0, 0}, {x1, 0}}), c);
    painter.Fill(Polygon({m, {W, H - y0}, {W, H - y1}}), c);
    painter.Fill(Polygon({m, {0, y0}, {0, y1}}), c);
  }
}

void Diagonal(TBitmap32& b, TColorRef c1, TColorRef c2) {
  const int32_t W = b.Width(), H = b.Height();
  TUnderPainter painter(b);
  for (int32_t i = 255; i >= 0; --i) {
    const int32_t k = MulDiv(i, W / 2, 255), l = MulDiv(i, H / 2, 255);
    painter.Fill(Polygon({{k, l}, {0, H}, {W - k, H - l}, {W, 0}}), GradientStep(c1, c2, i, 255));
  }
}

}  // namespace

TColor32 GradientStep(TColorRef c1, TColorRef c2, int32_t i, int32_t D) {
  if (D == 0) return ColorRefToColor32(c2);
  auto ch = [&](int shift) {
    const int32_t a = Channel(c1, shift);
    return uint8_t(std::clamp(a + MulDiv(i, Channel(c2, shift) - a, D), 0, 255));
  };
  return Color32(ch(0), ch(8), ch(16));
}

void GradientFill(TBitmap32& canvas, int32_t style, TColorRef c1, TColorRef c2,
                  const TRect& rect) {
  if (rect.Right <= 0 || rect.Bottom <= 0) return;
  TBitmap32 b(rect.Right, rect.Bottom);
  b.Clear(ColorRefToColor32(c1));
  switch (style) {
    case 0:
    case 2: Bands(b, true, c1, c2); break;
    case 1: Bands(b, false, c1, c2); break;
    case 3: Ellipses(b, c1, c2); break;
    case 4: Rectangles(b, c1, c2); break;
    case 5: Mirrored(b, true, c1, c2); break;
    case 6: Mirrored(b, false, c1, c2); break;
    case 7: Pinwheel(b, c1, c2); break;
    case 8: Diagonal(b, c1, c2); break;
    default: break;  // no drawing of its own: the flat start colour
  }
  b.DrawTo(canvas, 0, 0);
}

}  // namespace saver
