#pragma once
// A zoom piece: a fixed rectangle of the incoming picture stretched into a
// destination rectangle whose four edges move at their own speeds.
#include <cstdint>

#include "graphics/rect.h"

namespace saver {

class TZoom {
 public:
  // Starts at (x0, y0) with size w x h; each step moves the left edge by dx1,
  // the right edge by dx2, the top edge by dy1 and the bottom edge by dy2.
  void Init(int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t steps, double dx1, double dy1,
            double dx2, double dy2, const TRect& src);
  // Moves one step and sets DstRect and SrcRect; false once no steps are left
  // (also for the step that used the last one).
  bool Step();

  TRect DstRect, SrcRect;

 private:
  int32_t steps_ = 0;
  double x_ = 0, y_ = 0, w_ = 0, h_ = 0;
  double dx1_ = 0, dx2_ = 0, dy1_ = 0, dy2_ = 0;
  TRect src_;
};

}  // namespace saver
