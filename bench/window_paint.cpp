// What painting a frame into the real window costs, next to painting it into
// a surface in memory and to the memcpy floor: StretchFrom + Invalidate of a
// whole frame and of a small rectangle, on a picture control as large as the
// frame in a borderless window of an X server (a private Xvfb of 3840x2160
// unless DISPLAY is set).
//
// Window times are wall-clock: the paint hands the pixels to the X server,
// which copies them in its own process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "bench_common.h"
#include "platform/desktop.h"
#include "platform/surface.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"
#include "trans/trans.h"

namespace saver::bench {
namespace {

constexpr int32_t kSmallSide = 64;  // the small rectangle: a 64x64 square in the middle

// Starts Xvfb large enough for every frame size and points DISPLAY at it;
// the server ends with this process.
bool StartServer() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "3840x2160x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  char c;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (number.empty()) return false;
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return true;
}

void Pump(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) UiThread().ProcessMessages();
}

struct TWindowTarget {
  std::unique_ptr<IWindow> window;
  IPictureControl* picture = nullptr;
};

TWindowTarget& WindowFor(TFrameSize size) {
  static std::map<int32_t, TWindowTarget> targets;
  TWindowTarget& t = targets[size.Width];
  if (!t.window) {
    t.window = WindowSystem().CreateWindow();
    t.window->SetBorderStyle(TBorderStyle::None);
    t.window->SetBounds(TRect{0, 0, size.Width, size.Height});
    t.picture = &t.window->AddPicture("picture", TRect{0, 0, size.Width, size.Height});
    t.window->Show();
    Pump(0.5);  // mapped and exposed
  }
  return t;
}

TRect SmallRect(TFrameSize size) {
  const int32_t left = (size.Width - kSmallSide) / 2, top = (size.Height - kSmallSide) / 2;
  return TRect{left, top, left + kSmallSide, top + kSmallSide};
}

// Two frames painted in turn, so that no pass can keep what it painted last.
// With compose, each frame is first made the way a transition worker makes
// one (here a copy of a whole frame between two buffers of its own) while
// the X server may still be copying the frame before.
void PaintLoop(benchmark::State& st, ISurface& surface, TFrameSize size, bool small,
               bool compose) {
  TBitmap32 frames[2] = {NoisePicture(size.Width, size.Height, 1),
                         NoisePicture(size.Width, size.Height, 2)};
  const TBitmap32 source = NoisePicture(size.Width, size.Height, 3);
  const TRect r = small ? SmallRect(size) : frames[0].BoundsRect();
  const size_t bytes = size_t(size.Width) * size_t(size.Height) * sizeof(TColor32);
  int i = 0;
  for (auto _ : st) {
    i ^= 1;
    if (compose) {
      std::memcpy(frames[i].Bits(), source.Bits(), bytes);
      frames[i].SetPixel(i, 0, 0xFF000000u | uint32_t(st.iterations()));
    }
    surface.StretchFrom(frames[i], r, r);
    surface.Invalidate();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * r.Width() * r.Height() * 4);
}

// One transition a run, from one noise picture to another, with no frame
// delay: the time is what composing and painting the frames cost. Reports
// the mean and the worst frame (between the worker's frame hand-overs).
void TransitionLoop(benchmark::State& st, ISurface& surface, TFrameSize size, int32_t effect) {
  const TBitmap32 pictures[2] = {NoisePicture(size.Width, size.Height, 4),
                                 NoisePicture(size.Width, size.Height, 5)};
  double worst = 0, total = 0;
  int64_t frames = 0;
  int i = 0;
  for (auto _ : st) {
    i ^= 1;
    auto last = std::chrono::steady_clock::now();
    TTransitionHandlers handlers;
    handlers.OnFrame = [&] {
      const auto now = std::chrono::steady_clock::now();
      const double ms = std::chrono::duration<double, std::milli>(now - last).count();
      worst = std::max(worst, ms);
      total += ms;
      ++frames;
      last = now;
    };
    StartTransition(surface, pictures[i], effect, 0, 64, true, std::move(handlers));
  }
  st.counters["frame_ms"] = frames ? total / double(frames) : 0;
  st.counters["worst_frame_ms"] = worst;
  st.counters["fps"] = total > 0 ? 1000.0 * double(frames) / total : 0;
}

void Register(TFrameSize size) {
  const auto add = [](const std::string& name, auto fn) {
    benchmark::RegisterBenchmark(name.c_str(), fn)->Unit(benchmark::kMillisecond)->UseRealTime();
  };
  for (const char* what : {"", "Small", "Composed"}) {
    const bool small = std::string(what) == "Small", compose = std::string(what) == "Composed";
    add(FrameName(std::string("MemorySurfacePaint") + what, size),
        [size, small, compose](benchmark::State& st) {
          BitmapSurface surface(size.Width, size.Height);
          PaintLoop(st, surface, size, small, compose);
        });
    add(FrameName(std::string("WindowPaint") + what, size),
        [size, small, compose](benchmark::State& st) {
          PaintLoop(st, WindowFor(size).picture->Surface(), size, small, compose);
        });
  }
  // A crossfade, a zoom and a slide, into memory and into the window.
  for (const auto& [name, effect] :
       {std::pair<const char*, int32_t>{"Crossfade", 115}, {"ZoomIn", 103}, {"Slide", 1}}) {
    add(FrameName(std::string("Memory") + name, size), [size, effect = effect](benchmark::State& st) {
      BitmapSurface surface(size.Width, size.Height);
      TransitionLoop(st, surface, size, effect);
    });
    add(FrameName(std::string("Window") + name, size), [size, effect = effect](benchmark::State& st) {
      TransitionLoop(st, WindowFor(size).picture->Surface(), size, effect);
    });
  }
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  using namespace saver;
  const char* display = std::getenv("DISPLAY");
  if ((!display || !*display) && !bench::StartServer()) {
    std::fprintf(stderr, "bench_window_paint: cannot start Xvfb\n");
    return 1;
  }
  std::string error;
  if (!StartDesktop(argc, argv, &error)) {
    std::fprintf(stderr, "bench_window_paint: %s\n", error.c_str());
    return 1;
  }
  for (bench::TFrameSize size : bench::kFrameSizes) bench::Register(size);
  return bench::RunBenchmarks(argc, argv);
}
