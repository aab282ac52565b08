// Starting, running and ending: each case runs in a child process of its own,
// since an application object is made once per process and some cases end it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include "desktop_fixture.h"
#include "platform/desktop.h"
#include "platform/message_box.h"
#include "platform/ui_thread.h"

namespace saver::test {
namespace {

using ::testing::ExitedWithCode;

class DesktopStart : public ::testing::Test {
 protected:
  // A child starts afresh (fork and exec): a process with an application
  // object and its threads must not simply fork.
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// A display number with no server behind it.
std::string UnusedDisplay() {
  for (int n = 97;; ++n) {
    struct stat st;
    if (stat(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), &st) != 0)
      return ":" + std::to_string(n);
  }
}

void Start(const char* display, const char* platform) {
  if (display)
    setenv("DISPLAY", display, 1);
  else
    unsetenv("DISPLAY");
  if (platform)
    setenv("QT_QPA_PLATFORM", platform, 1);
  else
    unsetenv("QT_QPA_PLATFORM");
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  std::string error;
  const bool started = StartDesktop(argc, argv, &error);
  std::fprintf(stderr, "%s: %s\n", started ? "started" : "refused", error.c_str());
  if (started) {
    // Without X the windows still work; what only X11 has does nothing.
    IWindowSystem& ws = WindowSystem();
    auto w = ws.CreateWindow();
    w->SetParentWindow(0x400001);
    w->Show();
    std::fprintf(stderr, "visible %d, found %llu\n", int(w->Visible()),
                 static_cast<unsigned long long>(ws.FindWindow("anything")));
  }
  std::fflush(stderr);
  _exit(0);
}

// The loss is noticed while the show paints, or while nothing happens at all.
void LoseTheDisplay(bool painting) {
  BeginChild();
  auto d = StartTestDesktop(320, 240);
  SetDisplayLostHandler([] { std::fputs("cleanup\n", stderr); });
  auto window = MakeFullScreenWindow(*d->system);
  IPictureControl& picture = window->AddPicture("picture", window->Bounds());
  window->Show();
  PumpUntil([&] { return window->Visible(); });
  d->server->Stop();
  // Painting on, as a running show would, until the loss is noticed.
  const TBitmap32 frame = Noise(320, 240, 1);
  PumpUntil([&] {
    if (painting) {
      picture.Surface().StretchFrom(frame, frame.BoundsRect(), frame.BoundsRect());
      picture.Surface().Invalidate();
    }
    return false;
  }, 20);
  std::fputs("still running\n", stderr);
  _exit(3);
}

void EmbedThenDestroyParent() {
  BeginChild();
  auto d = StartTestDesktop(640, 480);
  const Window parent = MakeForeignWindow(d->x, "preview", 320, 240);
  auto window = d->system->CreateWindow();
  window->OnClose = [] { std::fputs("closed\n", stderr); };
  window->SetParentWindow(parent);
  window->Show();
  const Window ours = Window(window->Handle());
  const auto placed = [&](int w, int h) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(d->x, ours, &root, &up, &children, &count);
    if (children) XFree(children);
    int x = -1, y = -1;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(d->x, ours, &root, &x, &y, &width, &height, &border, &depth);
    return up == parent && x == 0 && y == 0 && int(width) == w && int(height) == h &&
           window->Bounds() == TRect{0, 0, w, h};
  };
  EXPECT_TRUE(PumpUntil([&] { return placed(320, 240); })) << "not a child at (0, 0)";
  XResizeWindow(d->x, parent, 200, 150);
  XSync(d->x, False);
  EXPECT_TRUE(PumpUntil([&] { return placed(200, 150); })) << "did not follow the size";
  std::fflush(stdout);
  if (::testing::Test::HasFailure()) _exit(2);
  XDestroyWindow(d->x, parent);
  XSync(d->x, False);
  PumpUntil([] { return false; }, 20);
  std::fputs("still running\n", stderr);
  _exit(3);
}

void EmbedIntoNoWindow() {
  BeginChild();
  auto d = StartTestDesktop(320, 240);
  auto window = d->system->CreateWindow();
  window->OnClose = [] { std::fputs("closed\n", stderr); };
  window->SetParentWindow(0x7FFFFF0);
  window->Show();
  PumpUntil([] { return false; }, 20);
  _exit(3);
}

void RunAndTerminate() {
  BeginChild();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  std::string error;
  ASSERT_TRUE(StartDesktop(argc, argv, &error)) << error;
  IWindowSystem& ws = WindowSystem();
  std::string events;
  auto main = ws.CreateWindow();
  main->OnShow = [&] { events += "show "; };
  main->OnHide = [&] { events += "hide "; };
  main->OnClose = [&] { events += "close "; };
  // Closed from a timer while the loop runs.
  auto timer = ws.CreateTimer();
  timer->SetInterval(1);
  timer->OnTimer = [&] {
    timer->SetEnabled(false);
    main->Close();
  };
  timer->SetEnabled(true);
  ws.Run(*main);
  EXPECT_EQ(events, "show close hide ");
  EXPECT_FALSE(main->Visible());

  // Told to terminate from a worker thread while the loop runs.
  events.clear();
  std::thread worker;
  main->OnShow = [&] {
    events += "show ";
    worker = std::thread([] { UiThread().RequestTerminate(); });
  };
  ws.Run(*main);
  worker.join();
  EXPECT_TRUE(UiThread().TerminateRequested());
  EXPECT_EQ(events, "show ");
  main->Hide();

  // Once terminating, Run shows nothing.
  events.clear();
  ws.Run(*main);
  EXPECT_EQ(events, "");
  EXPECT_FALSE(main->Visible());
  ExitWithResult();
}

void StartOffscreenDesktop() {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  std::string error;
  if (!StartDesktop(argc, argv, &error)) _exit(2);
}

// The writing end of a pipe whose reader has gone.
int PipeNobodyReads() {
  int fds[2];
  if (pipe(fds) != 0) _exit(3);
  close(fds[0]);
  return fds[1];
}

// A request to end arrives while a message box holds the loop: the handler
// runs there (the process ends in it).
void AskToEndUnderABox(int signal) {
  StartOffscreenDesktop();
  SetTerminationHandler([] {
    std::fputs("asked to end\n", stderr);
    _exit(0);
  });
  auto timer = WindowSystem().CreateTimer();
  timer->SetInterval(1);
  timer->OnTimer = [signal] {
    if (signal != SIGPIPE) {
      raise(signal);
      return;
    }
    // A write nobody reads, as into a closed log pipe.
    [[maybe_unused]] ssize_t n = write(PipeNobodyReads(), "x", 1);
  };
  timer->SetEnabled(true);
  MessageBoxService().Show("The saver is damaged.", "Screen Saver", MessageIcon::Error);
  std::fputs("the box was answered\n", stderr);
  _exit(4);
}

// Standard error into a pipe nobody reads: writing there is no request to end.
void WriteToABrokenStandardError() {
  StartOffscreenDesktop();
  SetTerminationHandler([] { _exit(5); });
  dup2(PipeNobodyReads(), STDERR_FILENO);
  auto timer = WindowSystem().CreateTimer();
  timer->SetInterval(1);
  int ticks = 0;
  timer->OnTimer = [&ticks] {
    if (++ticks == 1) [[maybe_unused]] ssize_t n = write(STDERR_FILENO, "warning\n", 8);
    if (ticks == 20) _exit(0);  // the loop turned often enough for a request to arrive
  };
  timer->SetEnabled(true);
  auto main = WindowSystem().CreateWindow();
  WindowSystem().Run(*main);
  _exit(4);
}

void PaintOnScaledScreen() {
  BeginChild();
  setenv("QT_SCALE_FACTOR", "2", 1);
  auto d = StartTestDesktop(640, 480);
  IWindowSystem& ws = *d->system;
  const TRect screen{0, 0, 640, 480};
  EXPECT_EQ(ws.Monitors(), std::vector<TRect>{screen});
  EXPECT_EQ(Screen().Width(), 640);
  auto window = MakeFullScreenWindow(ws);
  EXPECT_EQ(window->Bounds(), screen);
  IPictureControl& picture = window->AddPicture("picture", screen);
  const TBitmap32 frame = Noise(640, 480, 5);
  picture.Surface().StretchFrom(frame, frame.BoundsRect(), frame.BoundsRect());
  window->Show();
  std::string diff;
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d->server->Screenshot(), frame, screen)).empty();
  })) << diff;
  // A rectangle at odd device pixels lands exactly there.
  const TBitmap32 patch = Noise(33, 17, 6);
  const TRect at{101, 51, 134, 68};
  picture.Surface().StretchFrom(patch, patch.BoundsRect(), at);
  picture.Surface().Invalidate();
  TBitmap32 expected = frame;
  patch.DrawTo(expected, at.Left, at.Top);
  EXPECT_TRUE(PumpUntil([&] {
    return (diff = Difference(d->server->Screenshot(), expected, screen)).empty();
  })) << diff;
  EXPECT_EQ(window->Bounds(), screen);
  // The pointer, and the mouse messages, in device pixels.
  std::vector<TMessage> moves;
  window->SetWindowProc([&](TMessage& m) {
    if (m.Msg == msg::MouseMove) moves.push_back(m);
  });
  XWarpPointer(d->x, 0, DefaultRootWindow(d->x), 0, 0, 0, 0, 301, 201);
  XSync(d->x, False);
  EXPECT_TRUE(PumpUntil([&] { return ws.CursorPos() == TPoint{301, 201}; }));
  EXPECT_TRUE(PumpUntil([&] {
    return !moves.empty() && moves.back().LParam == MouseLParam(301, 201);
  }));
  TBitmap32 capture(640, 480);
  Screen().CaptureDesktop(capture);
  EXPECT_EQ(Difference(capture, expected, screen), "");
  EXPECT_EQ(AlphaOf(capture.Pixel(7, 7)), 255);
  ExitWithResult();
}

void PaintWithoutSharedMemory() {
  BeginChild();
  auto d = StartTestDesktop(320, 240, {"-extension", "MIT-SHM"});
  CheckPicturePainting(*d);
  ExitWithResult();
}

TEST_F(DesktopStart, WithoutADisplayItRefusesWithOneLine) {
  const std::string unused = UnusedDisplay();
  EXPECT_EXIT(Start(nullptr, nullptr), ExitedWithCode(0),
              "^refused: no display \\(DISPLAY is not set\\)\n$");
  EXPECT_EXIT(Start(unused.c_str(), "xcb"), ExitedWithCode(0),
              "^refused: cannot open the display \"" + unused + "\"\n$");
  EXPECT_EXIT(Start(nullptr, "offscreen"), ExitedWithCode(0),
              "(^|\n)started: \nvisible 1, found 0\n$");
}

TEST_F(DesktopStart, LostDisplayEndsTheProcessWithOneLine) {
  for (bool painting : {true, false})
    EXPECT_EXIT(LoseTheDisplay(painting), ExitedWithCode(1),
                "cleanup\nsaver: the display connection was lost\n$")
        << (painting ? "painting" : "idle");
}

TEST_F(DesktopStart, EmbeddedWindowFollowsItsParentAndClosesWithIt) {
  EXPECT_EXIT(EmbedThenDestroyParent(),
      ExitedWithCode(0), "(^|\n)closed\n$");
  // A parent that is no window at all is one that is gone already.
  EXPECT_EXIT(EmbedIntoNoWindow(),
      ExitedWithCode(0), "(^|\n)closed\n$");
}

TEST_F(DesktopStart, RunEndsWhenTheMainWindowClosesOrOnTerminate) {
  EXPECT_EXIT(RunAndTerminate(),
      ExitedWithCode(0), "");
}

TEST_F(DesktopStart, EverySignalThatAsksToEndReachesTheHandlerUnderAModalBox) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
    EXPECT_EXIT(AskToEndUnderABox(signal), ExitedWithCode(0), "(^|\n)asked to end\n$")
        << strsignal(signal);
}

TEST_F(DesktopStart, AWriteToStandardErrorNobodyReadsEndsNothing) {
  EXPECT_EXIT(WriteToABrokenStandardError(), ExitedWithCode(0), "");
}

TEST_F(DesktopStart, ScaledScreenStaysOneToOneInDevicePixels) {
  EXPECT_EXIT(PaintOnScaledScreen(),
      ExitedWithCode(0), "");
}

TEST_F(DesktopStart, PicturesPaintThroughQtWithoutSharedMemory) {
  EXPECT_EXIT(PaintWithoutSharedMemory(),
      ExitedWithCode(0), "");
}

}  // namespace
}  // namespace saver::test
