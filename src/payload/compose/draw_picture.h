#pragma once
// Drawing a picture stretched into a rectangle through an optional mask.
#include "graphics/bitmap32.h"

namespace saver {

// Draws picture stretched into dest on target (linear filtering). With a mask,
// the mask stretched into dest gives the opacity (its blue channel: white
// opaque, black transparent); outside dest and where an empty mask leaves
// nothing, target keeps what it had. The picture's alpha becomes 255.
void DrawPicture(TBitmap32& picture, TBitmap32& target, const TRect& dest,
                 const TBitmap32* mask);

// Sets target's alpha channel from mask's blue channel, the mask stretched over
// target's whole size. An empty mask makes target fully transparent.
void ApplyMaskAlpha(TBitmap32& target, const TBitmap32& mask);

// A decoded picture as drawn onto a new, all-black bitmap of its size: its
// transparent parts become black, partly transparent ones darker, and every
// pixel opaque. Pictures and masks are kept this way once decoded.
void FlattenOnBlack(TBitmap32& picture);
// The same for n pixels of a row, as a picture's rows are decoded.
void FlattenRowOnBlack(TColor32* row, size_t n);

}  // namespace saver
