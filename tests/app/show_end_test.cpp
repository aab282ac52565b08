// How the player ends and what it leaves of the desktop, in every mode a
// user or a daemon can choose: the real binary on a private X server, with
// another client's window titled "Screen Saver" beside it all along.
#include <signal.h>

#include <algorithm>

#include "app/player_fixture.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;

bool Viewable(Display* d, Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

std::string Name(Display* d, Window w) {
  char* name = nullptr;
  std::string out;
  if (XFetchName(d, w, &name) && name) out = name;
  if (name) XFree(name);
  return out;
}

// The viewable windows at the top of the screen, and the windows inside w.
size_t ViewableTopLevels(Display* d) {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
  size_t viewable = 0;
  for (unsigned i = 0; i < n; ++i) viewable += Viewable(d, children[i]);
  if (children) XFree(children);
  return viewable;
}
size_t Children(Display* d, Window w) {
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  XQueryTree(d, w, &root, &parent, &children, &n);
  if (children) XFree(children);
  return n;
}

// Grabs the keyboard and the pointer as another client would; false when
// someone else holds them.
bool Grab(Display* d) {
  const Window root = DefaultRootWindow(d);
  const int keyboard = XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  const int pointer =
      XGrabPointer(d, root, False, ButtonPressMask, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime);
  XSync(d, False);
  return keyboard == GrabSuccess && pointer == GrabSuccess;
}
void Ungrab(Display* d) {
  XUngrabKeyboard(d, CurrentTime);
  XUngrabPointer(d, CurrentTime);
  XSync(d, False);
}

class ShowEnd : public Player {
 protected:
  // The saver of the fixture with a music track, which leaves its file in
  // the temporary folder while it plays.
  SaverBuilder MusicSaver(bool move, bool button, bool keyboard, bool esc) {
    SaverBuilder b = Saver(move, button, keyboard, esc);
    const std::string wav = scratch.Path("track.wav");
    WriteWav(wav, 30, true);
    b.AddMusic(ScratchDir::Read(wav), ".wav");
    b.trailer.Loop = 1;
    return b;
  }
  // Launch with standard error into a pipe whose reader has gone.
  void LaunchIntoClosedPipe(const std::string& saver, std::vector<std::string> args) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const std::string out = scratch.Path("out.txt");
    pid_ = fork();
    if (pid_ == 0) {
      freopen(out.c_str(), "w", stdout);
      dup2(fds[1], STDERR_FILENO);
      std::vector<char*> argv{const_cast<char*>(saver.c_str())};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(saver.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
  }
  bool TempFolderEmpty() {
    std::error_code ec;
    return !std::filesystem::exists(TempFolder()) || std::filesystem::is_empty(TempFolder(), ec);
  }
};

TEST_F(ShowEnd, EveryModeEndsAsAskedOpensTheExitLinkOnlyOnInputAndLeavesOthersWindowsAlone) {
  enum class Kind { Music, NoExits, Damaged };
  enum class Ready { Showing, InWindow, Box, Nothing };
  enum class End { Key, Esc, Signal, CloseWindow, Itself };
  struct Case {
    const char* name;
    Kind kind;
    std::vector<std::string> args;  // "{window}": a window made for the case, as its id
    bool viaEnvironment = false;    // the window goes into XSCREENSAVER_WINDOW instead
    Ready ready = Ready::Showing;
    End end = End::Key;
    int signal = 0;
    bool linkOpens = false;
    bool logIntoClosedPipe = false;
    bool inputHeldByAnother = false;  // another client holds the input for the first seconds
  };
  const Case cases[] = {
      {"a key", Kind::Music, {"/s"}, false, Ready::Showing, End::Key, 0, true},
      {"SIGTERM", Kind::Music, {"/s"}, false, Ready::Showing, End::Signal, SIGTERM},
      {"SIGINT", Kind::Music, {"/s"}, false, Ready::Showing, End::Signal, SIGINT},
      {"SIGHUP", Kind::Music, {"/s"}, false, Ready::Showing, End::Signal, SIGHUP},
      {"SIGPIPE", Kind::Music, {"/s"}, false, Ready::Showing, End::Signal, SIGPIPE},
      {"SIGTERM in -window-id", Kind::Music, {"-window-id", "{window}"}, false, Ready::InWindow,
       End::Signal, SIGTERM},
      {"SIGTERM in XSCREENSAVER_WINDOW", Kind::Music, {}, true, Ready::InWindow, End::Signal,
       SIGTERM},
      {"SIGTERM in -root", Kind::Music, {"-root"}, true, Ready::InWindow, End::Signal, SIGTERM},
      {"every exit condition off, Esc", Kind::NoExits, {"/s"}, false, Ready::Showing, End::Esc, 0,
       true},
      {"SIGTERM under the start-up error box", Kind::Damaged, {"/s"}, false, Ready::Box,
       End::Signal, SIGTERM},
      {"a log into a pipe nobody reads", Kind::Music, {"/s"}, false, Ready::Showing, End::Key, 0,
       true, true},
      {"the input held by another client at the start", Kind::Music, {"/s"}, false,
       Ready::Showing, End::Key, 0, true, false, true},
      {"preview", Kind::Music, {"/p", "{window}"}, false, Ready::InWindow, End::CloseWindow},
      {"password change", Kind::Music, {"/a", "1234"}, false, Ready::Nothing, End::Itself},
  };

  Display* d = XOpenDisplay(x->Name().c_str());
  const Window foreign = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 120, 80, 0, 0, 0);
  XStoreName(d, foreign, "Screen Saver");
  XMapWindow(d, foreign);
  XSync(d, False);
  std::string links;  // what the exit links opened should read in the end
  // One case; a failed assertion ends the case, not the run.
  const auto run = [&](const Case& c, int index) {
    const std::string link = "https://example.com/end/" + std::to_string(index);
    SaverBuilder b = c.kind == Kind::NoExits ? Saver(false, false, false, false)
                                             : MusicSaver(false, false, true, false);
    b.text.Exitlink = link;
    const std::string saver =
        c.kind == Kind::Damaged ? kPlayer : Write(b, "case" + std::to_string(index) + ".scr");

    // The window a daemon or the preview hands over.
    Window window = 0;
    std::vector<std::string> args = c.args;
    if (c.viaEnvironment || std::count(args.begin(), args.end(), "{window}")) {
      window = XCreateSimpleWindow(d, DefaultRootWindow(d), 30, 20, 200, 150, 0, 0, 0);
      XMapWindow(d, window);
      XSync(d, False);
      std::replace(args.begin(), args.end(), std::string("{window}"), std::to_string(window));
    }
    if (c.viaEnvironment) setenv("XSCREENSAVER_WINDOW", std::to_string(window).c_str(), 1);
    if (c.logIntoClosedPipe) setenv("SAVER_LOG", "-", 1);
    if (c.inputHeldByAnother) {
      ASSERT_TRUE(Grab(d));
    }
    const size_t topLevels = ViewableTopLevels(d);
    const auto launched = Clock::now();
    if (c.logIntoClosedPipe)
      LaunchIntoClosedPipe(saver, args);
    else
      Launch(saver, args);
    unsetenv("XSCREENSAVER_WINDOW");
    unsetenv("SAVER_LOG");

    switch (c.ready) {
      case Ready::Showing:
        ASSERT_TRUE(ScreenShows(Composed(saver, 0)));
        // Its music plays from the temporary folder.
        if (c.kind == Kind::Music) {
          EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(TempFolder() + "/SSSND.wav"); }));
        }
        if (c.logIntoClosedPipe) {
          EXPECT_TRUE(ScreenShows(Composed(saver, 1))) << "the show goes on without its log";
          EXPECT_TRUE(Running());
        }
        break;
      case Ready::InWindow:
        ASSERT_TRUE(WaitUntil([&] { return Children(d, window) > 0; }));
        break;
      case Ready::Box:
        ASSERT_TRUE(WaitUntil([&] { return ViewableTopLevels(d) > topLevels; }));
        break;
      case Ready::Nothing:
        break;
    }
    if (c.inputHeldByAnother) {
      // Longer than a saver that gives up would try, then the input is free.
      std::this_thread::sleep_until(launched + std::chrono::seconds(4));
      Ungrab(d);
      EXPECT_TRUE(WaitUntil([&] {
        const bool someoneElse = !Grab(d);
        Ungrab(d);
        return someoneElse;
      })) << "the show holds the keyboard and the pointer";
    }

    switch (c.end) {
      case End::Key: Xdo("key x"); break;
      case End::Esc: Xdo("key Escape"); break;
      case End::Signal: kill(pid_, c.signal); break;
      case End::CloseWindow: XDestroyWindow(d, window), XSync(d, False), window = 0; break;
      case End::Itself: break;
    }
    EXPECT_EQ(WaitExit(), 0) << output;
    if (c.linkOpens) {
      links += link + "\n";
      EXPECT_TRUE(WaitUntil([&] { return ReadText(scratch.Path("opened.txt")) == links; }))
          << ReadText(scratch.Path("opened.txt"));
    }
    EXPECT_TRUE(TempFolderEmpty());
    EXPECT_TRUE(Viewable(d, foreign)) << "another program's window was hidden";
    EXPECT_EQ(Name(d, foreign), "Screen Saver");
    if (window) XDestroyWindow(d, window);
    XSync(d, False);
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    run(cases[i], int(i + 1));
    if (pid_ > 0) WaitExit(0);  // what a failed case left running
    Ungrab(d);
  }
  // An exit link opened where none should be may come late: its opener runs detached.
  WaitUntil([] { return false; }, 2);
  EXPECT_EQ(ReadText(scratch.Path("opened.txt")), links);
  XDestroyWindow(d, foreign);
  XCloseDisplay(d);
}

TEST_F(ShowEnd, AWindowIdThatNamesNoWindowIsSaidInOneLine) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  struct Case {
    std::vector<std::string> args;
    const char* environment;  // XSCREENSAVER_WINDOW
    const char* line;
  };
  const Case cases[] = {
      {{"-window-id", "12345"}, nullptr, "saver: no window 12345 to draw into (-window-id)\n"},
      {{"--window-id", "0x7fffff0"}, nullptr, "saver: no window 0x7fffff0 to draw into (-window-id)\n"},
      {{}, "0x2a00007", "saver: no window 0x2a00007 to draw into (XSCREENSAVER_WINDOW)\n"},
      {{"-root"}, "99", "saver: no window 99 to draw into (XSCREENSAVER_WINDOW)\n"},
      {{"/p", "4242"}, nullptr, "saver: no window 4242 to draw into (/p)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    if (c.environment) setenv("XSCREENSAVER_WINDOW", c.environment, 1);
    Launch(saver, c.args);
    unsetenv("XSCREENSAVER_WINDOW");
    EXPECT_EQ(WaitExit(), 1);
    EXPECT_EQ(output, c.line);
  }
}

}  // namespace
}  // namespace saver
