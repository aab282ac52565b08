#pragma once
// Integer rectangles with exclusive Right and Bottom, as every raster
// operation of the saver uses them. The empty rectangle is (0, 0, 0, 0).
#include <algorithm>
#include <cstdint>

namespace saver {

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;

  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return TRect{l, t, r, b}; }

constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

struct TPoint {
  int32_t X = 0, Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

}  // namespace saver
