#pragma once
// Writes a TBitmap32 as a PNG file (8 bits per channel). Failures throw
// std::runtime_error.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

// withAlpha: RGBA with the bitmap's alpha; otherwise RGB (alpha dropped).
std::vector<uint8_t> EncodePng(const TBitmap32& bitmap, bool withAlpha = true);
void WritePng(const TBitmap32& bitmap, const std::string& path, bool withAlpha = true);

}  // namespace saver
