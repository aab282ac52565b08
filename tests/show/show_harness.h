#pragma once
// Runs the player's main window on the in-memory desktop with a saver of
// solid-coloured pictures, so that what is on screen tells which picture
// it is. Time moves only through the timers the test fires, and the
// look-ahead of the next picture has finished whenever the harness returns.
#include <memory>
#include <string>
#include <vector>

#include "pictures/saver_builder.h"
#include "show/fake_desktop.h"
#include "show/saver_window.h"

namespace saver::testing {

inline TColor32 PictureColor(int32_t i) {
  return Color32(uint8_t(30 + 50 * i), uint8_t(220 - 40 * i), uint8_t(60 + 25 * i));
}

class ShowHarness {
 public:
  // A saver of count pictures stretched over a 64 x 48 screen, coming in
  // through effect 1 at the fastest speed, five seconds each.
  explicit ShowHarness(int32_t count = 3) {
    desk.ws.monitors = {TRect{0, 0, 64, 48}};
    b.text.Title = "Show Test";
    b.text.Effect = "\x01";
    b.trailer.Seconds = 5;
    b.trailer.EffectSpeed = 10;
    b.trailer.Stretch = 1;
    b.trailer.ExitKeyboard = 1;
    for (int32_t i = 0; i < count; ++i) {
      TBitmap32 p(8, 6);
      p.Clear(PictureColor(i));
      b.AddPng(p);
    }
  }
  ~ShowHarness() {
    w.reset();
    desk.ui.ProcessMessages();
  }

  // Makes the window as the entry does (in a daemon's window when given),
  // then runs it as the message loop would.
  void Start(std::vector<std::string> args = {"/s"}, TWindowHandle daemonWindow = 0) {
    path = desk.scratch.Write("show.scr", b.Build());
    w = std::make_unique<TSSWindow>(std::move(args), path, daemonWindow);
    desk.ws.Run(w->Window());
    WaitForLookAhead();
  }

  // Fires the next timer and lets a transition it started run to its end.
  // False when no timer was enabled.
  bool Tick() {
    if (!desk.ws.FireNextTimer()) return false;
    transitioned = TransitionRunning;  // the worker cannot end before the UI thread pumps
    Settle();
    return true;
  }
  void Settle() {
    desk.ui.PumpUntil([] { return !TransitionRunning.load(); });
    desk.ui.ProcessMessages();
    WaitForLookAhead();
  }
  void WaitForLookAhead() {
    if (w && w->ComposeAhead()) w->ComposeAhead()->Wait();
  }

  void Send(uint32_t message, uint64_t wParam = 0, int64_t lParam = 0) {
    desk.ws.Send(w->Window(), TMessage{.Msg = message, .WParam = wParam, .LParam = lParam});
  }

  // Which picture a control shows in the middle of its screen; -1 for none.
  static int32_t Showing(IPictureControl& c) {
    const TBitmap32& s = static_cast<FakePictureControl&>(c).Screen();
    if (s.Empty()) return -1;
    const TColor32 p = s.Pixel(s.Width() / 2, s.Height() / 2) | 0xFF000000u;
    for (int32_t i = 0; i < 10; ++i)
      if (p == PictureColor(i)) return i;
    return -1;
  }
  int32_t OnScreen() { return Showing(w->Image32()); }

  FakeWindow& Fake() { return static_cast<FakeWindow&>(w->Window()); }
  FakeTimer& ShowTimer() { return static_cast<FakeTimer&>(w->Timer()); }

  FakeDesktop desk;
  SaverBuilder b;
  std::string path;
  std::unique_ptr<TSSWindow> w;
  bool transitioned = false;
};

}  // namespace saver::testing
