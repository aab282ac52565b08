#pragma once
// Where a picture goes on the screen: the aspect-keeping fit and the
// destination rectangle of each size and position mode.
#include <cstdint>

#include "graphics/rect.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/random_colour.h"

namespace saver {

// The largest rectangle of the picture's aspect ratio inside the area,
// centred. Any zero size gives the whole area.
TRect FitRect(int32_t areaWidth, int32_t areaHeight, int32_t picWidth, int32_t picHeight);

// Size and position modes of a picture item.
enum TStretchMode : int32_t {
  StretchFit = 0,       // resize to fit keeping the aspect ratio
  StretchFill = 1,      // stretch over the whole area
  StretchCentre = 2,    // unscaled, centred (cut off when larger)
  StretchRandom = 3,    // unscaled at a random position (any other value too)
};

// Destination of a w x h picture on a W x H screen in the given mode; the
// preview window always stretches. random places mode 3 pictures.
TRect PictureRect(int32_t mode, bool preview, int32_t W, int32_t H, int32_t w, int32_t h,
                  const TRandomInt& random);

// What of a w x h picture PictureRect shows: the picture stretched to the
// rectangle's size, cut to the part of it on the screen (mode 2 cuts a
// larger picture). Draws no random number. A rectangle without pixels
// gives a fit of one pixel, which is never drawn.
TFit PictureFit(int32_t mode, bool preview, int32_t W, int32_t H, int32_t w, int32_t h);

}  // namespace saver
