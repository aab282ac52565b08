// Starting the desktop: the application object, the process's services, and
// what happens when the display goes away.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "platform/desktop.h"
#include "platform/desktop_wallpaper.h"
#include "platform/qt/qt_backend.h"

namespace saver {

namespace {

// The UI thread over the Qt event loop of the application's thread.
class QtUiThread final : public IUiThread {
 public:
  void Synchronize(std::function<void()> fn) override {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
      fn();
      return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        app,
        [&] {
          try {
            fn();
          } catch (...) {
            error = std::current_exception();
          }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
  }

  void Post(std::function<void()> fn) override {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
  }

  void ProcessMessages() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }

  void RequestTerminate() override {
    terminate_.store(true);
    // The loop ends at its next turn, on its own thread.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { qt::QtSystem().QuitRun(); }, Qt::QueuedConnection);
  }

  bool TerminateRequested() const override { return terminate_.load(); }

 private:
  std::atomic<bool> terminate_{false};
};

std::function<void()> g_displayLost;
QtMessageHandler g_previousHandler = nullptr;

[[noreturn]] void DisplayLost() {
  static std::atomic_flag started = ATOMIC_FLAG_INIT;
  // Another thread that notices too waits for the first one to end the process.
  if (started.test_and_set())
    for (;;) pause();
  if (g_displayLost) g_displayLost();
  static const char kLine[] = "saver: the display connection was lost\n";
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kLine, sizeof kLine - 1);
  _exit(1);
}

// Qt's X11 plugin reports a broken connection with a message and then ends
// the process itself (exit or abort); the message is the last point to take over.
void MessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("The X11 connection broke"))) DisplayLost();
  if (type == QtFatalMsg) {
    x11::Connection* x = qt::QtSystem().X11();
    if (x && x->Broken()) DisplayLost();
  }
  if (g_previousHandler) g_previousHandler(type, context, message);
}

bool UsesX11() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return !platform || !*platform || std::strncmp(platform, "xcb", 3) == 0;
}

// Before the desktop starts, questions about the display go through a
// connection of their own, which the start closes.
std::unique_ptr<x11::Connection> g_earlyX11;

x11::Connection* X11ForQueries() {
  if (QCoreApplication::instance()) return qt::QtSystem().X11();
  if (!g_earlyX11 && UsesX11()) g_earlyX11 = x11::Connection::Open(nullptr);
  return g_earlyX11.get();
}

// A signal only writes a byte into a pipe; the UI thread reads it and runs
// the handler in peace.
int g_signalPipe[2] = {-1, -1};
std::function<void()> g_terminate;

// A write to standard error that nobody reads any more (a log, the
// toolkit's warnings) raises SIGPIPE: that is no request to end.
bool StandardErrorBroken() {
  pollfd p{STDERR_FILENO, POLLOUT, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLERR);
}

void OnTerminationSignal(int signal) {
  const int savedErrno = errno;
  if (signal == SIGPIPE && StandardErrorBroken()) {
    // What is written there from now on goes nowhere, without a signal.
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, STDERR_FILENO), close(null);
  } else {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_signalPipe[1], &byte, 1);
  }
  errno = savedErrno;
}

// Runs the handler for what the pipe holds, once the application's loop
// can watch it.
void WatchSignalPipe() {
  static bool watching = false;
  if (watching || g_signalPipe[0] < 0 || !QCoreApplication::instance()) return;
  watching = true;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, [] {
    char bytes[16];
    while (read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (g_terminate) g_terminate();
  });
}

}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  // The application object keeps references to argc and argv for its lifetime.
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  // Whoever gets here draws into memory only (the player makes its own
  // application on the real display), so it must not need a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  new QApplication(argc, argv);  // lives until the process ends
}

void UseDesktopTextAndScreen() {
  EnsureGuiApplication();
  SetTextRenderer(&DesktopTextRenderer());
  SetScreen(&DesktopScreen());
}

bool StartDesktop(int& argc, char** argv, std::string* error) {
  g_earlyX11.reset();
  const bool x11 = UsesX11();
  if (!QCoreApplication::instance()) {
    // Qt aborts when it cannot open the display: look first.
    if (x11 && !x11::CheckDisplay(error)) return false;
    // An X11 session without a choice made: X11 (XWayland on Wayland).
    if (x11) setenv("QT_QPA_PLATFORM", "xcb", 1);
    new QApplication(argc, argv);  // lives until the process ends
  }
  QGuiApplication::setQuitOnLastWindowClosed(false);
  WatchSignalPipe();  // requests that came before the application wait there
  std::setlocale(LC_NUMERIC, "C");
  // The accessibility bridge starts a thread of its own when the first
  // window shows; started now, it does not wait behind libraries that load
  // in the background (making a thread waits for the loader's lock).
  QAccessible::isActive();

  qt::QtWindowSystem& system = qt::QtSystem();
  if (QGuiApplication::platformName() == QLatin1String("xcb") && !system.X11()) {
    std::unique_ptr<x11::Connection> connection = x11::Connection::Open(error);
    if (!connection) return false;
    void* display = nullptr;
    if (auto* native = qApp->nativeInterface<QNativeInterface::QX11Application>())
      display = native->display();
    system.AttachX11(std::move(connection), display);
    x11::UseDetectableAutoRepeat(display);
    // Desktops with no wallpaper setting of their own show the root window's background.
    SetRootBackground([](const TBitmap32& picture, bool stretched) {
      qt::QtWindowSystem& system = qt::QtSystem();
      TRect root;
      if (!system.X11() || !system.X11()->Geometry(system.X11()->Root(), &root))
        throw WallpaperError("the display has no root window");
      std::string failure;
      if (!x11::SetRootBackground(RootBackgroundImage(picture, stretched, root.Width(),
                                                      root.Height(), system.Monitors()),
                                  &failure))
        throw WallpaperError(failure);
    });
    // After the application: these replace what Qt installed.
    x11::SetConnectionLostHandler(&DisplayLost);
    g_previousHandler = qInstallMessageHandler(MessageHandler);
  }
  SetWindowSystem(&system);
  SetUiThread(&DesktopUiThread());
  SetScreen(&DesktopScreen());
  SetTextRenderer(&DesktopTextRenderer());
  SetMessageBoxService(&DesktopMessageBox());
  return true;
}

void SetDisplayLostHandler(std::function<void()> fn) { g_displayLost = std::move(fn); }

IWindowSystem& DesktopWindowSystem() {
  EnsureGuiApplication();
  return qt::QtSystem();
}

IUiThread& DesktopUiThread() {
  static QtUiThread ui;
  return ui;
}

void SetTerminationHandler(std::function<void()> fn) {
  g_terminate = std::move(fn);
  if (g_signalPipe[0] < 0) {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
  }
  WatchSignalPipe();
}

bool CheckDisplay(std::string* error) { return !UsesX11() || x11::CheckDisplay(error); }

TWindowHandle RootWindowHandle() {
  x11::Connection* x = X11ForQueries();
  return x ? x->Root() : 0;
}

TRect NativeWindowRect(TWindowHandle window) {
  TRect r;
  if (x11::Connection* x = X11ForQueries(); x && x->Geometry(window, &r)) return r;
  return TRect{};
}

}  // namespace saver
