#include "effect_recorder.h"

#include <exception>

#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "trans/trans.h"

namespace saver {

TRecordResult RecordEffect(const TBitmap32& oldPicture, const TBitmap32& newPicture,
                           const TRecordRequest& request,
                           const std::function<void(const TBitmap32& surface)>& onFrame) {
  ManualClock clock(uint32_t(request.Seed));
  PumpedUiThread ui;
  SetClock(&clock);
  SetUiThread(&ui);
  BitmapSurface surface(newPicture.Width(), newPicture.Height());
  oldPicture.DrawTo(surface.Bitmap(), surface.Bitmap().BoundsRect(), oldPicture.BoundsRect());

  TRecordResult result;
  bool done = false;
  TTransitionHandlers handlers;
  handlers.OnTerminate = [&] { done = true; };
  std::exception_ptr failure;  // from onFrame: stops the run and is rethrown
  handlers.OnFrame = [&] {
    result.Frames++;
    if (!onFrame || failure) return;
    try {
      onFrame(surface.Bitmap());
    } catch (...) {
      failure = std::current_exception();
      SkipFinalFrame = true;
      AbortTransition = true;
    }
  };
  AbortTransition = false;
  SkipFinalFrame = false;
  if (StartTransition(surface, newPicture, request.Effect, request.Delay, request.Steps, false,
                      std::move(handlers)))
    ui.PumpUntil([&] { return done; });
  SetUiThread(nullptr);
  SetClock(nullptr);
  SkipFinalFrame = false;
  if (failure) std::rethrow_exception(failure);
  result.Final = surface.Bitmap();
  return result;
}

}  // namespace saver
