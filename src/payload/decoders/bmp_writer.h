#pragma once
// Writes TBitmap32 pictures as uncompressed Windows bitmap files.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

// Bottom-up rows, BITMAPINFOHEADER, no colour table: 54 header bytes plus
// width x height x 4 pixel bytes (B, G, R, A in each pixel).
std::vector<uint8_t> EncodeBmp32(const TBitmap32& bitmap);

// A 24-bit bitmap of the picture's size: bottom-up rows of B, G, R bytes,
// each row padded to a multiple of 4 bytes. The file is opaque, so each
// pixel is written as drawn over black (its colour scaled by its alpha).
// Raises std::runtime_error for an empty picture or one too large for the
// format.
std::vector<uint8_t> EncodeBmp24(const TBitmap32& picture);

// Writes EncodeBmp24(picture) to path, replacing what is there: the bytes go
// to path + ".tmp", reach the disk and are then renamed over path, so the
// final name holds either the old file or the whole new one. Raises
// std::runtime_error naming the path and the system's reason when the file
// cannot be written; the temporary file is removed then.
void WriteBmpFile(const TBitmap32& picture, const std::string& path);

}  // namespace saver
