#pragma once
// The effect families and how an effect number reaches its routine. Every
// routine draws one family on a TTransThread: it reads the pictures, size,
// step count and delay from the thread, paints through it, and returns when
// its frames are done or an abort was seen. The thread paints the final
// frame afterwards.
#include <cstdint>

namespace saver {

class TTransThread;

using TEffectRoutine = void (*)(TTransThread& thread, int32_t variant);

void DoSlide(TTransThread& thread, int32_t variant);     // 1-22, variant = effect
void DoUnfold(TTransThread& thread, int32_t variant);    // 23-64, variant = effect - 22
void DoLineDrop(TTransThread& thread, int32_t variant);  // 65-68, variant = effect - 64
void DoBoxOut(TTransThread& thread, int32_t variant);    // 69, variant 0
void DoBoxIn(TTransThread& thread, int32_t variant);     // 70, variant 0
void DoEllipse(TTransThread& thread, int32_t variant);   // 71-76, variant = effect - 70
void DoShape(TTransThread& thread, int32_t variant);     // 77-95, variant = effect - 76
void DoRandom(TTransThread& thread, int32_t variant);    // 96-100, variant = effect - 95
void DoSweep(TTransThread& thread, int32_t variant);     // 101-102, variant = effect - 100
void DoZoom(TTransThread& thread, int32_t variant);      // 103-114, variant = effect - 102
void DoFade(TTransThread& thread, int32_t variant);      // 115-116, variant = effect - 114

struct TEffectFamily {
  int32_t First, Last;     // effect numbers drawn by the routine
  int32_t Base;            // variant = effect - Base (Box Out / Box In pass 0)
  TEffectRoutine Routine;
  const char* Name;        // the routine's name, for tools
};

// The family of effect 1..116; nullptr outside.
const TEffectFamily* FindEffectFamily(int32_t effect);

}  // namespace saver
