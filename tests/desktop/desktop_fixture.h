#pragma once
// What the desktop backend's tests share. A process can make its
// application object only once, so the desktop (a private Xvfb and the
// backend started on it) is made on first use and kept until the process
// ends; tests that need a desktop of their own (another scale, a dying
// server, a different start) run their body in a child process with
// EXPECT_EXIT.
#include <functional>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "platform/message.h"
#include "platform/window_system.h"
#include "xvfb_display.h"

namespace saver::test {

constexpr int kScreenWidth = 640, kScreenHeight = 480;

struct TestDesktop {
  std::unique_ptr<XvfbDisplay> server;
  Display* x = nullptr;  // the test's own client connection
  IWindowSystem* system = nullptr;
};

// Starts the shared desktop once per process (fails the test when it cannot).
TestDesktop& Desktop();

// Starts a desktop of width x height in this process, for a child process
// of a test; serverArgs go to Xvfb. Adds a test failure when it cannot.
std::unique_ptr<TestDesktop> StartTestDesktop(int width, int height,
                                              const std::vector<std::string>& serverArgs = {});

// For the body of EXPECT_EXIT: BeginChild makes the child report its failed
// checks on standard error (where the parent shows them); ExitWithResult
// ends it with 0 when they all passed, else 1.
void BeginChild();
[[noreturn]] void ExitWithResult();

// Runs the event loop until pred holds or seconds have passed; pred's result.
bool PumpUntil(const std::function<bool()>& pred, double seconds = 10);

// A window of another client, mapped and titled, made on the test's connection.
Window MakeForeignWindow(Display* x, const std::string& title, int width, int height);

// A picture of random opaque colours.
TBitmap32 Noise(int32_t width, int32_t height, uint32_t seed);

// The first pixel where a and b differ inside rect of b (a at the same place
// shifted by offset), as text; empty when they agree.
std::string Difference(const TBitmap32& a, const TBitmap32& b, const TRect& rect,
                       TPoint offset = {});

// A full-screen, borderless, stay-on-top window (the saver's own kind).
std::unique_ptr<IWindow> MakeFullScreenWindow(IWindowSystem& system);

// Paints a full-screen picture control every way there is and compares the
// screen (the shared-memory path or Qt's, whichever the server allows).
void CheckPicturePainting(TestDesktop& d);

// Records every message a window and the application filter receive.
struct MessageLog {
  std::vector<TMessage> filtered, performed;
  void Attach(IWindowSystem& system, IWindow& window);
  void Clear() { filtered.clear(), performed.clear(); }
};

}  // namespace saver::test
