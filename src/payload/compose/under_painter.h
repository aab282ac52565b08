#pragma once
// Paints a stack of shapes from the top one down: each pixel takes the colour
// of the first shape that reaches it and is never written again. The result
// equals painting the shapes bottom-up, but every pixel is written once, so
// hundreds of nested full-screen shapes cost about one screen fill.
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/region.h"

namespace saver {

class TUnderPainter {
 public:
  explicit TUnderPainter(TBitmap32& target);

  // Paints the parts of the shape that no earlier call painted.
  void Fill(const TRegion& region, TColor32 color);
  void FillRect(const TRect& rect, TColor32 color);

 private:
  void FillSpan(int32_t y, int32_t left, int32_t right, TColor32 color);

  TBitmap32& target_;
  std::vector<std::vector<TSpan>> painted_;  // per row: sorted, disjoint, merged
};

}  // namespace saver
