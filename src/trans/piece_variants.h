#pragma once
// The piece tables of the slide (1-22), unfold (23-64) and line-drop (65-68)
// effects: where each piece starts, its size, speed and number of steps,
// for a picture of width x height and a step count N >= 1.
#include <cstdint>
#include <vector>

#include "graphics/rect.h"
#include "trans/fold.h"
#include "trans/slide.h"

namespace saver {

struct TSlideVariant {
  std::vector<TSlide> Slides;
  std::vector<TFold> Folds;  // only "Door Open" reveals through folds
};

// variant = effect number 1..22.
TSlideVariant MakeSlideVariant(int32_t variant, int32_t width, int32_t height, int32_t steps);
// variant = effect number - 22, 1..42.
std::vector<TFold> MakeUnfoldVariant(int32_t variant, int32_t width, int32_t height,
                                     int32_t steps);

// variant = effect number - 64, 1..4: the band that grows from one edge and
// the one-pixel line of the incoming picture stretched over the rest.
TFold MakeLineDropPiece(int32_t variant, int32_t width, int32_t height, int32_t steps);
struct TLineDropLine {
  TRect Src, Dst;
};
// The line paint after a step, from the piece's position after that step.
TLineDropLine LineDropLine(int32_t variant, const TFold& piece, int32_t width, int32_t height);

}  // namespace saver
