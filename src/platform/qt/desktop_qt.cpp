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
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/desktop_wallpaper.h"
#include "platform/qt/qt_backend.h"
#include "platform/runtime_folder.h"
#include "platform/wayland_socket.h"

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
// The platform ChooseDisplay chose (empty: not yet).
std::string g_platform;

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

// While the application object is made, Qt's messages wait here: a
// platform that cannot start (no plugin, no compositor, no device) ends
// the process with one line of ours instead of Qt's lines and an abort.
struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};
bool g_holding = false;
std::vector<HeldMessage> g_held;

// Why the platform did not start: Qt's first complaint, else the first
// line of its last word.
std::string StartFailure(const QString& last) {
  QString why = g_held.empty() ? last.section(QLatin1Char('\n'), 0, 0) : g_held.front().text;
  return "cannot start Qt's platform \"" + g_platform + "\" (" + why.trimmed().toStdString() + ")";
}

void ReplayHeldMessages() {
  g_holding = false;
  for (const HeldMessage& m : g_held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
    if (g_previousHandler) g_previousHandler(m.type, context, m.text);
  }
  g_held.clear();
}

// Qt's platforms report a broken connection with a message and then end
// the process themselves (exit or abort); the message is the last point to
// take over.
void MessageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (g_holding) {
    if (type == QtFatalMsg) {
      const std::string line = "saver: " + StartFailure(message) + "\n";
      [[maybe_unused]] ssize_t n = write(STDERR_FILENO, line.data(), line.size());
      _exit(1);
    }
    g_held.push_back({type, context.category ? context.category : "", message});
    return;
  }
  if (message.startsWith(QLatin1String("The X11 connection broke")) ||
      message.startsWith(QLatin1String("The Wayland connection")))
    DisplayLost();
  if (type == QtFatalMsg) {
    x11::Connection* x = qt::QtSystem().X11();
    if (x && x->Broken()) DisplayLost();
  }
  if (g_previousHandler) g_previousHandler(type, context, message);
}

std::string Environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool UsesX11() {
  const std::string platform = g_platform.empty() ? Environment("QT_QPA_PLATFORM") : g_platform;
  return platform.empty() || platform.rfind("xcb", 0) == 0;
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
  EnsureRuntimeFolder();
  new QApplication(argc, argv);  // lives until the process ends
}

void UseDesktopTextAndScreen() {
  EnsureGuiApplication();
  SetTextRenderer(&DesktopTextRenderer());
  SetScreen(&DesktopScreen());
}

bool ChooseDisplay(TDisplayNeed need, std::string* reason, std::string* error) {
  EnsureRuntimeFolder();
  const TDisplayEnvironment env{Environment("QT_QPA_PLATFORM"), Environment("DISPLAY"),
                                Environment("WAYLAND_DISPLAY")};
  const TDisplayProbe probe{
      &qt::PlatformPluginInstalled, [](const std::string& platform, std::string* e) {
        if (IsWaylandPlatform(platform)) return CheckWaylandDisplay(e);
        // Qt aborts when it cannot open the display: it is looked at first.
        if (platform.rfind("xcb", 0) == 0) return x11::CheckDisplay(e);
        return true;  // the others fail inside Qt, which StartDesktop takes over
      }};
  const TDisplayChoice choice = ChooseDisplayPlatform(env, need, probe);
  if (choice.platform.empty()) {
    if (error) *error = choice.error;
    return false;
  }
  g_platform = choice.platform;
  if (reason) *reason = choice.reason;
  return true;
}

namespace {

// Makes the application on the chosen platform. The user's QT_QPA_PLATFORM
// comes back afterwards: the programs the saver opens choose for themselves.
bool MakeApplication(int& argc, char** argv, std::string* error) {
  const char* given = std::getenv("QT_QPA_PLATFORM");
  const std::string previous = given ? given : "";
  setenv("QT_QPA_PLATFORM", g_platform.c_str(), 1);
  g_holding = true;
  new QApplication(argc, argv);  // lives until the process ends
  if (given)
    setenv("QT_QPA_PLATFORM", previous.c_str(), 1);
  else
    unsetenv("QT_QPA_PLATFORM");
  if (!QGuiApplication::primaryScreen()) {
    if (error) *error = StartFailure(QStringLiteral("it has no screen"));
    g_held.clear();
    g_holding = false;
    return false;
  }
  ReplayHeldMessages();
  return true;
}

}  // namespace

bool StartDesktop(int& argc, char** argv, std::string* error) {
  g_earlyX11.reset();
  if (!g_previousHandler) g_previousHandler = qInstallMessageHandler(MessageHandler);
  if (!QCoreApplication::instance()) {
    if (g_platform.empty() && !ChooseDisplay(TDisplayNeed::OwnWindows, nullptr, error))
      return false;
    if (!MakeApplication(argc, argv, error)) return false;
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
    // After the application: this replaces what Qt installed.
    x11::SetConnectionLostHandler(&DisplayLost);
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
