#pragma once
// Runs one transition offline: the real transition thread on an in-memory
// surface, with a manual clock (frames cost no waiting time) and a UI thread
// pumped by the caller's thread.
#include <cstdint>
#include <functional>

#include "graphics/bitmap32.h"

namespace saver {

struct TRecordRequest {
  int32_t Effect = 0;
  int32_t Steps = 32;
  int32_t Delay = 9;
  uint64_t Seed = 0;  // the clock's start; decides the random effects' draws
};

struct TRecordResult {
  int Frames = 0;     // frames the effect completed
  TBitmap32 Final;    // the surface after the final frame
};

// The surface starts as oldPicture (scaled to newPicture's size if needed).
// onFrame sees the surface each time a frame is complete.
TRecordResult RecordEffect(const TBitmap32& oldPicture, const TBitmap32& newPicture,
                           const TRecordRequest& request,
                           const std::function<void(const TBitmap32& surface)>& onFrame);

}  // namespace saver
