// The desktop window system on a private X server, seen from another client.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "desktop_fixture.h"
#include "platform/desktop.h"
#include "platform/screen.h"
#include "platform/ui_thread.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>

namespace saver::test {
namespace {

std::string Utf8Property(Display* x, Window w, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(x, w, XInternAtom(x, name, False), 0, 4096, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      data) {
    out.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return out;
}

std::vector<std::string> AtomList(Display* x, Window w, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<std::string> out;
  if (XGetWindowProperty(x, w, XInternAtom(x, name, False), 0, 64, False, XA_ATOM, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    for (unsigned long i = 0; i < count; ++i) {
      char* atomName = XGetAtomName(x, reinterpret_cast<Atom*>(data)[i]);
      out.push_back(atomName);
      XFree(atomName);
    }
    XFree(data);
  }
  return out;
}

bool Mapped(Display* x, Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(x, w, &a) && a.map_state == IsViewable;
}

TEST(DesktopWindows, NativeTitlesAreExactlyTheWindowTitle) {
  TestDesktop& d = Desktop();
  const std::string title = "Bilder – Schöne Grüße";
  auto window = d.system->CreateWindow();
  window->SetTitle(title);
  window->Show();
  const Window w = Window(window->Handle());
  EXPECT_TRUE(PumpUntil([&] { return Utf8Property(d.x, w, "_NET_WM_NAME") == title; }))
      << Utf8Property(d.x, w, "_NET_WM_NAME");
  // WM_NAME is Latin-1 text or compound text; either way it reads back as the title.
  XTextProperty text{};
  ASSERT_TRUE(XGetWMName(d.x, w, &text));
  char** list = nullptr;
  int count = 0;
  ASSERT_GE(Xutf8TextPropertyToTextList(d.x, &text, &list, &count), Success);
  ASSERT_GE(count, 1);
  EXPECT_EQ(std::string(list[0]), title);
  XFreeStringList(list);
  XFree(text.value);
  EXPECT_EQ(window->Title(), title);
}

TEST(DesktopWindows, NativeRectanglesAreThoseOfAnyClientsWindows) {
  TestDesktop& d = Desktop();
  const Window other = MakeForeignWindow(d.x, "Other Client Window", 120, 80);
  EXPECT_EQ(NativeWindowRect(other), (TRect{10, 10, 130, 90}));
  EXPECT_EQ(NativeWindowRect(0x7FFFFF0), TRect{});
  XDestroyWindow(d.x, other);
  XSync(d.x, False);
}

TEST(DesktopWindows, GeometryIsInScreenPixels) {
  TestDesktop& d = Desktop();
  IWindowSystem& ws = *d.system;
  ASSERT_EQ(ws.Monitors(), (std::vector<TRect>{{0, 0, kScreenWidth, kScreenHeight}}));
  auto window = ws.CreateWindow();
  window->SetBorderStyle(TBorderStyle::None);
  window->SetBounds(TRect{0, 0, 200, 100});
  window->CenterOnScreen();
  const TRect centred{220, 190, 420, 290};
  EXPECT_EQ(window->Bounds(), centred);
  window->Show();
  const Window w = Window(window->Handle());
  int x = -1, y = -1;
  Window child;
  EXPECT_TRUE(PumpUntil([&] {
    XTranslateCoordinates(d.x, w, DefaultRootWindow(d.x), 0, 0, &x, &y, &child);
    return x == centred.Left && y == centred.Top;
  })) << x << "," << y;
  EXPECT_EQ(window->Bounds(), centred);

  // The saver's window covers the screen even without a window manager.
  auto full = MakeFullScreenWindow(ws);
  EXPECT_EQ(full->Bounds(), ws.Monitors()[0]);
  full->Show();
  XWindowAttributes a{};
  EXPECT_TRUE(PumpUntil([&] {
    return XGetWindowAttributes(d.x, Window(full->Handle()), &a) && a.map_state == IsViewable &&
           a.width == kScreenWidth && a.height == kScreenHeight;
  })) << a.width << "x" << a.height;
  EXPECT_EQ(full->Bounds(), ws.Monitors()[0]);
}

bool CursorBlank(Display* x) {
  XFixesCursorImage* image = XFixesGetCursorImage(x);
  if (!image) return false;
  bool blank = true;
  for (int i = 0; i < image->width * image->height; ++i)
    if (image->pixels[i] & 0xFF000000ul) blank = false;
  XFree(image);
  return blank;
}

TEST(DesktopWindows, CursorIsBlankOverOurWindowsWhileTheCountIsNegative) {
  TestDesktop& d = Desktop();
  IWindowSystem& ws = *d.system;
  auto window = MakeFullScreenWindow(ws);
  window->Show();
  ASSERT_TRUE(PumpUntil([&] { return Mapped(d.x, Window(window->Handle())); }));
  XWarpPointer(d.x, 0, DefaultRootWindow(d.x), 0, 0, 0, 0, 100, 100);
  XSync(d.x, False);
  EXPECT_TRUE(PumpUntil([&] { return ws.CursorPos() == TPoint{100, 100}; }));

  // (call, count after it, blank after it)
  const struct {
    bool show;
    int32_t count;
    bool blank;
  } steps[] = {{false, -1, true}, {false, -2, true}, {true, -1, true},
               {true, 0, false},  {true, 1, false},  {false, 0, false}};
  for (const auto& s : steps) {
    EXPECT_EQ(ws.ShowCursor(s.show), s.count);
    EXPECT_TRUE(PumpUntil([&] { return CursorBlank(d.x) == s.blank; }))
        << "count " << s.count << " should " << (s.blank ? "" : "not ") << "be blank";
  }
}

TEST(DesktopWindows, TimersFireFromTheirIntervalUntilDisabled) {
  Desktop();
  IWindowSystem& ws = WindowSystem();
  auto fast = ws.CreateTimer();
  auto zero = ws.CreateTimer();
  auto slow = ws.CreateTimer();
  int fastTicks = 0, zeroTicks = 0, slowTicks = 0;
  fast->OnTimer = [&] { ++fastTicks; };
  zero->OnTimer = [&] { ++zeroTicks; };
  slow->OnTimer = [&] { ++slowTicks; };
  EXPECT_FALSE(fast->Enabled());
  fast->SetInterval(5);
  zero->SetInterval(0);
  fast->SetEnabled(true);
  zero->SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return fastTicks >= 3 && zeroTicks >= 3; }));
  fast->SetEnabled(false);
  zero->SetEnabled(false);
  const int fastSeen = fastTicks, zeroSeen = zeroTicks;
  // While a later timer runs, the disabled ones stay quiet.
  slow->SetInterval(20);
  slow->SetEnabled(true);
  EXPECT_EQ(slow->Interval(), 20u);
  EXPECT_TRUE(PumpUntil([&] { return slowTicks >= 3; }));
  EXPECT_EQ(fastTicks, fastSeen);
  EXPECT_EQ(zeroTicks, zeroSeen);
}

TEST(DesktopWindows, ToolWindowStyleKeepsOurWindowsOffTheTaskBar) {
  TestDesktop& d = Desktop();
  IWindowSystem& ws = *d.system;
  auto before = ws.CreateWindow();
  before->Show();
  ws.SetApplicationExStyle(kWsExToolWindow);
  auto after = ws.CreateWindow();
  after->Show();
  for (IWindow* w : {before.get(), after.get()}) {
    const auto states = AtomList(d.x, Window(w->Handle()), "_NET_WM_STATE");
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_SKIP_TASKBAR"), states.end());
    EXPECT_NE(std::find(states.begin(), states.end(), "_NET_WM_STATE_SKIP_PAGER"), states.end());
  }
  ws.SetApplicationExStyle(0);
}

int TryGrab(Display* x) {
  const int r =
      XGrabKeyboard(x, DefaultRootWindow(x), False, GrabModeAsync, GrabModeAsync, CurrentTime);
  if (r == GrabSuccess) XUngrabKeyboard(x, CurrentTime);
  XSync(x, False);
  return r;
}

TEST(DesktopWindows, RunningSaverHoldsKeyboardAndPointerWhileShown) {
  TestDesktop& d = Desktop();
  IWindowSystem& ws = *d.system;
  auto window = MakeFullScreenWindow(ws);
  // Asked before the window is on screen: taken once it is.
  ws.SetScreenSaverRunning(true);
  EXPECT_EQ(TryGrab(d.x), GrabSuccess);
  window->Show();
  EXPECT_TRUE(PumpUntil([&] { return TryGrab(d.x) == AlreadyGrabbed; }));
  const int pointer = XGrabPointer(d.x, DefaultRootWindow(d.x), False, ButtonPressMask,
                                   GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
  EXPECT_EQ(pointer, AlreadyGrabbed);
  ws.SetScreenSaverRunning(false);
  EXPECT_TRUE(PumpUntil([&] { return TryGrab(d.x) == GrabSuccess; }));

  // Closing the window lets go too.
  ws.SetScreenSaverRunning(true);
  EXPECT_TRUE(PumpUntil([&] { return TryGrab(d.x) == AlreadyGrabbed; }));
  window->Close();
  EXPECT_TRUE(PumpUntil([&] { return TryGrab(d.x) == GrabSuccess; }));
  ws.SetScreenSaverRunning(false);
}

TEST(DesktopWindows, WorkersHandWorkToTheUiThread) {
  Desktop();
  IUiThread& ui = UiThread();
  const std::thread::id uiId = std::this_thread::get_id();
  std::vector<std::string> order;
  ui.Synchronize([&] { order.push_back("inline"); });  // on the UI thread itself: at once
  EXPECT_EQ(order, std::vector<std::string>{"inline"});

  std::atomic<bool> returned{false}, threw{false};
  std::thread::id ranOn;
  std::thread worker([&] {
    ui.Post([&] { order.push_back("posted 1"); });
    ui.Synchronize([&] {
      ranOn = std::this_thread::get_id();
      order.push_back("synchronized");
    });
    returned = true;
    ui.Post([&] { order.push_back("posted 2"); });
    try {
      ui.Synchronize([] { throw std::runtime_error("from the UI thread"); });
    } catch (const std::runtime_error&) {
      threw = true;
    }
  });
  EXPECT_TRUE(PumpUntil([&] { return threw.load(); }));
  worker.join();
  EXPECT_TRUE(PumpUntil([&] { return order.size() == 4; }));
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, uiId);
  EXPECT_EQ(order, (std::vector<std::string>{"inline", "posted 1", "synchronized", "posted 2"}));
}

TEST(DesktopWindows, ClosingFromTheWindowManagerEndsRun) {
  TestDesktop& d = Desktop();
  auto main = d.system->CreateWindow();
  std::string events;
  main->OnClose = [&] { events += "close "; };
  main->OnHide = [&] { events += "hide "; };
  // What a window manager sends when the user clicks the close button.
  auto timer = d.system->CreateTimer();
  timer->SetInterval(1);
  timer->OnTimer = [&] {
    if (!Mapped(d.x, Window(main->Handle()))) return;
    timer->SetEnabled(false);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(main->Handle());
    e.xclient.message_type = XInternAtom(d.x, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d.x, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d.x, e.xclient.window, False, NoEventMask, &e);
    XSync(d.x, False);
  };
  timer->SetEnabled(true);
  d.system->Run(*main);
  EXPECT_EQ(events, "close hide ");
  EXPECT_FALSE(main->Visible());
}

}  // namespace
}  // namespace saver::test
