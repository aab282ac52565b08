#pragma once
// A drawing surface that a window or control shows: the target of picture
// copies and transition paints. Used on the UI thread only.
#include "graphics/bitmap32.h"

namespace saver {

class ISurface {
 public:
  virtual ~ISurface() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Copies srcRect of src onto dstRect of the surface, scaling when the two
  // sizes differ; clipped to the surface.
  virtual void StretchFrom(const TBitmap32& src, const TRect& srcRect, const TRect& dstRect) = 0;
  // Reads rect of the surface into the same rectangle of dst (dst is at least that large).
  virtual void CopyTo(TBitmap32& dst, const TRect& rect) const = 0;
  // Tells the window to show what changed (no-op for memory surfaces).
  virtual void Invalidate() {}
};

// A surface in memory: tools, tests and the backends' back buffers.
class BitmapSurface : public ISurface {
 public:
  BitmapSurface() = default;
  BitmapSurface(int32_t w, int32_t h) : bitmap_(w, h) {}
  int32_t Width() const override { return bitmap_.Width(); }
  int32_t Height() const override { return bitmap_.Height(); }
  void StretchFrom(const TBitmap32& src, const TRect& srcRect, const TRect& dstRect) override {
    src.DrawTo(bitmap_, dstRect, srcRect);  // src's DrawMode is Opaque for paints
  }
  void CopyTo(TBitmap32& dst, const TRect& rect) const override {
    bitmap_.DrawTo(dst, rect, rect);
  }
  TBitmap32& Bitmap() { return bitmap_; }
  const TBitmap32& Bitmap() const { return bitmap_; }

 private:
  TBitmap32 bitmap_;
};

}  // namespace saver
