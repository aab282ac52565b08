#include "payload/compose/draw_picture.h"

#include <algorithm>
#include <vector>

#include "graphics/pixel_kernels.h"

namespace saver {

namespace {

// Draws src stretched into dest on dst with the given mode, restoring src's mode.
void DrawStretched(TBitmap32& src, TBitmap32& dst, const TRect& dest, TDrawMode mode) {
  const TDrawMode old = src.DrawMode;
  const uint8_t oldAlpha = src.MasterAlpha;
  src.DrawMode = mode;
  src.MasterAlpha = 255;
  src.DrawTo(dst, dest, src.BoundsRect());
  src.DrawMode = old;
  src.MasterAlpha = oldAlpha;
}

TRect Offset(const TRect& r, int32_t dx, int32_t dy) {
  return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

}  // namespace

void FlattenRowOnBlack(TColor32* row, size_t n) {
  // Opaque rows (every row of a JPEG) stay as they are.
  if (std::all_of(row, row + n, [](TColor32 p) { return AlphaOf(p) == 255; })) return;
  const TPixelKernels& k = PixelKernels();
  thread_local std::vector<TColor32> flat;
  flat.assign(n, 0);
  k.Blend(flat.data(), row, n, 255);
  k.SetAlpha(flat.data(), n, 255);
  std::copy(flat.begin(), flat.end(), row);
}

void FlattenOnBlack(TBitmap32& picture) {
  for (int32_t y = 0; y < picture.Height(); ++y)
    FlattenRowOnBlack(picture.ScanLine(y), size_t(picture.Width()));
}

void ApplyMaskAlpha(TBitmap32& target, const TBitmap32& mask) {
  // A mask of the target's own size needs no stretched copy.
  const bool sameSize = mask.Width() == target.Width() && mask.Height() == target.Height();
  TBitmap32 stretched;
  if (!sameSize) {
    stretched.SetSize(target.Width(), target.Height());
    if (!mask.Empty()) mask.DrawTo(stretched, stretched.BoundsRect(), mask.BoundsRect());
  }
  const size_t n = size_t(target.Width()) * size_t(target.Height());
  TColor32* t = target.Bits();
  const TColor32* m = sameSize ? mask.Bits() : stretched.Bits();
  for (size_t i = 0; i < n; ++i) t[i] = (t[i] & 0x00FFFFFFu) | ((m[i] & 0xFFu) << 24);
}

void DrawPicture(TBitmap32& picture, TBitmap32& target, const TRect& dest,
                 const TBitmap32* mask) {
  picture.ResetAlpha(255);
  // Without a mask the opaque picture simply covers dest.
  if (!mask) {
    DrawStretched(picture, target, dest, TDrawMode::Blend);
    return;
  }
  // Outside dest the layer would be transparent, so only the visible part of
  // dest needs a layer; both layers share its origin.
  const TRect clip = IntersectRect(dest, target.BoundsRect());
  if (clip.IsEmpty()) return;
  const TRect local = Offset(dest, -clip.Left, -clip.Top);
  try {
    TBitmap32 maskLayer(clip.Width(), clip.Height());
    maskLayer.Clear(0xFF000000u);
    // Masks are opaque (their loader sees to it), so drawing equals blending.
    if (!mask->Empty()) mask->DrawTo(maskLayer, local, mask->BoundsRect());
    TBitmap32 layer(clip.Width(), clip.Height());
    DrawStretched(picture, layer, local, TDrawMode::Blend);
    ApplyMaskAlpha(layer, maskLayer);
    layer.DrawMode = TDrawMode::Blend;
    layer.DrawTo(target, clip.Left, clip.Top);
  } catch (...) {
    // Out of memory for the layers: the picture alone, unmasked.
    try {
      DrawStretched(picture, target, dest, TDrawMode::Opaque);
    } catch (...) {
    }
  }
}

}  // namespace saver
