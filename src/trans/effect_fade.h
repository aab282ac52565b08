#pragma once
// Frame composition of the fades: whole-picture blends through the pixel
// kernels, one range of rows at a time so that the worker's helpers can take
// bands of a frame.
#include <cstdint>
#include <limits>

#include "graphics/bitmap32.h"

namespace saver {

// Rows [top, bottom) of out := from x (255 - alpha) / 255 + to x alpha / 255
// per colour channel, opaque. All three bitmaps have the same size.
void BlendPictures(const TBitmap32& from, const TBitmap32& to, uint8_t alpha, TBitmap32& out,
                   int32_t top = 0, int32_t bottom = std::numeric_limits<int32_t>::max());
// Rows [top, bottom) of out := picture x alpha / 255 per colour channel (a
// picture over black), opaque.
void DimPicture(const TBitmap32& picture, uint8_t alpha, TBitmap32& out, int32_t top = 0,
                int32_t bottom = std::numeric_limits<int32_t>::max());

}  // namespace saver
