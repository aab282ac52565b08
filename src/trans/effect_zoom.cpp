// The zooms (103-114): one, two or four pieces of the incoming picture grow
// from a point or an edge until they fill their place.
#include "trans/effect_zoom.h"

#include <vector>

#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

void TZoom::Init(int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t steps, double dx1,
                 double dy1, double dx2, double dy2, const TRect& src) {
  x_ = x0;
  y_ = y0;
  w_ = w;
  h_ = h;
  steps_ = steps;
  dx1_ = dx1;
  dy1_ = dy1;
  dx2_ = dx2;
  dy2_ = dy2;
  src_ = src;
  DstRect = SrcRect = TRect{};
}

bool TZoom::Step() {
  if (steps_ <= 0) return false;
  --steps_;
  x_ += dx1_;
  y_ += dy1_;
  w_ += dx2_ - dx1_;
  h_ += dy2_ - dy1_;
  DstRect = TRect{RoundEven(x_), RoundEven(y_), RoundEven(x_ + w_), RoundEven(y_ + h_)};
  SrcRect = src_;
  return steps_ > 0;
}

namespace {

std::vector<TZoom> ZoomPieces(int32_t v, int32_t n, int32_t wd, int32_t ht) {
  const int32_t hw = wd / 2, hh = ht / 2;
  const double a = double(wd) / n, b = double(ht) / n;  // a full edge's travel per step
  const TRect whole{0, 0, wd, ht};
  std::vector<TZoom> pieces;
  auto add = [&](int32_t x0, int32_t y0, int32_t w, int32_t h, double dx1, double dx2, double dy1,
                 double dy2, const TRect& src) {
    pieces.emplace_back().Init(x0, y0, w, h, n, dx1, dy1, dx2, dy2, src);
  };
  switch (v) {
    case 1: add(hw, hh, 0, 0, -a / 2, a / 2, -b / 2, b / 2, whole); break;
    case 2: add(0, 0, 0, 0, 0, a, 0, b, whole); break;
    case 3: add(wd, 0, 0, 0, -a, 0, 0, b, whole); break;
    case 4: add(0, ht, 0, 0, 0, a, -b, 0, whole); break;
    case 5: add(wd, ht, 0, 0, -a, 0, -b, 0, whole); break;
    case 6: add(0, 0, 0, ht, 0, a, 0, 0, whole); break;
    case 7: add(0, 0, wd, 0, 0, 0, 0, b, whole); break;
    case 8: add(wd, 0, 0, ht, -a, 0, 0, 0, whole); break;
    case 9: add(0, ht, wd, 0, 0, 0, -b, 0, whole); break;
    case 10:  // two halves close like a door, left and right
      add(0, 0, 0, ht, 0, a / 2, 0, 0, TRect{0, 0, hw, ht});
      add(wd, 0, 0, ht, -a / 2, 0, 0, 0, TRect{hw, 0, wd, ht});
      break;
    case 11:  // top and bottom
      add(0, 0, wd, 0, 0, 0, 0, b / 2, TRect{0, 0, wd, hh});
      add(0, ht, wd, 0, 0, 0, -b / 2, 0, TRect{0, hh, wd, ht});
      break;
    case 12: {  // each quadrant grows from its centre
      const int32_t qx = wd / 4, qy = ht / 4;
      const TRect quarters[4] = {{0, 0, hw, hh}, {hw, 0, wd, hh}, {0, hh, hw, ht}, {hw, hh, wd, ht}};
      const TPoint centres[4] = {{qx, qy}, {qx + hw, qy}, {qx, hh + qy}, {qx + hw, hh + qy}};
      for (int k = 0; k < 4; ++k)
        add(centres[k].X, centres[k].Y, 0, 0, -a / 4, a / 4, -b / 4, b / 4, quarters[k]);
      break;
    }
  }
  return pieces;
}

}  // namespace

void DoZoom(TTransThread& t, int32_t v) {
  std::vector<TZoom> pieces = ZoomPieces(v, t.Steps(), t.FWidth, t.FHeight);
  if (pieces.empty()) return;
  t.PrepareWork();
  std::vector<TRect> shown(pieces.size());
  while (true) {
    t.BeginFrame();
    bool more = false;
    for (size_t k = 0; k < pieces.size(); ++k) {
      TZoom& piece = pieces[k];
      more = piece.Step() || more;
      // Pieces reach past the picture on their way; only the part inside is
      // drawn and painted.
      shown[k] = piece.SrcRect.IsEmpty() ? TRect{} : ClipToPicture(piece.DstRect, t);
      if (shown[k].IsEmpty()) continue;
      // Stretched in bands of rows: each band samples as the whole piece does.
      const TRect area = shown[k];
      t.ComposeRows(area.Top, area.Bottom, area.Width(), [&](int32_t top, int32_t bottom) {
        t.FNewPicture.DrawTo(t.FWork, piece.DstRect, piece.SrcRect,
                             TRect{area.Left, top, area.Right, bottom}, TDrawMode::Opaque);
      });
    }
    // One hand-over paints every piece. Where pieces meet, the buffer holds
    // the later one, as the surface would after painting them in turn.
    t.PaintParts(t.FWork, shown);
    if (!more || t.Aborted()) break;
    t.WaitFrame();
  }
}

}  // namespace saver
