#pragma once
// Clip regions: sets of pixels kept as sorted, non-overlapping horizontal
// spans per row. Shapes follow the classic raster region rules: bounding
// boxes are right- and bottom-exclusive, polygons fill by the winding or
// alternate rule. Used by the clip-region transitions and to fill the
// ellipses and polygons of the background gradients.
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/rect.h"

namespace saver {

enum class TFillMode { Alternate, Winding };

struct TSpan {
  int32_t Left, Right;  // [Left, Right)
  bool operator==(const TSpan&) const = default;
};

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

  bool IsEmpty() const { return rows_.empty(); }
  TRect BoundingBox() const;  // (0,0,0,0) when empty
  bool Contains(int32_t x, int32_t y) const;
  int64_t Area() const;

  int32_t Top() const { return top_; }
  int32_t Bottom() const { return top_ + int32_t(rows_.size()); }
  // Spans of row y (empty outside [Top, Bottom)).
  const std::vector<TSpan>& Row(int32_t y) const;

  bool operator==(const TRegion&) const = default;

 private:
  int32_t top_ = 0;
  std::vector<std::vector<TSpan>> rows_;  // rows_[i] is row top_ + i; no empty rows at either end
  friend class TRegionBuilder;
};

// Copies the pixels of src inside region onto the same positions of dst.
void CopyThroughRegion(const TBitmap32& src, TBitmap32& dst, const TRegion& region);
// Paints every pixel of dst inside region with color.
void FillRegion(TBitmap32& dst, const TRegion& region, TColor32 color);

}  // namespace saver
