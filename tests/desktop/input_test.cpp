// Input and activation from the X server reach the windows as message
// records, each once, through the application filter and the window procedure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop_fixture.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace saver::test {
namespace {

struct Record {
  uint32_t msg;
  uint64_t wParam;
  bool operator==(const Record&) const = default;
};

bool IsActivation(const TMessage& m) {
  return m.Msg == msg::NcActivate || m.Msg == msg::Activate || m.Msg == msg::ActivateApp;
}

std::vector<Record> Records(const std::vector<TMessage>& messages) {
  std::vector<Record> out;
  for (const TMessage& m : messages) out.push_back({m.Msg, m.WParam});
  return out;
}

std::string Text(const std::vector<Record>& records) {
  std::string out;
  char item[32];
  for (const Record& r : records) {
    std::snprintf(item, sizeof item, " %04X/%02llX", r.msg,
                  static_cast<unsigned long long>(r.wParam));
    out += item;
  }
  return out;
}

// A shown window with the keyboard, and its messages recorded.
struct InputWindow {
  explicit InputWindow(TestDesktop& d) : desktop(d) {
    window = MakeFullScreenWindow(*d.system);
    log.Attach(*d.system, *window);
    window->Show();
    EXPECT_TRUE(PumpUntil([&] { return d.system->ForegroundWindow() == window->Handle(); }));
  }
  ~InputWindow() { desktop.system->SetMessageFilter(nullptr); }

  // Waits for n records, then for a marker (a pointer move to a new place)
  // after which a duplicate could no longer be on its way; returns what the
  // window procedure got before the marker; everything it got must have
  // passed the filter the same way. Activation records are left out unless
  // asked for (a click may bring one).
  std::vector<Record> Await(size_t n, bool activation = false) {
    PumpUntil([&] { return log.performed.size() >= n; });
    // A place the pointer is not at: a move there is sure to be reported.
    static int next = 0;
    const int marker = 600 + next++ % 30;
    XTestFakeMotionEvent(desktop.x, 0, marker, 401, CurrentTime);
    XSync(desktop.x, False);
    const TMessage expected{window->Handle(), msg::MouseMove, 0, MouseLParam(marker, 401)};
    const auto isMarker = [&](const TMessage& m) {
      return m.Msg == expected.Msg && m.LParam == expected.LParam;
    };
    EXPECT_TRUE(PumpUntil([&] {
      return !log.performed.empty() && isMarker(log.performed.back());
    }));
    std::erase_if(log.performed, isMarker);
    std::erase_if(log.filtered, isMarker);
    if (!activation) {
      std::erase_if(log.performed, IsActivation);
      std::erase_if(log.filtered, IsActivation);
    }
    std::vector<Record> out = Records(log.performed);
    EXPECT_EQ(Text(Records(log.filtered)), Text(out));
    log.Clear();
    return out;
  }
  TestDesktop& desktop;
  std::unique_ptr<IWindow> window;
  MessageLog log;
};

void Key(Display* x, KeySym sym, bool down) {
  XTestFakeKeyEvent(x, XKeysymToKeycode(x, sym), down, CurrentTime);
  XSync(x, False);
}

TEST(DesktopInput, KeysArriveOnceAsVirtualKeyRecords) {
  TestDesktop& d = Desktop();
  InputWindow w(d);
  const struct {
    std::vector<KeySym> keys;  // pressed in order, released in reverse
    std::vector<Record> expected;
  } cases[] = {
      {{XK_Escape}, {{msg::KeyDown, vk::Escape}, {msg::KeyUp, vk::Escape}}},
      {{XK_F1}, {{msg::KeyDown, vk::F1}, {msg::KeyUp, vk::F1}}},
      {{XK_F2}, {{msg::KeyDown, vk::F2}, {msg::KeyUp, vk::F2}}},
      {{XK_a}, {{msg::KeyDown, 'A'}, {msg::KeyUp, 'A'}}},
      {{XK_7}, {{msg::KeyDown, '7'}, {msg::KeyUp, '7'}}},
      {{XK_Left}, {{msg::KeyDown, vk::Left}, {msg::KeyUp, vk::Left}}},
      {{XK_Return}, {{msg::KeyDown, vk::Return}, {msg::KeyUp, vk::Return}}},
      {{XK_space}, {{msg::KeyDown, vk::Space}, {msg::KeyUp, vk::Space}}},
      {{XK_minus}, {{msg::KeyDown, vk::OemMinus}, {msg::KeyUp, vk::OemMinus}}},
      {{XK_KP_Multiply}, {{msg::KeyDown, vk::Multiply}, {msg::KeyUp, vk::Multiply}}},
      {{XK_Shift_L, XK_7},
       {{msg::KeyDown, vk::Shift},
        {msg::KeyDown, '7'},
        {msg::KeyUp, '7'},
        {msg::KeyUp, vk::Shift}}},
      {{XK_Alt_L, XK_x},
       {{msg::SysKeyDown, vk::Menu},
        {msg::SysKeyDown, 'X'},
        {msg::SysKeyUp, 'X'},
        {msg::SysKeyUp, vk::Menu}}},
  };
  for (const auto& c : cases) {
    for (KeySym k : c.keys) Key(d.x, k, true);
    for (auto k = c.keys.rbegin(); k != c.keys.rend(); ++k) Key(d.x, *k, false);
    EXPECT_EQ(Text(w.Await(c.expected.size())), Text(c.expected))
        << XKeysymToString(c.keys.back());
  }
  // A held key repeats as more key downs, without key ups between; the
  // repeats say the key was down already.
  XkbSetAutoRepeatRate(d.x, XkbUseCoreKbd, 1, 1);
  Key(d.x, XK_b, true);
  EXPECT_TRUE(PumpUntil([&] { return w.log.performed.size() >= 3; }));
  Key(d.x, XK_b, false);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(w.log.performed[i].LParam, i ? msg::KeyWasDown : 0) << i;
  XkbSetAutoRepeatRate(d.x, XkbUseCoreKbd, 660, 40);
  const std::vector<Record> repeated = w.Await(3);
  ASSERT_GE(repeated.size(), 3u);
  for (size_t i = 0; i + 1 < repeated.size(); ++i)
    EXPECT_EQ(repeated[i], (Record{msg::KeyDown, 'B'})) << i;
  EXPECT_EQ(repeated.back(), (Record{msg::KeyUp, 'B'}));
}

TEST(DesktopInput, MouseArrivesOnceInClientCoordinates) {
  TestDesktop& d = Desktop();
  InputWindow w(d);
  // Over a control with a native window of its own: still the window's client coordinates.
  w.window->AddPicture("picture", TRect{100, 20, 400, 300});
  XTestFakeMotionEvent(d.x, 0, 123, 45, CurrentTime);
  XSync(d.x, False);
  PumpUntil([&] { return !w.log.performed.empty(); });
  ASSERT_FALSE(w.log.performed.empty());
  const TMessage move = w.log.performed.back();
  EXPECT_EQ(move.Msg, msg::MouseMove);
  EXPECT_EQ(MouseX(move.LParam), 123u);
  EXPECT_EQ(MouseY(move.LParam), 45u);
  EXPECT_EQ(move.Window, w.window->Handle());
  w.log.Clear();

  for (const auto& [button, message] : {std::pair{1u, msg::LButtonDown},
                                        std::pair{3u, msg::RButtonDown},
                                        std::pair{2u, msg::MButtonDown}}) {
    XTestFakeButtonEvent(d.x, button, True, CurrentTime);
    XTestFakeButtonEvent(d.x, button, False, CurrentTime);
    XSync(d.x, False);
    EXPECT_EQ(Text(w.Await(1)), Text({{message, 0}})) << "button " << button;
  }
}

TEST(DesktopInput, DisabledWindowGetsNoInput) {
  TestDesktop& d = Desktop();
  InputWindow w(d);
  // A second window in the corner tells when the pointer events have been handled.
  auto probe = d.system->CreateWindow();
  probe->SetBorderStyle(TBorderStyle::None);
  probe->SetStayOnTop(true);
  probe->SetBounds(TRect{0, 0, 100, 100});
  std::vector<TMessage> probeLog;
  probe->SetWindowProc([&](TMessage& m) { probeLog.push_back(m); });
  probe->Show();
  const auto click = [&](int x, int y) {
    XTestFakeMotionEvent(d.x, 0, x, y, CurrentTime);
    XTestFakeButtonEvent(d.x, 1, True, CurrentTime);
    XTestFakeButtonEvent(d.x, 1, False, CurrentTime);
    XSync(d.x, False);
  };
  ASSERT_TRUE(PumpUntil([&] {
    click(50, 50);
    return !probeLog.empty();
  }));
  w.log.Clear();

  w.window->SetEnabled(false);
  click(300, 300);
  probeLog.clear();
  click(60, 60);
  EXPECT_TRUE(PumpUntil([&] { return !probeLog.empty(); }));
  const auto notInput = [&](const TMessage& m) {
    return m.Window != w.window->Handle() || IsActivation(m);
  };
  std::erase_if(w.log.filtered, notInput);
  std::erase_if(w.log.performed, notInput);
  EXPECT_EQ(Text(Records(w.log.performed)), "");
  EXPECT_EQ(Text(Records(w.log.filtered)), "");

  w.window->SetEnabled(true);
  w.log.Clear();
  click(310, 310);
  EXPECT_EQ(Text(w.Await(2)), Text({{msg::MouseMove, 0}, {msg::LButtonDown, 0}}));
}

TEST(DesktopInput, ActivationChangesAfterTheFirstGiveThreeRecords) {
  TestDesktop& d = Desktop();
  InputWindow w(d);
  // The first activation, as the window appeared, gave nothing.
  EXPECT_EQ(Text(w.Await(0, true)), "");
  const Window other = MakeForeignWindow(d.x, "elsewhere", 50, 50);
  const auto focus = [&](Window target) {
    XSetInputFocus(d.x, target, RevertToPointerRoot, CurrentTime);
    XSync(d.x, False);
  };
  PumpUntil([&] {  // mapped before it can take the focus
    XWindowAttributes a{};
    return XGetWindowAttributes(d.x, other, &a) && a.map_state == IsViewable;
  });
  focus(other);
  // Another window taking the focus is input the show reacts to: the filter sees it.
  EXPECT_EQ(Text(w.Await(3, true)),
            Text({{msg::NcActivate, 0}, {msg::Activate, 0}, {msg::ActivateApp, 0}}));
  focus(Window(w.window->Handle()));
  EXPECT_EQ(Text(w.Await(3, true)),
            Text({{msg::NcActivate, 1}, {msg::Activate, 1}, {msg::ActivateApp, 1}}));
  XDestroyWindow(d.x, other);
  XSync(d.x, False);

  // The focus passing to another window of ours and back (a compositor
  // gives it to each new window, a second monitor's too) is no activation.
  auto second = d.system->CreateWindow();  // away from where Await moves the pointer
  second->Show();
  PumpUntil([&] { return second->Visible(); });
  focus(Window(second->Handle()));
  EXPECT_TRUE(PumpUntil([&] { return d.system->ForegroundWindow() == second->Handle(); }));
  focus(Window(w.window->Handle()));
  EXPECT_TRUE(PumpUntil([&] { return d.system->ForegroundWindow() == w.window->Handle(); }));
  EXPECT_EQ(Text(w.Await(0, true)), "");
}

}  // namespace
}  // namespace saver::test
