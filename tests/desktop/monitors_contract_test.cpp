// One contract for the monitors the window system lists, held against the
// in-memory double and against the desktop backend on an X server whose
// RandR monitors change (Xvnc): the list, primary first; one word when it
// changes; and a window put on a monitor's bounds lies exactly there.
#include <gtest/gtest.h>

#include <algorithm>

#include "desktop/xvnc_display.h"
#include "desktop_fixture.h"
#include "doubles/fake_window_system.h"
#include "platform/desktop.h"

namespace saver::test {
namespace {

constexpr TRect kMain{0, 0, 1024, 768};
constexpr TRect kSide{1024, 0, 1824, 600};
constexpr TRect kSmall{1824, 0, 2224, 300};

// The primary monitor first, the others in any order.
std::vector<TRect> Normalised(std::vector<TRect> monitors) {
  if (monitors.size() > 1)
    std::sort(monitors.begin() + 1, monitors.end(), [](const TRect& a, const TRect& b) {
      return std::tie(a.Left, a.Top) < std::tie(b.Left, b.Top);
    });
  return monitors;
}

// Each side starts with kMain and kSide; a monitor is plugged in, then one removed.
class FakeDriver {
 public:
  FakeDriver() { ws_.monitors = {kMain, kSide}; }
  IWindowSystem& System() { return ws_; }
  void Add(const TRect& m) {
    std::vector<TRect> now = ws_.monitors;
    now.push_back(m);
    ws_.ChangeMonitors(now);
  }
  void Remove(const TRect& m) {
    std::vector<TRect> now = ws_.monitors;
    std::erase(now, m);
    ws_.ChangeMonitors(now);
  }
  bool Until(const std::function<bool()>& pred) { return pred(); }

 private:
  ManualClock clock_{1000};
  FakeWindowSystem ws_{clock_};
};

class DesktopDriver {
 public:
  explicit DesktopDriver(XvncDisplay& server) : server_(server) {
    EXPECT_TRUE(server_.SetMonitors({kMain, kSide}));
    names_ = {kMain, kSide};
    EXPECT_TRUE(PumpUntil([] { return WindowSystem().Monitors().size() == 2; }));
  }
  IWindowSystem& System() { return WindowSystem(); }
  void Add(const TRect& m) {
    EXPECT_TRUE(server_.AddMonitor(m));
    names_.push_back(m);
  }
  void Remove(const TRect& m) {
    const auto it = std::find(names_.begin(), names_.end(), m);
    EXPECT_TRUE(server_.RemoveMonitor(size_t(it - names_.begin())));
  }
  bool Until(const std::function<bool()>& pred) { return PumpUntil(pred); }

 private:
  XvncDisplay& server_;
  std::vector<TRect> names_;  // the server's monitors by number
};

template <class Driver>
void MonitorsContract(Driver& d) {
  IWindowSystem& ws = d.System();
  EXPECT_EQ(Normalised(ws.Monitors()), (std::vector<TRect>{kMain, kSide}));
  int changes = 0;
  ws.OnMonitorsChanged = [&] { ++changes; };
  struct Step {
    const char* name;
    std::function<void()> change;
    std::vector<TRect> monitors;
  };
  const Step steps[] = {
      {"plugged in", [&] { d.Add(kSmall); }, {kMain, kSide, kSmall}},
      {"removed", [&] { d.Remove(kSide); }, {kMain, kSmall}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    changes = 0;
    step.change();
    EXPECT_TRUE(
        d.Until([&] { return changes > 0 && Normalised(ws.Monitors()) == step.monitors; }));
    // A borderless window on the last monitor's bounds covers it exactly.
    std::unique_ptr<IWindow> w = ws.CreateWindow();
    w->SetBorderStyle(TBorderStyle::None);
    w->SetBounds(step.monitors.back());
    w->Show();
    EXPECT_EQ(w->Bounds(), step.monitors.back());
  }
  ws.OnMonitorsChanged = nullptr;
}

TEST(MonitorsContract, TheDouble) {
  FakeDriver d;
  MonitorsContract(d);
}

void OnXvnc() {
  BeginChild();
  std::string error;
  auto server = XvncDisplay::Start(1024, 768, &error);
  if (!server) {
    ADD_FAILURE() << error;
    ExitWithResult();
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  static int argc = 1;
  static char name[] = "test_desktop";
  static char* argv[] = {name, nullptr};
  if (!StartDesktop(argc, argv, &error)) ADD_FAILURE() << error;
  DesktopDriver d(*server);
  MonitorsContract(d);
  ExitWithResult();
}

TEST(MonitorsContract, TheDesktopBackendOnXvnc) {
  // A child starts afresh (fork and exec): this process may have its
  // application object already, on another server.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(OnXvnc(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace saver::test
