// One contract for the window system, held against the in-memory double and
// against the desktop backend on a private X server: what the show relies on
// of other programs' windows and of the keyboard and pointer grabs. Where
// the two differ, the double is wrong.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop_fixture.h"
#include "doubles/fake_window_system.h"

namespace saver::test {
namespace {

// A handle that names no window on either side.
constexpr TWindowHandle kNoWindow = 0x7FFFFF0;

// What a contract case asks of each side: another client's doings, and what
// is on screen.
class FakeDriver {
 public:
  IWindowSystem& System() { return ws_; }
  TWindowHandle OtherWindow(const std::string& title) { return ws_.AddOtherWindow(title); }
  bool Viewable(TWindowHandle window) {
    if (auto it = ws_.others.find(window); it != ws_.others.end()) return it->second.visible;
    for (FakeWindow* w : ws_.Windows())
      if (w->Handle() == window) return w->Visible();
    return false;
  }
  void Focus(TWindowHandle other) { ws_.foreground = other; }
  // Another client takes the keyboard and the pointer; false when it cannot.
  bool OtherClientGrabs() {
    if (ws_.InputHeld()) return false;
    ws_.otherClientHoldsInput = true;
    return true;
  }
  void OtherClientReleases() { ws_.otherClientHoldsInput = false; }
  bool SaverHoldsInput() { return ws_.InputHeld(); }
  void Pass(double seconds) { clock_.Advance(uint32_t(seconds * 1000)); }
  bool Until(const std::function<bool()>& pred) { return pred(); }

 private:
  ManualClock clock_{1000};
  FakeWindowSystem ws_{clock_};
};

class DesktopDriver {
 public:
  ~DesktopDriver() {
    OtherClientReleases();
    for (Window w : others_) XDestroyWindow(d_.x, w);
    XSync(d_.x, False);
  }
  IWindowSystem& System() { return *d_.system; }
  TWindowHandle OtherWindow(const std::string& title) {
    others_.push_back(MakeForeignWindow(d_.x, title, 120, 80));
    return others_.back();
  }
  bool Viewable(TWindowHandle window) {
    XWindowAttributes a{};
    XSync(d_.x, False);
    return XGetWindowAttributes(d_.x, Window(window), &a) && a.map_state == IsViewable;
  }
  void Focus(TWindowHandle other) {
    XSetInputFocus(d_.x, Window(other), RevertToPointerRoot, CurrentTime);
    XSync(d_.x, False);
  }
  bool OtherClientGrabs() {
    const Window root = DefaultRootWindow(d_.x);
    const int keyboard = XGrabKeyboard(d_.x, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    const int pointer = XGrabPointer(d_.x, root, False, ButtonPressMask, GrabModeAsync,
                                     GrabModeAsync, 0, 0, CurrentTime);
    XSync(d_.x, False);
    return keyboard == GrabSuccess && pointer == GrabSuccess;
  }
  void OtherClientReleases() {
    XUngrabKeyboard(d_.x, CurrentTime);
    XUngrabPointer(d_.x, CurrentTime);
    XSync(d_.x, False);
  }
  // Someone else holds both: another client's grabs fail.
  bool SaverHoldsInput() {
    const bool held = !OtherClientGrabs();
    OtherClientReleases();
    return held;
  }
  void Pass(double seconds) { PumpUntil([] { return false; }, seconds); }
  bool Until(const std::function<bool()>& pred) { return PumpUntil(pred); }

 private:
  TestDesktop& d_ = Desktop();
  std::vector<Window> others_;
};

template <class Driver>
class WindowSystemContract : public ::testing::Test {
 protected:
  Driver driver;
};

struct DriverNames {
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, FakeDriver> ? "Fake" : "Desktop";
  }
};

using Drivers = ::testing::Types<FakeDriver, DesktopDriver>;
TYPED_TEST_SUITE(WindowSystemContract, Drivers, DriverNames);

TYPED_TEST(WindowSystemContract, OnlyItsOwnWindowsAreFoundAndChanged) {
  auto& d = this->driver;
  IWindowSystem& ws = d.System();
  const TWindowHandle other = d.OtherWindow("Screen Saver");
  d.Focus(other);
  EXPECT_EQ(ws.ForegroundWindow(), other);  // whoever's it is
  EXPECT_EQ(ws.FindWindow("Screen Saver"), 0u);

  auto own = ws.CreateWindow();
  own->SetTitle("Screen Saver");
  own->Show();
  ASSERT_TRUE(d.Until([&] { return d.Viewable(own->Handle()); }));
  EXPECT_EQ(ws.FindWindow("Screen Saver"), own->Handle());
  EXPECT_EQ(ws.FindWindow("Screen"), 0u);
  ws.SetForegroundWindow(own->Handle());
  EXPECT_TRUE(d.Until([&] { return ws.ForegroundWindow() == own->Handle(); }));

  // Another program's window, or a handle of no window, stays as it was.
  for (TWindowHandle h : {other, kNoWindow}) {
    ws.ShowWindow(h, false);
    ws.EnableWindow(h, false);
    ws.SetForegroundWindow(h);
  }
  EXPECT_TRUE(d.Viewable(other));
  EXPECT_EQ(ws.ForegroundWindow(), own->Handle());

  ws.ShowWindow(own->Handle(), false);
  EXPECT_FALSE(own->Visible());
  EXPECT_TRUE(d.Until([&] { return !d.Viewable(own->Handle()); }));
}

TYPED_TEST(WindowSystemContract, TheRunningSaverTakesTheInputOnceAnotherClientLetsGo) {
  auto& d = this->driver;
  IWindowSystem& ws = d.System();
  auto window = MakeFullScreenWindow(ws);
  window->Show();
  ASSERT_TRUE(d.Until([&] { return d.Viewable(window->Handle()); }));

  ASSERT_TRUE(d.OtherClientGrabs());
  ws.SetScreenSaverRunning(true);
  d.Pass(4);  // longer than a saver that gives up would try
  d.OtherClientReleases();
  EXPECT_TRUE(d.Until([&] { return d.SaverHoldsInput(); }));
  EXPECT_FALSE(d.OtherClientGrabs());

  ws.SetScreenSaverRunning(false);
  EXPECT_TRUE(d.Until([&] { return !d.SaverHoldsInput(); }));
}

}  // namespace
}  // namespace saver::test
