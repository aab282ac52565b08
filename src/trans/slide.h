#pragma once
// A slide piece: a fixed window of the surface that shows the same window of
// its picture shifted by an offset; the offset moves one step per frame
// towards zero, so the picture ends in place.
#include <cstdint>

#include "graphics/rect.h"

namespace saver {

class TSlide {
 public:
  void Init(int32_t x0, int32_t y0, int32_t steps, double dx, double dy, int32_t left,
            int32_t top, int32_t right, int32_t bottom, bool outgoing = false);
  // Moves, then takes the part of the window that the shifted picture still
  // covers (empty when it covers none). Returns whether steps remain; with
  // none left it changes nothing.
  bool Step();

  int32_t Steps = 0;
  double X = 0, Y = 0;
  double DX = 0, DY = 0;
  int32_t Left = 0, Right = 0, Top = 0, Bottom = 0;
  bool Outgoing = false;  // shows the outgoing snapshot instead of the incoming picture
  TRect DstRect, SrcRect;
};

}  // namespace saver
