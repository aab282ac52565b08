// The full-screen show on an X server with several monitors of different
// sizes: every monitor covered, each picture composed at the size of the
// monitor it goes to, and monitors plugged in and removed during the show.
#include "app/player_fixture.h"
#include "desktop/xvnc_display.h"

namespace saver {
namespace e2e {
namespace {

constexpr TRect kMain{0, 0, 1024, 768};
constexpr TRect kSide{1024, 0, 1824, 600};
constexpr TRect kSmall{1824, 0, 2224, 300};

class Monitors : public Player {
 protected:
  void SetUp() override {
    std::string error;
    vnc = test::XvncDisplay::Start(1024, 768, &error);
    ASSERT_TRUE(vnc) << error;
    PrepareEnvironment();
  }

  // The pictures of the saver composed at a monitor's size.
  std::vector<TBitmap32> ComposedFor(const std::string& saver, const TRect& m) {
    std::vector<TBitmap32> out;
    for (int i = 0; i < 3; ++i) out.push_back(Composed(saver, i, m.Width(), m.Height()));
    return out;
  }
  // Which of pictures a monitor shows; -1: none of them.
  int Showing(const TRect& m, const std::vector<TBitmap32>& pictures) {
    TBitmap32 part(m.Width(), m.Height());
    vnc->Screenshot().DrawTo(part, -m.Left, -m.Top, TDrawMode::Opaque);
    for (size_t i = 0; i < pictures.size(); ++i)
      if (Mismatch(part, pictures[i]) < 0.01) return int(i);
    return -1;
  }
  bool Shows(const TRect& m, const std::vector<TBitmap32>& pictures, int picture,
             double seconds = 20) {
    return WaitUntil([&] { return Showing(m, pictures) == picture; }, seconds);
  }
  // Whether a monitor shows one of pictures within seconds, and later another.
  bool TakesTurns(const TRect& m, const std::vector<TBitmap32>& pictures, double seconds = 20) {
    int first = -1;
    if (!WaitUntil([&] { return (first = Showing(m, pictures)) >= 0; }, seconds)) return false;
    return WaitUntil([&] {
      const int now = Showing(m, pictures);
      return now >= 0 && now != first;
    });
  }
  // Whether a window is on screen exactly on the monitor's bounds.
  bool Covered(const TRect& m) {
    Display* d = XOpenDisplay(vnc->Name().c_str());
    if (!d) return false;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    bool found = false;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
      for (unsigned i = 0; i < n && !found; ++i) {
        XWindowAttributes a{};
        found = XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
                TRect{a.x, a.y, a.x + a.width, a.y + a.height} == m;
      }
      XFree(children);
    }
    XCloseDisplay(d);
    return found;
  }

  std::unique_ptr<test::XvncDisplay> vnc;
};

TEST_F(Monitors, EveryMonitorShowsThePicturesInTurnAtItsSizeAsMonitorsComeAndGo) {
  SaverBuilder b = Saver(false, false, true, true);
  b.trailer.Seconds = 2;
  const std::string saver = Write(b);
  std::map<const TRect*, std::vector<TBitmap32>> pictures;
  for (const TRect* m : {&kMain, &kSide, &kSmall}) pictures[m] = ComposedFor(saver, *m);

  enum class Then { Nothing, AddSmall, RemoveSide };
  struct Case {
    const char* name;
    std::vector<const TRect*> monitors;
    Then then;
  };
  const Case cases[] = {
      {"two of different sizes", {&kMain, &kSide}, Then::Nothing},
      {"three of different sizes", {&kMain, &kSide, &kSmall}, Then::Nothing},
      {"one plugged in during the show", {&kMain, &kSide}, Then::AddSmall},
      {"one removed during the show", {&kMain, &kSide, &kSmall}, Then::RemoveSide},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<TRect> monitors;
    for (const TRect* m : c.monitors) monitors.push_back(*m);
    ASSERT_TRUE(vnc->SetMonitors(monitors));
    Launch(saver, {"/s"});
    // The first picture on every monitor at its size (the side monitor,
    // whose turn comes next, looked at first), then the next picture on it.
    for (const TRect* m : {&kSide, &kMain, &kSmall})
      if (std::count(c.monitors.begin(), c.monitors.end(), m)) {
        EXPECT_TRUE(Shows(*m, pictures[m], 0)) << "monitor at " << m->Left;
      }
    EXPECT_TRUE(Shows(kSide, pictures[&kSide], 1));
    if (c.monitors.size() == 3) {
      EXPECT_TRUE(Shows(kSmall, pictures[&kSmall], 2));
    }

    if (c.then == Then::AddSmall) {
      EXPECT_FALSE(Covered(kSmall));
      ASSERT_TRUE(vnc->AddMonitor(kSmall));
      // At once a window with the current picture, which then takes its turns.
      EXPECT_TRUE(TakesTurns(kSmall, pictures[&kSmall], 5));
    }
    if (c.then == Then::RemoveSide) {
      EXPECT_TRUE(Covered(kSide));
      ASSERT_TRUE(vnc->RemoveMonitor(1));
      EXPECT_TRUE(WaitUntil([&] { return !Covered(kSide); }, 5));
      // The turn goes on over the main and the small monitor.
      EXPECT_TRUE(TakesTurns(kSmall, pictures[&kSmall]));
      EXPECT_TRUE(Covered(kMain));
    }
    Xdo("key Escape");
    EXPECT_EQ(WaitExit(), 0) << output;
  }
}

}  // namespace
}  // namespace e2e
}  // namespace saver
