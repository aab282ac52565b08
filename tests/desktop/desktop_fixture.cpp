#include "desktop_fixture.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "platform/desktop.h"
#include "platform/ui_thread.h"

namespace saver::test {

std::unique_ptr<TestDesktop> StartTestDesktop(int width, int height,
                                              const std::vector<std::string>& serverArgs) {
  auto d = std::make_unique<TestDesktop>();
  std::string error;
  d->server = XvfbDisplay::Start(width, height, &error, serverArgs);
  if (!d->server) {
    ADD_FAILURE() << error;
    return d;
  }
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  // The application keeps argc and argv: they live as long as the process.
  static int argc = 1;
  static char name[] = "test_desktop";
  static char* argv[] = {name, nullptr};
  if (!StartDesktop(argc, argv, &error)) {
    ADD_FAILURE() << error;
    return d;
  }
  d->x = XOpenDisplay(d->server->Name().c_str());
  d->system = &WindowSystem();
  return d;
}

TestDesktop& Desktop() {
  static TestDesktop* desktop = StartTestDesktop(kScreenWidth, kScreenHeight).release();
  if (!desktop->system) throw std::runtime_error("no desktop");
  return *desktop;
}

namespace {
// A death test's child forwards no test events: its checks are collected
// here and written to standard error at its end.
::testing::TestPartResultArray* g_childResults = nullptr;
}  // namespace

void BeginChild() {
  g_childResults = new ::testing::TestPartResultArray;
  new ::testing::ScopedFakeTestPartResultReporter(
      ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, g_childResults);
}

void ExitWithResult() {
  bool failed = ::testing::Test::HasFailure();
  for (int i = 0; g_childResults && i < g_childResults->size(); ++i) {
    const ::testing::TestPartResult& r = g_childResults->GetTestPartResult(i);
    if (!r.failed()) continue;
    failed = true;
    std::fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(),
                 r.message());
  }
  std::fflush(nullptr);
  _exit(failed ? 1 : 0);
}

bool PumpUntil(const std::function<bool()>& pred, double seconds) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    UiThread().ProcessMessages();
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the polling interval
  }
}

Window MakeForeignWindow(Display* x, const std::string& title, int width, int height) {
  const Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), 10, 10, unsigned(width),
                                       unsigned(height), 0, 0, 0x808080);
  XStoreName(x, w, title.c_str());
  XChangeProperty(x, w, XInternAtom(x, "_NET_WM_NAME", False), XInternAtom(x, "UTF8_STRING", False),
                  8, PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                  int(title.size()));
  XMapWindow(x, w);
  XSync(x, False);
  return w;
}

TBitmap32 Noise(int32_t width, int32_t height, uint32_t seed) {
  TBitmap32 b(width, height);
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) b.SetPixel(x, y, rng() | 0xFF000000u);
  return b;
}

std::string Difference(const TBitmap32& a, const TBitmap32& b, const TRect& rect, TPoint offset) {
  for (int32_t y = rect.Top; y < rect.Bottom; ++y)
    for (int32_t x = rect.Left; x < rect.Right; ++x) {
      const TColor32 pa = a.PixelS(x + offset.X, y + offset.Y) | 0xFF000000u;
      const TColor32 pb = b.PixelS(x, y) | 0xFF000000u;
      if (pa != pb) {
        char text[96];
        std::snprintf(text, sizeof text, "at (%d, %d): %08X, expected %08X", x, y, pa, pb);
        return text;
      }
    }
  return {};
}

std::unique_ptr<IWindow> MakeFullScreenWindow(IWindowSystem& system) {
  auto w = system.CreateWindow();
  w->SetTitle("full screen");
  w->SetWindowState(TWindowState::Maximized);
  w->SetBorderStyle(TBorderStyle::None);
  w->SetStayOnTop(true);
  return w;
}

void MessageLog::Attach(IWindowSystem& system, IWindow& window) {
  system.SetMessageFilter([this](TMessage& m) { filtered.push_back(m); });
  window.SetWindowProc([this](TMessage& m) { performed.push_back(m); });
}

}  // namespace saver::test
