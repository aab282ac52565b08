#include "trans/trans.h"

#include <algorithm>
#include <mutex>
#include <random>

#include "platform/clock.h"
#include "platform/ui_thread.h"
#include "trans/trans_thread.h"

namespace saver {

std::atomic<int32_t> StepCount{64};
std::atomic<bool> AbortTransition{false};
std::atomic<bool> TransitionRunning{false};
std::atomic<bool> SkipFinalFrame{false};
std::atomic<int32_t> ComposeThreads{0};
std::atomic<TTransThread*> CurrentTransition{nullptr};

namespace {

// The module generator is used from the UI thread (RandomEffect, thread
// creation); the mutex keeps a stray call from another thread harmless.
std::mutex g_randomMutex;
std::mt19937_64 g_random{64};

}  // namespace

void ReseedTransitionRandom(uint64_t seed) {
  std::lock_guard<std::mutex> lock(g_randomMutex);
  g_random.seed(seed);
}

int32_t TransitionRandom(int32_t n) {
  if (n <= 0) return 0;
  std::lock_guard<std::mutex> lock(g_randomMutex);
  return std::uniform_int_distribution<int32_t>(0, n - 1)(g_random);
}

void CopyPictureAt(ISurface& canvas, const TBitmap32& picture) {
  try {
    const TRect r = picture.BoundsRect();
    if (picture.DrawMode == TDrawMode::Opaque && picture.MasterAlpha == 255) {
      canvas.StretchFrom(picture, r, r);
    } else {
      // A copy, whatever draw mode the caller left on the picture (as the
      // worker's paints do).
      TBitmap32 opaque(picture);
      opaque.DrawMode = TDrawMode::Opaque;
      opaque.MasterAlpha = 255;
      canvas.StretchFrom(opaque, r, r);
    }
    canvas.Invalidate();
  } catch (...) {
    // The screen keeps what it showed.
  }
}

namespace {

// picture is a const TBitmap32& (copied for the worker) or a TBitmap32&& (taken).
template <class Picture>
bool StartWith(ISurface& canvas, Picture&& picture, TBitmap32 snapshot, int32_t effect,
               int32_t delay, int32_t steps, bool wait, TTransitionHandlers handlers) {
  ReseedTransitionRandom(Clock().PerformanceCounter());
  AbortTransition = false;
  TransitionRunning = true;
  StepCount = steps;
  // Nothing to animate: no effect, no steps to divide by, or no picture.
  if (effect == 0 || steps <= 0 || picture.Empty()) {
    CopyPictureAt(canvas, picture);
    TransitionRunning = false;
    return false;
  }
  TTransThread* thread = nullptr;
  try {
    thread = new TTransThread(effect, canvas, std::forward<Picture>(picture), delay,
                              std::move(snapshot));
    CurrentTransition = thread;
    thread->Start(std::move(handlers));
  } catch (...) {
    // No worker (no memory for its buffers, no thread, a surface that cannot
    // be read): the screen stays as it was and the next transition can start.
    CurrentTransition = nullptr;
    delete thread;
    TransitionRunning = false;
    return false;
  }
  while (wait && TransitionRunning) {
    UiThread().ProcessMessages();
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

bool StartTransition(ISurface& canvas, const TBitmap32& picture, int32_t effect, int32_t delay,
                     int32_t steps, bool wait, TTransitionHandlers handlers) {
  return StartWith(canvas, picture, TBitmap32(), effect, delay, steps, wait, std::move(handlers));
}

bool StartTransition(ISurface& canvas, TBitmap32&& picture, int32_t effect, int32_t delay,
                     int32_t steps, bool wait, TTransitionHandlers handlers, TBitmap32 snapshot) {
  return StartWith(canvas, std::move(picture), std::move(snapshot), effect, delay, steps, wait,
                   std::move(handlers));
}

int32_t SlideshowStepCount(int32_t windowWidth, int32_t speed) {
  static constexpr int32_t k800[10] = {800, 600, 400, 200, 100, 60, 40, 20, 8, 4};
  static constexpr int32_t k1024[10] = {1024, 768, 400, 256, 128, 64, 32, 16, 8, 4};
  speed = std::clamp(speed, 1, 10);
  int32_t steps;
  if (windowWidth == 800)
    steps = k800[speed - 1];
  else if (windowWidth == 1024)
    steps = k1024[speed - 1];
  else
    steps = windowWidth / speed / 4 * 4;
  return std::max(steps, 4);
}

uint8_t RandomEffect(std::string_view selection) {
  if (selection.empty()) return 0;
  return uint8_t(selection[size_t(TransitionRandom(int32_t(selection.size())))]);
}

}  // namespace saver
