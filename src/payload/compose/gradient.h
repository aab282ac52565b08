#pragma once
// The background gradients: nine drawings from one colour to another.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

// A colour as the payload stores it: 0x00BBGGRR, red in the low byte.
using TColorRef = uint32_t;

constexpr TColor32 ColorRefToColor32(TColorRef c) {
  return Color32(uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16));
}

// Colour step i of D between c1 and c2: each channel moves by MulDiv(i, delta, D).
// D = 0 (a drawing one pixel across) gives c2.
TColor32 GradientStep(TColorRef c1, TColorRef c2, int32_t i, int32_t D);

// Paints the drawing of style 0-8 over (0, 0, rect.Right, rect.Bottom) of canvas,
// clipped to canvas; later shapes cover earlier ones. Other styles paint c1 flat.
void GradientFill(TBitmap32& canvas, int32_t style, TColorRef c1, TColorRef c2, const TRect& rect);

}  // namespace saver
