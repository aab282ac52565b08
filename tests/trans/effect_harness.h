#pragma once
// Runs one transition on an in-memory surface with a manual clock and a
// pumped UI thread, and records what the surface showed at each frame.
//
//   TEffectHarness h(64, 48);
//   TEffectRun run = h.Run(23, 64);
//   EXPECT_EQ(run.Frames.size(), 64u);
//   EXPECT_TRUE(h.ShowsNewWhole(run.Final));
//
// The outgoing and incoming pictures carry their own position in every
// pixel (red = x, green = y) and differ in blue, so a test can tell for any
// surface pixel which picture it came from and whether it is in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "graphics/bitmap32.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "trans/trans.h"

namespace saver::testing {

constexpr uint8_t kOldBlue = 0x30;
constexpr uint8_t kNewBlue = 0xC0;

// A picture whose pixel (x, y) is (x mod 256, y mod 256, blue).
inline TBitmap32 PositionPicture(int32_t w, int32_t h, uint8_t blue) {
  TBitmap32 b(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b.SetPixel(x, y, Color32(uint8_t(x), uint8_t(y), blue));
  return b;
}

inline bool IsNewPixel(TColor32 c) { return BlueOf(c) == kNewBlue; }
inline bool IsOldPixel(TColor32 c) { return BlueOf(c) == kOldBlue; }

struct TEffectRun {
  std::vector<TBitmap32> Frames;  // the surface each time a frame was complete
  TBitmap32 Final;                // the surface after the transition
  int Completions = 0;            // times the completion handler ran
  bool ThreadMade = false;        // StartTransition made a worker
  bool HandlerOnUiThread = true;  // every handler ran on the test's thread
};

struct TRunOptions {
  int32_t Delay = 9;
  // When frame AbortAtFrame (0-based) is complete, request an abort; -1 never.
  int AbortAtFrame = -1;
  bool SkipFinal = false;  // with the abort, also set SkipFinalFrame
  bool Wait = false;       // StartTransition's wait flag
};

class TEffectHarness {
 public:
  TEffectHarness(int32_t w, int32_t h)
      : Old(PositionPicture(w, h, kOldBlue)), New(PositionPicture(w, h, kNewBlue)),
        surface_(w, h) {
    SetClock(&Clock);
    SetUiThread(&Ui);
    AbortTransition = false;
    SkipFinalFrame = false;
  }
  ~TEffectHarness() {
    SkipFinalFrame = false;
    AbortTransition = false;
    SetUiThread(nullptr);
    SetClock(nullptr);
  }

  // Puts the outgoing picture on the surface, runs effect with steps and
  // pumps the UI thread until the completion handler has run.
  TEffectRun Run(int32_t effect, int32_t steps, const TRunOptions& options = {}) {
    surface_.Bitmap() = Old;
    TEffectRun run;
    bool done = false;
    const auto uiThread = std::this_thread::get_id();
    TTransitionHandlers handlers;
    handlers.OnTerminate = [&] {
      run.Completions++;
      run.HandlerOnUiThread &= std::this_thread::get_id() == uiThread;
      done = true;
    };
    handlers.OnFrame = [&] {
      run.HandlerOnUiThread &= std::this_thread::get_id() == uiThread;
      if (int(run.Frames.size()) == options.AbortAtFrame) {
        AbortTransition = true;
        if (options.SkipFinal) SkipFinalFrame = true;
      }
      run.Frames.push_back(surface_.Bitmap());
    };
    run.ThreadMade = StartTransition(surface_, New, effect, options.Delay, steps, options.Wait,
                                     std::move(handlers));
    if (run.ThreadMade) Ui.PumpUntil([&] { return done; });
    Ui.ProcessMessages();  // a stray handler would show up in Completions
    run.Final = surface_.Bitmap();
    return run;
  }

  bool ShowsNewWhole(const TBitmap32& frame) const { return SameAs(frame, New); }
  bool ShowsOldWhole(const TBitmap32& frame) const { return SameAs(frame, Old); }

  // Pixels of frame that come from the incoming picture.
  static int64_t CountNew(const TBitmap32& frame) {
    int64_t n = 0;
    for (int32_t y = 0; y < frame.Height(); ++y)
      for (int32_t x = 0; x < frame.Width(); ++x) n += IsNewPixel(frame.Pixel(x, y));
    return n;
  }

  // True when every pixel of frame outside `revealed` still shows the
  // outgoing picture in place.
  bool OldOutside(const TBitmap32& frame, const std::function<bool(int32_t, int32_t)>& revealed)
      const {
    for (int32_t y = 0; y < frame.Height(); ++y)
      for (int32_t x = 0; x < frame.Width(); ++x)
        if (!revealed(x, y) && frame.Pixel(x, y) != Old.Pixel(x, y)) return false;
    return true;
  }

  // True when every pixel of frame is either the outgoing or the incoming
  // picture's pixel of the same position (effects that reveal in place).
  bool EveryPixelInPlace(const TBitmap32& frame) const {
    for (int32_t y = 0; y < frame.Height(); ++y)
      for (int32_t x = 0; x < frame.Width(); ++x) {
        TColor32 c = frame.Pixel(x, y);
        if (c != Old.Pixel(x, y) && c != New.Pixel(x, y)) return false;
      }
    return true;
  }

  ManualClock Clock;
  PumpedUiThread Ui;
  const TBitmap32 Old, New;

 private:
  static bool SameAs(const TBitmap32& a, const TBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int32_t y = 0; y < a.Height(); ++y)
      for (int32_t x = 0; x < a.Width(); ++x)
        if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
  }

  BitmapSurface surface_;
};

}  // namespace saver::testing
