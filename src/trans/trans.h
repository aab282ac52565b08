#pragma once
// The transition module: one transition at a time replaces the picture on a
// surface by the next one through an animated effect that a worker thread
// (TTransThread) renders frame by frame. The flags below are shared between
// the UI thread and the worker; each is written by one side and polled by
// the other.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>

#include "graphics/bitmap32.h"
#include "platform/surface.h"

namespace saver {

class TTransThread;

// Effect numbers: 0 is no effect, 1..kEffectCount are the catalogue rows.
constexpr int32_t kEffectCount = 116;

// Steps of the current transition; set by every StartTransition.
extern std::atomic<int32_t> StepCount;
// Written by the UI thread to stop the running transition; cleared by StartTransition.
extern std::atomic<bool> AbortTransition;
// True from StartTransition until the worker has finished.
extern std::atomic<bool> TransitionRunning;
// When set at the end of a transition the final full picture is not painted
// (the program is closing). StartTransition leaves it as it is.
extern std::atomic<bool> SkipFinalFrame;
// How many threads a worker composes its frames with (the worker and its
// helpers, see row_bands.h); 0, the default, takes the machine's cores. Read
// when a transition starts. Frames are the same whatever the count.
extern std::atomic<int32_t> ComposeThreads;
// The running worker, or nullptr. Only for identity checks: the object frees
// itself after its completion handler has run.
extern std::atomic<TTransThread*> CurrentTransition;

struct TTransitionHandlers {
  // Runs on the UI thread after the worker has finished and cleaned up.
  std::function<void()> OnTerminate;
  // Runs on the UI thread (the worker waits for it) each time a frame is
  // complete: when the effect waits for its frame time, and once more when
  // its frame loop ends if it painted since its last wait. Tools and tests
  // use it to watch the surface; the show leaves it empty.
  std::function<void()> OnFrame;
  // Runs on the UI thread just before OnTerminate with the incoming picture,
  // which the worker gives back instead of freeing it.
  std::function<void(TBitmap32&& picture)> TakePicture;
};

// Replaces what canvas shows in (0, 0, picture width, picture height) by
// picture through effect (0 = at once; outside 0..116 = a random effect).
// delay is the minimum frame duration in milliseconds, steps the step count
// the effect derives its frames from. Effect 0, a step count of 0 or less
// and an empty picture copy the picture at once and make no thread. With
// wait the call pumps the UI thread until the worker is done.
// Returns true when a worker thread was made; only then do the handlers run.
// When no worker can be made the surface is left as it was.
// Call on the UI thread, only while TransitionRunning is false.
bool StartTransition(ISurface& canvas, const TBitmap32& picture, int32_t effect, int32_t delay,
                     int32_t steps, bool wait, TTransitionHandlers handlers = {});
// The same, the worker taking picture instead of a copy of it (a frame-sized
// copy less on the UI thread): picture is not to be used after the call. A
// snapshot of picture's size, made ahead, holds the worker's copy of what
// canvas showed when the canvas covers it, so that the UI thread need not
// make a buffer for it.
bool StartTransition(ISurface& canvas, TBitmap32&& picture, int32_t effect, int32_t delay,
                     int32_t steps, bool wait, TTransitionHandlers handlers = {},
                     TBitmap32 snapshot = {});

// Copies (0, 0, picture width, picture height) of picture to the same place
// on canvas; errors are ignored (the screen stays as it was).
void CopyPictureAt(ISurface& canvas, const TBitmap32& picture);

// Step count of a slideshow transition for a window width and an effect
// speed (1 = smooth .. 10 = fast; values outside are clamped). Never below 4.
int32_t SlideshowStepCount(int32_t windowWidth, int32_t speed);

// The effect for the next picture change: a uniformly drawn byte of the
// effect-selection string, 0 for an empty string.
uint8_t RandomEffect(std::string_view selection);

// The module's random generator (reseeded by every StartTransition).
void ReseedTransitionRandom(uint64_t seed);
// A uniform integer in 0 .. n-1 (0 when n <= 0).
int32_t TransitionRandom(int32_t n);

}  // namespace saver
