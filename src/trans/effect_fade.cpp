// Crossfade (115) and Fade To Black (116). The pictures themselves are left
// as they are: the blends are computed into the composition buffer, so the
// final frame still copies the incoming picture unchanged.
#include "trans/effect_fade.h"

#include <algorithm>

#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

// The blend loops get a clone per vector width, chosen at load time, and are
// vectorised also in -O2 builds. Not under the thread sanitizer: the clone
// resolvers run before its runtime is up, and instrumented they crash at load.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define FADE_PIXEL_LOOP \
  __attribute__((target_clones("avx512f", "avx2", "default"), optimize("O3")))
#else
#define FADE_PIXEL_LOOP
#endif

namespace {

// Two channels at once: the red and blue bytes, or (shifted down) alpha and
// green, sit 16 bits apart, so one multiply weighs both.
constexpr uint32_t kLanes = 0x00FF00FF;

// Rounded t / 255 in both 16-bit lanes of t (each lane at most 255 x 255).
inline uint32_t DivideLanesBy255(uint32_t t) {
  t += 0x00800080;
  return ((t + ((t >> 8) & kLanes)) >> 8) & kLanes;
}

inline TColor32 Mix(TColor32 from, TColor32 to, uint32_t a) {
  const uint32_t ia = 255 - a;
  const uint32_t rb = DivideLanesBy255((from & kLanes) * ia + (to & kLanes) * a);
  const uint32_t g = DivideLanesBy255(((from >> 8) & 0xFF) * ia + ((to >> 8) & 0xFF) * a);
  return 0xFF000000u | rb | (g << 8);
}

inline TColor32 Dim(TColor32 c, uint32_t a) {
  const uint32_t rb = DivideLanesBy255((c & kLanes) * a);
  const uint32_t g = DivideLanesBy255(((c >> 8) & 0xFF) * a);
  return 0xFF000000u | rb | (g << 8);
}

}  // namespace

FADE_PIXEL_LOOP void BlendPictures(const TBitmap32& from, const TBitmap32& to, uint8_t alpha,
                                   TBitmap32& out) {
  const size_t count = size_t(out.Width()) * size_t(out.Height());
  const TColor32* f = from.Bits();
  const TColor32* t = to.Bits();
  TColor32* o = out.Bits();
  for (size_t k = 0; k < count; ++k) o[k] = Mix(f[k], t[k], alpha);
}

FADE_PIXEL_LOOP void DimPicture(const TBitmap32& picture, uint8_t alpha, TBitmap32& out) {
  const size_t count = size_t(out.Width()) * size_t(out.Height());
  const TColor32* p = picture.Bits();
  TColor32* o = out.Bits();
  for (size_t k = 0; k < count; ++k) o[k] = Dim(p[k], alpha);
}

void DoFade(TTransThread& t, int32_t v) {
  const bool toBlack = v == 2;
  const int32_t d = std::max(765 / t.Steps(), 1);
  for (int32_t level = d; level < 255 && !t.Aborted(); level += d) {
    t.BeginFrame();
    if (!toBlack)
      BlendPictures(t.FOldPicture, t.FNewPicture, uint8_t(level), t.FWork);
    else if (level < 127)  // the outgoing picture darkens ...
      DimPicture(t.FOldPicture, uint8_t(255 - 2 * level), t.FWork);
    else  // ... and the incoming one comes up from black; the two never mix
      DimPicture(t.FNewPicture, uint8_t(std::min(255, 2 * (level - 127))), t.FWork);
    PaintWholeWork(t);
    t.WaitFrame();
  }
}

}  // namespace saver
