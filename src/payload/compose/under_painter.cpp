#include "payload/compose/under_painter.h"

#include <algorithm>

namespace saver {

TUnderPainter::TUnderPainter(TBitmap32& target)
    : target_(target), painted_(size_t(target.Height())) {}

void TUnderPainter::Fill(const TRegion& region, TColor32 color) {
  const int32_t top = std::max(region.Top(), 0);
  const int32_t bottom = std::min(region.Bottom(), target_.Height());
  for (int32_t y = top; y < bottom; ++y)
    for (const TSpan& s : region.Row(y)) FillSpan(y, s.Left, s.Right, color);
}

void TUnderPainter::FillRect(const TRect& rect, TColor32 color) {
  const TRect r = IntersectRect(rect, target_.BoundsRect());
  for (int32_t y = r.Top; y < r.Bottom; ++y) FillSpan(y, r.Left, r.Right, color);
}

void TUnderPainter::FillSpan(int32_t y, int32_t left, int32_t right, TColor32 color) {
  left = std::max(left, 0);
  right = std::min(right, target_.Width());
  if (left >= right) return;
  std::vector<TSpan>& done = painted_[size_t(y)];
  TColor32* row = target_.ScanLine(y);
  // Paint the gaps between the spans already painted inside [left, right).
  auto it = std::lower_bound(done.begin(), done.end(), left,
                             [](const TSpan& s, int32_t x) { return s.Right < x; });
  int32_t x = left;
  auto first = it;
  for (; it != done.end() && it->Left <= right; ++it) {
    if (it->Left > x) std::fill(row + x, row + it->Left, color);
    x = std::max(x, it->Right);
  }
  if (x < right) std::fill(row + x, row + right, color);
  // Merge [left, right) with the spans it touched.
  TSpan merged{left, right};
  if (first != it) {
    merged.Left = std::min(merged.Left, first->Left);
    merged.Right = std::max(merged.Right, std::prev(it)->Right);
  }
  it = done.erase(first, it);
  done.insert(it, merged);
}

}  // namespace saver
