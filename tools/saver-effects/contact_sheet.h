#pragma once
// One picture that shows every effect at a few moments: a grid of cells,
// one per effect, each with its number and the surface at evenly spaced
// frames of its run.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

struct TSheetLayout {
  int32_t Moments = 3;        // frames shown per effect
  int32_t CellsPerRow = 6;
  int32_t Steps = 32;
};

// oldPicture and newPicture have the thumbnail size.
TBitmap32 BuildContactSheet(const TBitmap32& oldPicture, const TBitmap32& newPicture,
                            const TSheetLayout& layout);

}  // namespace saver
