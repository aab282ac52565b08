#pragma once
// A 32-bit picture buffer: 0xAARRGGBB words, alpha in the top byte, rows
// top to bottom without padding. Pictures, masks, composed frames and
// transition buffers are all TBitmap32.
#include <cstdint>
#include <vector>

#include "graphics/rect.h"

namespace saver {

using TColor32 = uint32_t;

constexpr TColor32 Color32(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}
constexpr uint8_t AlphaOf(TColor32 c) { return uint8_t(c >> 24); }
constexpr uint8_t RedOf(TColor32 c) { return uint8_t(c >> 16); }
constexpr uint8_t GreenOf(TColor32 c) { return uint8_t(c >> 8); }
constexpr uint8_t BlueOf(TColor32 c) { return uint8_t(c); }

// How Draw puts source pixels onto this bitmap.
enum class TDrawMode {
  Opaque,  // copy the source pixels, alpha included
  Blend,   // source over destination, weighted by source alpha x MasterAlpha
};

class TBitmap32 {
 public:
  TBitmap32() = default;
  TBitmap32(int32_t width, int32_t height) { SetSize(width, height); }

  // Resizes; the contents become transparent black (0). Negative sizes count as 0.
  void SetSize(int32_t width, int32_t height);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  TRect BoundsRect() const { return TRect{0, 0, width_, height_}; }

  // Deep copy (the copy constructor and assignment do the same).
  void Assign(const TBitmap32& other) { *this = other; }

  void Clear(TColor32 color);
  void ResetAlpha(uint8_t alpha = 255);           // every pixel's alpha := alpha
  void FillRect(const TRect& r, TColor32 color);  // clipped to the bitmap

  TColor32* Bits() { return pixels_.data(); }
  const TColor32* Bits() const { return pixels_.data(); }
  TColor32* ScanLine(int32_t y) { return pixels_.data() + size_t(y) * size_t(width_); }
  const TColor32* ScanLine(int32_t y) const { return pixels_.data() + size_t(y) * size_t(width_); }
  TColor32 Pixel(int32_t x, int32_t y) const { return ScanLine(y)[x]; }
  void SetPixel(int32_t x, int32_t y, TColor32 c) { ScanLine(y)[x] = c; }
  // Bounds-checked access: outside the bitmap reads 0 and writes nothing.
  TColor32 PixelS(int32_t x, int32_t y) const;
  void SetPixelS(int32_t x, int32_t y, TColor32 c);

  // Draws this bitmap onto dst with its top-left corner at (x, y), clipped to dst: copied
  // (Opaque) or blended with this bitmap's alpha weighted by masterAlpha (Blend).
  void DrawTo(TBitmap32& dst, int32_t x, int32_t y, TDrawMode mode,
              uint8_t masterAlpha = 255) const;
  // Draws srcRect of this bitmap stretched into dstRect of dst (linear filtering when the
  // sizes differ), clipped to dst, by mode as above.
  void DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect, TDrawMode mode,
              uint8_t masterAlpha = 255) const;
  // The same, writing only the pixels of dst inside clip: each pixel comes out as the whole
  // draw makes it, so draws of the bands of a rectangle together make the whole draw.
  // Bands of one dst may be drawn from different threads at once.
  void DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect, const TRect& clip,
              TDrawMode mode, uint8_t masterAlpha = 255) const;

  // The forms without a mode take DrawMode and MasterAlpha of this bitmap. New code passes
  // the mode: these two fields remain for the callers that still set them.
  TDrawMode DrawMode = TDrawMode::Opaque;
  uint8_t MasterAlpha = 255;
  void DrawTo(TBitmap32& dst, int32_t x, int32_t y) const {
    DrawTo(dst, x, y, DrawMode, MasterAlpha);
  }
  void DrawTo(TBitmap32& dst, const TRect& dstRect, const TRect& srcRect) const {
    DrawTo(dst, dstRect, srcRect, DrawMode, MasterAlpha);
  }

  // Copies srcRect of src unscaled to this bitmap with its top-left corner at dstPoint,
  // clipped to both bitmaps. src may be this bitmap, overlapping.
  void CopyRect(const TBitmap32& src, const TRect& srcRect, TPoint dstPoint);

 private:
  int32_t width_ = 0, height_ = 0;
  std::vector<TColor32> pixels_;
};

// Sets n consecutive pixels to color; the vectorised fill behind Clear, FillRect and regions.
void FillPixels(TColor32* pixels, size_t n, TColor32 color);

// Which vector path the pixel loops run with (graphics/pixel_kernels.h): "avx512", "avx2"
// or "default" (the portable build).
const char* PixelLoopPath();

}  // namespace saver
