#pragma once
// Integer helpers shared by the box, clip-region, sweep, zoom and fade
// effects. Ratios of integers are computed exactly, so a ceiling never jumps
// because a quotient came out a hair above a whole number.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "graphics/rect.h"
#include "trans/rounding.h"
#include "trans/trans_thread.h"

namespace saver {

// Ceiling of num / den for den > 0, exact for negative numerators too.
constexpr int64_t CeilDiv(int64_t num, int64_t den) {
  return num >= 0 ? (num + den - 1) / den : -((-num) / den);
}

constexpr int32_t CeilRatio(int64_t num, int64_t den) {
  return int32_t(std::clamp<int64_t>(CeilDiv(num, den), INT32_MIN, INT32_MAX));
}

// The part of r inside the picture of the thread; empty when none.
inline TRect ClipToPicture(const TRect& r, const TTransThread& t) {
  return IntersectRect(r, TRect{0, 0, t.FWidth, t.FHeight});
}

// The smallest rectangle holding both; an empty rectangle adds nothing.
constexpr TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

// Copies rect (inside both bitmaps) of src to the same place in dst, pixels
// as they are, whatever the source's draw mode.
inline void CopyRect(const TBitmap32& src, TBitmap32& dst, const TRect& rect) {
  for (int32_t y = rect.Top; y < rect.Bottom; ++y)
    std::memcpy(dst.ScanLine(y) + rect.Left, src.ScanLine(y) + rect.Left,
                size_t(rect.Width()) * sizeof(TColor32));
}

// Paints the whole composition buffer.
inline void PaintWholeWork(TTransThread& t) {
  t.FSrcRect = t.FDstRect = TRect{0, 0, t.FWidth, t.FHeight};
  t.PaintWork();
}

// Paints the part of the composition buffer inside changed (nothing when it
// is empty): the rest of the surface already shows what the buffer holds.
inline void PaintChangedWork(TTransThread& t, const TRect& changed) {
  const TRect r = ClipToPicture(changed, t);
  if (r.IsEmpty()) return;
  t.FSrcRect = t.FDstRect = r;
  t.PaintWork();
}

}  // namespace saver
