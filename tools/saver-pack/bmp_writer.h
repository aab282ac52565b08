#pragma once
// Writes a TBitmap32 as a 32-bit uncompressed Windows bitmap file.
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

// Bottom-up rows, BITMAPINFOHEADER, no colour table: 54 header bytes plus
// width x height x 4 pixel bytes (B, G, R, A in each pixel).
std::vector<uint8_t> EncodeBmp32(const TBitmap32& bitmap);

}  // namespace saver
