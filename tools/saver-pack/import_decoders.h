#pragma once
// The decoders behind picture_import.h, one per format, each over its
// format's library. Each raises DecodeError ("WebP: ...") when the file
// cannot be read, and refuses pictures larger than kMaxPicturePixels before
// it reserves their memory.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

struct TImportedPixels {
  // Upright when asked for; straight (not premultiplied) alpha. Empty when
  // the source holds a JPEG instead.
  TBitmap32 Picture;
  bool Lossless = false;  // the source keeps every pixel exactly
  // A JPEG file the source holds whole (JPEG XL made from a JPEG without
  // loss), to be stored as it is, and the orientation (1-8) the source
  // gives it.
  std::optional<std::vector<uint8_t>> Jpeg;
  int JpegOrientation = 1;
};

// Rendered so that its longer side has at least kSvgLongerSide pixels, or
// the drawing's own size when that is larger.
inline constexpr int32_t kSvgLongerSide = 3840;
// Neither side of a rendered drawing goes beyond this.
inline constexpr int32_t kSvgMaxSide = 16384;
TImportedPixels DecodeSvg(const std::string& path);

TImportedPixels DecodeWebp(const std::vector<uint8_t>& file);
TImportedPixels DecodeHeif(const std::vector<uint8_t>& file, bool upright);
TImportedPixels DecodeAvif(const std::vector<uint8_t>& file, bool upright);
TImportedPixels DecodeJxl(const std::vector<uint8_t>& file, bool upright);

// Whether any pixel is less than opaque.
bool HasTransparency(const TBitmap32& picture);

}  // namespace saver
