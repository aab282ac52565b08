#include <iterator>

#include "trans/effects.h"

namespace saver {

namespace {

constexpr TEffectFamily kFamilies[] = {
    {1, 22, 0, DoSlide, "DoSlide"},          {23, 64, 22, DoUnfold, "DoUnfold"},
    {65, 68, 64, DoLineDrop, "DoLineDrop"},  {69, 69, 69, DoBoxOut, "DoBoxOut"},
    {70, 70, 70, DoBoxIn, "DoBoxIn"},        {71, 76, 70, DoEllipse, "DoEllipse"},
    {77, 95, 76, DoShape, "DoShape"},        {96, 100, 95, DoRandom, "DoRandom"},
    {101, 102, 100, DoSweep, "DoSweep"},     {103, 114, 102, DoZoom, "DoZoom"},
    {115, 116, 114, DoFade, "DoFade"},
};

}  // namespace

const TEffectFamily* FindEffectFamily(int32_t effect) {
  for (const auto& f : kFamilies)
    if (effect >= f.First && effect <= f.Last) return &f;
  return nullptr;
}

}  // namespace saver
