#pragma once
// Laying the background picture over the background: tiled, fitted or centred.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

enum TBackPictureMode : int32_t {
  BackPictureTiled = 0,
  BackPictureFitted = 1,
  // any other value: centred, scaled down to fit when larger than the area
};

// Lays picture over (0, 0, width, height) of canvas in the given mode.
// Unscaled copies keep the picture's transparency; scaled ones are opaque.
void DrawBackPicture(TBitmap32& canvas, int32_t width, int32_t height, int32_t mode,
                     const TBitmap32& picture);

}  // namespace saver
