#pragma once
// Picture decoding: turns the bytes of a picture file into a TBitmap32.
// The decoder is chosen by the file's extension (case-insensitive, with or
// without the leading dot). Every failure, including an unknown extension,
// is a DecodeError.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "graphics/bitmap32.h"

namespace saver {

class DecodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pictures whose stated size exceeds this are refused before any pixel
// memory is reserved (256 megapixels, 1 GiB as TBitmap32).
constexpr uint64_t kMaxPicturePixels = 256ull * 1024 * 1024;

// What of a picture is kept when it is decoded for showing: the whole
// picture stretched to Width x Height (as TBitmap32::DrawTo stretches, or
// copied when that is its own size), cut to Visible.
struct TFit {
  int32_t Width = 0, Height = 0;
  TRect Visible;  // inside (0, 0, Width, Height) and not empty
};

struct TDecodeHint {
  // The area the picture will be drawn into, or 0 x 0 for "full size".
  // Decoders that can scale while decoding (JPEG) return the smallest
  // picture that still covers TargetWidth x TargetHeight; the others ignore it.
  int32_t TargetWidth = 0;
  int32_t TargetHeight = 0;
  // Pictures with more stated pixels than this are refused.
  uint64_t MaxPixels = kMaxPicturePixels;
  // Given the picture's stated size, what of it to keep; none: the whole
  // picture. With a fit the picture is stretched and cut as its rows are
  // decoded, so that it never lies in memory whole; where a format needs it
  // whole (interlaced PNG and GIF, TIFF, bitmaps, icons) it may have at most
  // MaxWholePixels. JPEG decodes at the smallest scale that covers the fit.
  std::function<TFit(int32_t width, int32_t height)> Fit;
  uint64_t MaxWholePixels = kMaxPicturePixels;
  // Runs over each decoded row of the picture before it is fitted.
  std::function<void(TColor32* row, size_t n)> RowFilter;
};

// Pixels come out as 0xAARRGGBB. Opaque formats have alpha 255; PNG, GIF,
// TIFF, icons and 32-bit bitmaps with an alpha mask keep their transparency.
TBitmap32 DecodePictureFile(const std::string& path, const std::string& ext,
                            const TDecodeHint& hint = {});
TBitmap32 DecodePictureMemory(const uint8_t* data, size_t size, const std::string& ext,
                              const TDecodeHint& hint = {});

// True for the extensions a decoder exists for.
bool IsDecodableExtension(const std::string& ext);

}  // namespace saver
