// How long a user waits for the show: from starting the demo saver with /s
// to its first picture on the screen of a private X server, at 1920x1080
// and 3840x2160. Each iteration starts the real player (music included) and
// watches the middle of the screen until it shows the composed first
// picture, then kills the player. Wall-clock time; the goal is under 150 ms
// at 1920x1080.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None
#undef Bool
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench_common.h"
#include "desktop/xvfb_display.h"
#include "payload/compose/compose_frame.h"
#include "platform/desktop.h"

namespace saver::bench {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr int32_t kBlock = 96;  // the square in the middle of the screen that is watched

// The demo saver, packed once into a scratch folder that also serves as the
// player's temporary, settings and data folder.
const std::string& DemoSaver() {
  static const std::string path = [] {
    const fs::path dir = fs::temp_directory_path() / ("saver-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string saver = (dir / "demo.scr").string();
    const std::string cmd = std::string("'") + SAVER_BINARY_DIR + "/tools/saver-pack' -q --player '" +
                            SAVER_BINARY_DIR + "/src/app/saver' -o '" + saver + "' '" +
                            SAVER_SOURCE_DIR + "/assets/demo.toml'";
    if (std::system(cmd.c_str()) != 0) {
      std::fprintf(stderr, "first_picture: cannot pack the demo saver\n");
      std::exit(1);
    }
    setenv("TMPDIR", dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    return saver;
  }();
  return path;
}

// The watched square of picture: what the screen must show.
TBitmap32 Block(const TBitmap32& picture) {
  TBitmap32 b(kBlock, kBlock);
  const int32_t x = picture.Width() / 2 - kBlock / 2, y = picture.Height() / 2 - kBlock / 2;
  b.CopyRect(picture, TRect{x, y, x + kBlock, y + kBlock}, TPoint{0, 0});
  return b;
}

bool Shows(Display* d, const TBitmap32& expected, int32_t width, int32_t height) {
  XImage* image = XGetImage(d, DefaultRootWindow(d), width / 2 - kBlock / 2, height / 2 - kBlock / 2,
                            kBlock, kBlock, AllPlanes, ZPixmap);
  if (!image) return false;
  int off = 0;
  for (int32_t y = 0; y < kBlock; ++y)
    for (int32_t x = 0; x < kBlock; ++x) {
      const TColor32 p = TColor32(XGetPixel(image, x, y)), q = expected.Pixel(x, y);
      if (std::abs(RedOf(p) - RedOf(q)) > 24 || std::abs(GreenOf(p) - GreenOf(q)) > 24 ||
          std::abs(BlueOf(p) - BlueOf(q)) > 24)
        ++off;
    }
  XDestroyImage(image);
  return off < kBlock * kBlock / 50;
}

void FirstPicture(benchmark::State& st, TFrameSize size) {
  const std::string& saver = DemoSaver();
  std::string error;
  auto server = test::XvfbDisplay::Start(size.Width, size.Height, &error);
  if (!server) {
    st.SkipWithError(error.c_str());
    return;
  }
  UseDesktopTextAndScreen();  // the captions as the player draws them, without a display
  unsetenv("QT_QPA_PLATFORM");  // the player itself draws on the X server
  const TBitmap32 expected = Block(ComposeFrame(saver, 0, size.Width, size.Height, 1));
  Display* d = XOpenDisplay(server->Name().c_str());
  for (auto _ : st) {
    const auto start = SteadyClock::now();
    const pid_t pid = fork();
    if (pid == 0) {
      execl(saver.c_str(), saver.c_str(), "/s", static_cast<char*>(nullptr));
      _exit(127);
    }
    bool shown = false;
    // Polls every millisecond: reading the screen in a tight loop would take
    // a core from the player it is timing.
    while (!shown && SteadyClock::now() - start < std::chrono::seconds(20)) {
      shown = Shows(d, expected, size.Width, size.Height);
      if (!shown) usleep(1000);
    }
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    if (!shown) {
      st.SkipWithError("the first picture never came");
      break;
    }
    st.SetIterationTime(seconds);
    // The next start finds an empty screen.
    while (Shows(d, expected, size.Width, size.Height)) XSync(d, 0);
  }
  XCloseDisplay(d);
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  using namespace saver::bench;
  for (TFrameSize size : kFrameSizes)
    benchmark::RegisterBenchmark(FrameName("FirstPicture", size).c_str(),
                                 [size](benchmark::State& st) { FirstPicture(st, size); })
        ->UseManualTime()
        ->Iterations(10)
        ->Unit(benchmark::kMillisecond);
  return RunBenchmarks(argc, argv);
}
