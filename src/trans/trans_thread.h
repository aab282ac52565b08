#pragma once
// The worker that renders one transition. It is made on the UI thread (which
// takes the snapshot of the outgoing picture), composes frames in its own
// buffers on its own thread, and hands every paint to the UI thread
// synchronously. When it is done it runs its completion handler on the UI
// thread and frees itself.
//
// Effect routines (effects.h) are free functions that drive this object:
//
//   t.PrepareWork();          // once, by a routine that composes in t.FWork
//   t.BeginFrame();
//   ... set t.FSrcRect / t.FDstRect, t.PaintNew() (or compose in t.FWork
//       and t.PaintWork()) ...
//   if (t.Aborted()) break;   // where the routine tests the flag
//   t.WaitFrame();
//
// t.Steps() is the transition's step count (1..kMaxSteps), t.Random(n)
// the thread's own random generator.
#include <cstdint>
#include <memory>
#include <random>
#include <span>
#include <thread>

#include "graphics/bitmap32.h"
#include "graphics/rect.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "trans/row_bands.h"
#include "trans/trans.h"

namespace saver {

// More steps than any screen has pixels across change nothing visible; the
// cap keeps the effects' step arithmetic (up to ten times N) within 32 bits.
constexpr int32_t kMaxSteps = 1 << 16;

// One paint of a frame: SrcRect of Source (stretched if the sizes differ)
// onto DstRect of the canvas.
struct TPaintPiece {
  const TBitmap32* Source;
  TRect SrcRect, DstRect;
};

class TTransThread {
 public:
  // Runs on the UI thread: takes picture, snapshots (0, 0, w, h) of canvas
  // (into snapshot when it has that size and the canvas covers it) and takes
  // the step count from StepCount (kept within 1..kMaxSteps). The thread is
  // not started yet.
  TTransThread(int32_t effect, ISurface& canvas, TBitmap32 picture, int32_t delay,
               TBitmap32 snapshot = {});
  TTransThread(const TTransThread&) = delete;
  TTransThread& operator=(const TTransThread&) = delete;

  // Starts the worker. After it has finished, handlers.OnTerminate runs on the
  // UI thread and the object deletes itself: do not touch it after Start
  // except through CurrentTransition's identity. Allocate with new.
  void Start(TTransitionHandlers handlers);

  int32_t FEffect;
  TBitmap32 FNewPicture;  // private copy of the incoming picture
  TBitmap32 FOldPicture;  // the outgoing picture as the surface showed it
  TBitmap32 FWork;        // composition buffer: PrepareWork, or assigned by the effect
  ISurface* FCanvas;      // where frames are painted; not owned
  int32_t FDelay;         // minimum frame duration, ms (negative counts as 0)
  int32_t FWidth, FHeight;
  TRect FSrcRect, FDstRect;  // rectangles of the next paint

  // Copy FSrcRect of the picture (stretched if the sizes differ) onto
  // FDstRect of the canvas, on the UI thread; the worker waits for it. The
  // three pictures are plain copies (their DrawMode is Opaque).
  void PaintNew() { Paint(FNewPicture); }
  void PaintWork() { Paint(FWork); }
  // Makes FWork picture-sized and cleared unless it already is: only the
  // effects that compose in it pay for a frame-sized buffer, on the worker.
  void PrepareWork();
  // Copies each of rects (unscaled, empty ones skipped) from source to the
  // same place on the canvas, all in one hand-over to the UI thread.
  void PaintParts(const TBitmap32& source, std::span<const TRect> rects);
  // Paints the pieces in turn (empty ones skipped), all in one hand-over:
  // each hand-over wakes the UI thread and then the worker, which costs
  // more than painting a small piece.
  void PaintPieces(std::span<const TPaintPiece> pieces);

  // Marks the start of a frame (its tick count) for WaitFrame.
  void BeginFrame();
  // Ends a frame: sleeps in short slices until FDelay has passed since
  // BeginFrame or an abort is requested. Sleeps at least once.
  void WaitFrame();
  bool Aborted() const { return AbortTransition.load(std::memory_order_acquire); }

  int32_t Steps() const { return steps_; }
  // The threads that compose a frame with the worker (see row_bands.h):
  // compose the rows [top, bottom) of something width pixels wide through
  // band(from, to) for bands of them.
  void ComposeRows(int32_t top, int32_t bottom, int64_t width,
                   const std::function<void(int32_t, int32_t)>& band) {
    bands_->Run(top, bottom, width, band);
  }
  // Uniform integer in 0 .. n-1 from the thread's own generator (0 when n <= 0).
  int32_t Random(int32_t n);

  // Runs the effect, the final frame and the cleanup on the calling thread
  // (Start calls it on the worker).
  void Execute();

 private:
  void Paint(TBitmap32& source);
  void RunEffect();
  void NotifyFrame();
  void Finish();

  IUiThread* ui_;
  IClock* clock_;
  int32_t steps_;
  uint32_t frameStartTick_ = 0;
  bool paintedSinceWait_ = false;
  std::mt19937 random_;
  std::unique_ptr<TRowBands> bands_;
  TTransitionHandlers handlers_;
  std::thread thread_;
};

}  // namespace saver
