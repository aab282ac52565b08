// Box Out (69) and Box In (70): a centred box, proportional to the picture,
// that grows with the incoming picture inside it or shrinks with the
// outgoing picture inside it.
#include <array>

#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

namespace {

// The centred box whose half-width is f; its half-height follows the
// picture's aspect ratio. Clipped to the picture: the last boxes of Box Out
// reach past the edges.
TRect CentredBox(const TTransThread& t, int32_t f) {
  const int32_t hw = t.FWidth / 2, hh = t.FHeight / 2;
  const int32_t g = RoundEven(f * (double(t.FHeight) / double(t.FWidth)));
  return ClipToPicture(TRect{hw - f, hh - g, hw + f, hh + g}, t);
}

}  // namespace

void DoBoxOut(TTransThread& t, int32_t /*variant*/) {
  if (t.FWidth <= 0 || t.FHeight <= 0) return;
  const int32_t hw = t.FWidth / 2;
  const int32_t d = std::max(t.FWidth / t.Steps(), 1);
  for (int32_t f = d; f < hw + d && !t.Aborted(); f += d) {
    t.BeginFrame();
    const TRect box = CentredBox(t, f);
    if (!box.IsEmpty()) {
      t.FSrcRect = t.FDstRect = box;
      t.PaintNew();
    }
    t.WaitFrame();
  }
}

void DoBoxIn(TTransThread& t, int32_t /*variant*/) {
  if (t.FWidth <= 0 || t.FHeight <= 0) return;
  const int32_t hw = t.FWidth / 2;
  const int32_t d = std::max(t.FWidth / t.Steps(), 1);
  // The boxes only shrink, and the surface still shows the outgoing picture
  // inside the last one: each frame paints the incoming picture into the
  // ring between the last box and the new one, and nothing else.
  TRect lastBox{0, 0, t.FWidth, t.FHeight};
  for (int32_t f = hw; f > 0 && !t.Aborted(); f -= d) {
    t.BeginFrame();
    const TRect box = IntersectRect(CentredBox(t, f), lastBox);
    const std::array<TRect, 4> ring =
        box.IsEmpty()
            ? std::array<TRect, 4>{lastBox, {}, {}, {}}
            : std::array<TRect, 4>{TRect{lastBox.Left, lastBox.Top, lastBox.Right, box.Top},
                                   TRect{lastBox.Left, box.Bottom, lastBox.Right, lastBox.Bottom},
                                   TRect{lastBox.Left, box.Top, box.Left, box.Bottom},
                                   TRect{box.Right, box.Top, lastBox.Right, box.Bottom}};
    t.PaintParts(t.FNewPicture, ring);
    lastBox = box;
    t.WaitFrame();
  }
}

}  // namespace saver
