// The real player in a Wayland session: natively for the show and the
// settings, on weston (headless, or on its X11 backend inside the test's X
// server, whose input then reaches the player through the compositor), and
// the lines it gives when the toolkit's platform cannot start.
#include <signal.h>

#include <optional>

#include "app/player_fixture.h"
#include "app/weston_display.h"
#include "platform/build_config.h"
#include "platform/scoped_env.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;
using test::WestonDisplay;
namespace fs = std::filesystem;

using Environment = std::vector<std::pair<const char*, std::optional<std::string>>>;

// Moves the X11 window weston shows an output in (titled by _NET_WM_NAME only).
bool MoveOutputWindow(const std::string& display, const std::string& output, int x) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return false;
  const Atom name = XInternAtom(d, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  bool moved = false;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
  for (unsigned i = 0; i < n; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, children[i], name, 0, 256, False, utf8, &type, &format, &count,
                           &after, &data) == Success && data) {
      if (std::string(reinterpret_cast<char*>(data), count).ends_with(" - " + output)) {
        XMoveWindow(d, children[i], x, 0);
        moved = true;
      }
      XFree(data);
    }
  }
  if (children) XFree(children);
  XSync(d, False);
  XCloseDisplay(d);
  return moved;
}

class WaylandPlayer : public Player {
 protected:
  void SetUp() override {
    if (!WestonDisplay::Installed()) GTEST_SKIP() << "weston is not installed (scripts/setup)";
    Player::SetUp();
    setenv("SAVER_LOG", scratch.Path("log.txt").c_str(), 1);
  }

  void StartWeston(const std::vector<std::string>& backend) {
    std::string error;
    weston = WestonDisplay::Start(scratch.Path(""), backend, &error);
    ASSERT_TRUE(weston) << error;
  }
  void StartHeadless() {
    StartWeston({"--backend=headless-backend.so", "--width=640", "--height=360"});
  }

  // The environment of a Wayland session without X11.
  Environment Session() const {
    return {{"DISPLAY", std::nullopt},
            {"WAYLAND_DISPLAY", weston->Name()},
            {"XDG_RUNTIME_DIR", weston->RuntimeFolder()}};
  }

  // Launches the player with env changed for it alone (nullopt: unset).
  void LaunchIn(const Environment& env, const std::string& saver, std::vector<std::string> args) {
    std::vector<std::unique_ptr<ScopedEnv>> scoped;
    for (const auto& [name, value] : env) scoped.push_back(std::make_unique<ScopedEnv>(name, value));
    fs::remove(scratch.Path("log.txt"));
    Launch(saver, std::move(args));
  }

  bool WestonShows(const TBitmap32& picture) {
    return WaitUntil([&] { return Mismatch(weston->Screenshot(), picture) < 0.01; }, 30);
  }
  std::string Log() { return ReadText(scratch.Path("log.txt")); }
  bool TempFolderEmpty() {
    std::error_code ec;
    return !fs::exists(TempFolder()) || fs::is_empty(TempFolder(), ec);
  }

  std::unique_ptr<WestonDisplay> weston;
};

// The show and the settings run natively, without a word on standard error
// (none of the toolkit's either, when the session gives no runtime folder),
// and end as on X11: SIGTERM closes them, a compositor that goes away ends
// the show with one line.
TEST_F(WaylandPlayer, TheShowAndTheSettingsRunNativelyAndEndAsOnX11) {
  enum class End { Signal, CompositorGone };
  struct Case {
    const char* name;
    const char* mode;
    enum { Wayland, Both, WaylandWithoutRuntime, X11WithoutRuntime } env;
    End end = End::Signal;
  } cases[] = {
      {"the show, Wayland alone", "/s", Case::Wayland},
      {"the show, X11 too", "/s", Case::Both},
      {"the show, no runtime folder", "/s", Case::WaylandWithoutRuntime},
      {"the settings, Wayland alone", "/c", Case::Wayland},
      {"the settings, X11 too", "/c", Case::Both},
      {"the show on X11, no runtime folder", "/s", Case::X11WithoutRuntime},
      {"the settings on X11, no runtime folder", "/c", Case::X11WithoutRuntime},
      {"the compositor goes away", "/s", Case::Wayland, End::CompositorGone},
  };
  StartHeadless();
  SaverBuilder b = Saver(false, false, true, false);
  b.trailer.Seconds = 60;  // the first picture stays for the screenshot
  const std::string saver = Write(b);
  const TBitmap32 picture = Composed(saver, 0, 640, 360);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Environment env = Session();
    if (c.env == Case::Both) env[0].second = x->Name();
    if (c.env == Case::WaylandWithoutRuntime)
      env = {{"DISPLAY", std::nullopt},
             {"WAYLAND_DISPLAY", weston->SocketPath()},
             {"XDG_RUNTIME_DIR", std::nullopt}};
    if (c.env == Case::X11WithoutRuntime)
      env = {{"WAYLAND_DISPLAY", std::nullopt}, {"XDG_RUNTIME_DIR", std::nullopt}};
    const bool native = c.env != Case::X11WithoutRuntime;
    fs::remove(scratch.Path("config/saver/registry.json"));
    const auto screen = [&] { return native ? weston->Screenshot() : x->Screenshot(); };
    // What the screen shows once the last case's windows are gone (the
    // compositor fades them out).
    TBitmap32 before = screen();
    ASSERT_TRUE(WaitUntil([&] {
      const TBitmap32 now = screen();
      return Mismatch(std::exchange(before, now), now) == 0;
    }));
    LaunchIn(env, saver, {c.mode});

    if (std::string(c.mode) == "/s")
      ASSERT_TRUE(native ? WestonShows(picture) : ScreenShows(Composed(saver, 0))) << Log();
    else
      ASSERT_TRUE(WaitUntil([&] { return Mismatch(screen(), before) > 0.05; }, 30))
          << "no settings window";
    EXPECT_NE(Log().find(native ? "Display: Wayland" : "Display: X11"), std::string::npos)
        << Log();
    if (c.end == End::Signal) {
      kill(pid_, SIGTERM);
      EXPECT_EQ(WaitExit(), 0);
      EXPECT_EQ(output, "");
      // The settings were kept as a close keeps them.
      if (std::string(c.mode) == "/c") {
        EXPECT_TRUE(fs::exists(scratch.Path("config/saver/registry.json")));
      }
    } else {
      weston->Stop();
      EXPECT_EQ(WaitExit(), 1);
      EXPECT_EQ(output, "saver: the display connection was lost\n");
    }
    EXPECT_TRUE(TempFolderEmpty());
  }
}

// A platform that cannot start is said in one line, with status 1, never
// with the toolkit's lines and an abort.
TEST_F(WaylandPlayer, APlatformThatCannotStartIsSaidInOneLine) {
  StartHeadless();
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  // A saver beside a qt.conf that sends Qt to an empty plugin folder: Qt
  // then finds no Wayland plugin, as without qt6-wayland.
  fs::create_directories(scratch.Path("lonely/plugins"));
  const std::string lonely = scratch.Path("lonely/test.scr");
  fs::copy_file(saver, lonely);
  std::ofstream(scratch.Path("lonely/qt.conf"))
      << "[Paths]\nPlugins=" << scratch.Path("lonely/plugins") << "\n";
  struct Case {
    const char* name;
    Environment env;
    std::vector<std::string> args;
    std::string line;  // what the one line starts with
    const std::string* saverPath = nullptr;
  } cases[] = {
      {"QT_QPA_PLATFORM names no plugin", {{"QT_QPA_PLATFORM", "nosuch"}}, {"/s"},
       "saver: Qt's platform plugin \"nosuch\" is not installed"},
      {"QT_PLUGIN_PATH names no plugin for it",
       {{"QT_QPA_PLATFORM", "nosuch"}, {"QT_PLUGIN_PATH", scratch.Path("lonely/plugins")}},
       {"/c"}, "saver: Qt's platform plugin \"nosuch\" is not installed"},
      {"no compositor behind WAYLAND_DISPLAY",
       {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", "nowhere"},
        {"XDG_RUNTIME_DIR", weston->RuntimeFolder()}},
       {"/s"}, "saver: cannot connect to the Wayland display \"nowhere\""},
      {"Qt finds no Wayland plugin", Session(), {"/s"},
       "saver: cannot start Qt's platform \"wayland\" (", &lonely},
      {"a platform that fails inside Qt", {{"QT_QPA_PLATFORM", "linuxfb:fb=/dev/nofb"}}, {"/c"},
       "saver: cannot start Qt's platform \"linuxfb:fb=/dev/nofb\" ("},
      {"another program's window without X11", Session(), {"-window-id", "0x200001"},
       "saver: no display (DISPLAY is not set); drawing into another window needs X11"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LaunchIn(c.env, c.saverPath ? *c.saverPath : saver, c.args);
    EXPECT_EQ(WaitExit(), 1) << output;
    EXPECT_EQ(output.rfind(c.line, 0), 0u) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  }
}

// On weston's X11 backend with two outputs side by side in the test's X
// server: the show covers both, and the input that reaches it through the
// compositor ends it as each exit setting says. Where the pointer is, the
// compositor says only as it enters the show: movement is judged from there.
TEST_F(WaylandPlayer, EveryOutputIsCoveredAndInputEndsTheShowAsAsked) {
  StartServer(640, 240);
  StartWeston({"--backend=x11-backend.so", "--width=320", "--height=240", "--output-count=2"});
  ASSERT_TRUE(MoveOutputWindow(x->Name(), "screen1", 320));
  struct Case {
    const char* name;
    bool move, button, keyboard, esc;
    std::vector<std::string> input;  // xdotool commands, the pointer starting at (100, 100)
    std::string opened;              // "exit": the exit link; "": nothing
  } cases[] = {
      {"a key", false, false, true, false, {"key x"}, "exit"},
      {"a click", false, true, false, false, {"click 1"}, "exit"},
      {"Esc with every exit off", false, false, false, false, {"key Escape"}, "exit"},
      {"a move of six pixels", true, false, false, false, {"mousemove 106 100"}, "exit"},
      // F1 ends the show with its own page: the move before it did not.
      {"a move of five pixels is none", true, false, true, false,
       {"mousemove 105 105", "key F1"}, kInfoAddress},
      {"a move onto the other output", true, false, false, false, {"mousemove 330 100"}, "exit"},
      {"SIGTERM", true, true, true, true, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SaverBuilder b = Saver(c.move, c.button, c.keyboard, c.esc);
    b.trailer.Seconds = 60;
    const std::string saver = Write(b);
    const TBitmap32 picture = Composed(saver, 0, 320, 240);
    Xdo("mousemove 100 100");
    fs::remove(scratch.Path("opened.txt"));
    LaunchIn(Session(), saver, {"/s"});
    // Both outputs show the show.
    ASSERT_TRUE(WaitUntil([&] {
      const TBitmap32 shot = x->Screenshot();
      TBitmap32 left(320, 240), right(320, 240);
      left.CopyRect(shot, TRect{0, 0, 320, 240}, TPoint{0, 0});
      right.CopyRect(shot, TRect{320, 0, 640, 240}, TPoint{0, 0});
      return Mismatch(left, picture) < 0.01 && Mismatch(right, picture) < 0.01;
    }, 30)) << Log();
    for (const std::string& command : c.input) Xdo(command);
    if (c.input.empty()) kill(pid_, SIGTERM);
    EXPECT_EQ(WaitExit(), 0) << output;
    const std::string link = c.opened == "exit" ? "https://example.com/goodbye" : c.opened;
    if (!link.empty())
      EXPECT_TRUE(WaitUntil([&] { return ReadText(scratch.Path("opened.txt")) == link + "\n"; }))
          << ReadText(scratch.Path("opened.txt"));
    else
      EXPECT_FALSE(fs::exists(scratch.Path("opened.txt")));
  }
}

}  // namespace
}  // namespace saver
