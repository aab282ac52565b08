#pragma once
// Frame composition of the fades: whole-picture blends written row by row
// so that a full-screen frame costs a few milliseconds.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

// out := from x (255 - alpha) / 255 + to x alpha / 255 per colour channel,
// opaque. All three bitmaps have the same size.
void BlendPictures(const TBitmap32& from, const TBitmap32& to, uint8_t alpha, TBitmap32& out);
// out := picture x alpha / 255 per colour channel (a picture over black), opaque.
void DimPicture(const TBitmap32& picture, uint8_t alpha, TBitmap32& out);

}  // namespace saver
