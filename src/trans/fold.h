#pragma once
// A fold piece: a window that moves one step per frame and reveals the part
// of the incoming picture under it. A negative width or height extends the
// window to the left of X or above Y.
#include <cstdint>

#include "graphics/rect.h"

namespace saver {

class TFold {
 public:
  void Init(int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t steps, double dx, double dy,
            int32_t pictureWidth, int32_t pictureHeight);
  // Takes the window at the current position (clipped to the picture, empty
  // while no edge of each direction lies in the picture), then moves.
  // Returns whether steps remain; with none left it changes nothing.
  bool Step();

  int32_t PictureWidth = 0, PictureHeight = 0;
  int32_t Steps = 0;
  double X = 0, Y = 0, W = 0, H = 0;
  double DX = 0, DY = 0;
  TRect SrcRect, DstRect;  // always equal
};

}  // namespace saver
