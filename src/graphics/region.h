#pragma once
// Clip regions: sets of pixels kept as sorted, non-overlapping horizontal
// spans per row. Shapes follow the classic raster region rules: bounding
// boxes are right- and bottom-exclusive, polygons fill by the winding or
// alternate rule. Used by the clip-region transitions and to fill the
// ellipses and polygons of the background gradients.
//
// Pixel rules (pixel (x, y) is the unit square with its centre at (x + 0.5, y + 0.5)):
// - Rectangle (l, t, r, b): x in [l, r), y in [t, b). Reversed corners are swapped.
// - Ellipse (l, t, r, b): pixels whose centre lies inside or on the ellipse inscribed in
//   the box; the ellipse's two axes always belong to it, so its bounding box is the box
//   itself even when it is very thin.
// - Round rectangle: the rectangle with each corner cut by the matching quarter of the
//   ellipse of ellipseW x ellipseH (clamped to the rectangle's size; 0 or less means
//   square corners). With the full size it equals the ellipse.
// - Polygon: pixels whose centre lies inside by the fill rule; a centre exactly on an edge
//   counts as inside where the edge is a left boundary and outside where it is a right
//   boundary, so the square (0,0) (10,0) (10,10) (0,10) covers exactly [0,10) x [0,10)
//   and shapes sharing an edge never overlap.
// - Every coordinate is clipped to [-kRegionLimit, kRegionLimit]; shapes reaching beyond
//   keep their true geometry inside that range.
#include <cstdint>
#include <span>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/rect.h"

namespace saver {

enum class TFillMode { Alternate, Winding };

struct TSpan {
  int32_t Left, Right;  // [Left, Right)
  bool operator==(const TSpan&) const = default;
};

constexpr int32_t kRegionLimit = 1 << 15;

class TRegion {
 public:
  TRegion() = default;  // empty

  static TRegion FromRect(const TRect& r);
  // Rectangle with corners rounded by an ellipse of ellipseW x ellipseH.
  static TRegion RoundRect(const TRect& r, int32_t ellipseW, int32_t ellipseH);
  // Ellipse inscribed in r.
  static TRegion Ellipse(const TRect& r);
  static TRegion Polygon(const std::vector<TPoint>& points, TFillMode mode = TFillMode::Winding);

  TRegion Union(const TRegion& other) const;
  TRegion Intersect(const TRegion& other) const;
  TRegion Xor(const TRegion& other) const;
  TRegion Subtract(const TRegion& other) const;
  void Offset(int32_t dx, int32_t dy);

  bool IsEmpty() const { return rowStart_.empty(); }
  TRect BoundingBox() const;  // (0,0,0,0) when empty
  bool Contains(int32_t x, int32_t y) const;
  int64_t Area() const;

  int32_t Top() const { return top_; }
  int32_t Bottom() const { return top_ + RowCount(); }
  // Spans of row y, sorted and apart (empty outside [Top, Bottom)).
  std::span<const TSpan> Row(int32_t y) const;

  bool operator==(const TRegion&) const = default;

 private:
  int32_t RowCount() const { return rowStart_.empty() ? 0 : int32_t(rowStart_.size()) - 1; }

  // Row top_ + i holds spans_[rowStart_[i] .. rowStart_[i + 1]). No empty rows at either end;
  // the empty region has no rows at all and top_ 0, so equal pixel sets compare equal.
  int32_t top_ = 0;
  std::vector<uint32_t> rowStart_;
  std::vector<TSpan> spans_;
  friend class TRegionBuilder;
};

// Copies the pixels of src inside region onto the same positions of dst; only those of rows
// [top, bottom) when given, so that bands of rows can be copied by different threads. With
// stream, long spans go out with non-temporal stores (pixel_kernels.h).
void CopyThroughRegion(const TBitmap32& src, TBitmap32& dst, const TRegion& region,
                       int32_t top = INT32_MIN, int32_t bottom = INT32_MAX, bool stream = false);
// The same through the union of regions, each pixel once however many of them hold it.
void CopyThroughRegions(const TBitmap32& src, TBitmap32& dst,
                        std::span<const TRegion* const> regions, int32_t top = INT32_MIN,
                        int32_t bottom = INT32_MAX, bool stream = false);
// Paints every pixel of dst inside region with color.
void FillRegion(TBitmap32& dst, const TRegion& region, TColor32 color);

}  // namespace saver
