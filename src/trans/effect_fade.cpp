// Crossfade (115) and Fade To Black (116). The pictures themselves are left
// as they are: the blends are computed into the composition buffer, so the
// final frame still copies the incoming picture unchanged.
#include "trans/effect_fade.h"

#include <algorithm>

#include "graphics/pixel_kernels.h"
#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

void BlendPictures(const TBitmap32& from, const TBitmap32& to, uint8_t alpha, TBitmap32& out,
                   int32_t top, int32_t bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, out.Height());
  if (top >= bottom) return;
  const size_t at = size_t(top) * size_t(out.Width());
  const size_t count = size_t(bottom - top) * size_t(out.Width());
  PixelKernels().Crossfade(out.Bits() + at, from.Bits() + at, to.Bits() + at, count, alpha,
                           StreamingPays(count * 4, out.Width() * size_t(out.Height()) * 4));
}

void DimPicture(const TBitmap32& picture, uint8_t alpha, TBitmap32& out, int32_t top,
                int32_t bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, out.Height());
  if (top >= bottom) return;
  const size_t at = size_t(top) * size_t(out.Width());
  const size_t count = size_t(bottom - top) * size_t(out.Width());
  PixelKernels().Dim(out.Bits() + at, picture.Bits() + at, count, alpha,
                     StreamingPays(count * 4, out.Width() * size_t(out.Height()) * 4));
}

void DoFade(TTransThread& t, int32_t v) {
  const bool toBlack = v == 2;
  const int32_t d = std::max(765 / t.Steps(), 1);
  t.PrepareWork();
  for (int32_t level = d; level < 255 && !t.Aborted(); level += d) {
    t.BeginFrame();
    t.ComposeRows(0, t.FHeight, t.FWidth, [&](int32_t top, int32_t bottom) {
      if (!toBlack)
        BlendPictures(t.FOldPicture, t.FNewPicture, uint8_t(level), t.FWork, top, bottom);
      else if (level < 127)  // the outgoing picture darkens ...
        DimPicture(t.FOldPicture, uint8_t(255 - 2 * level), t.FWork, top, bottom);
      else  // ... and the incoming one comes up from black; the two never mix
        DimPicture(t.FNewPicture, uint8_t(std::min(255, 2 * (level - 127))), t.FWork, top,
                   bottom);
    });
    PaintWholeWork(t);
    t.WaitFrame();
  }
}

}  // namespace saver
