#pragma once
// A 3x5 pixel font for the digits 0-9, enough to number the cells of a
// contact sheet without a text renderer.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

// Draws the decimal number n with its top-left corner at (x, y), each font
// pixel a scale x scale square; clipped to the bitmap. Returns the width drawn.
int32_t DrawNumber(TBitmap32& bitmap, int32_t x, int32_t y, int32_t n, TColor32 color,
                   int32_t scale = 1);

}  // namespace saver
