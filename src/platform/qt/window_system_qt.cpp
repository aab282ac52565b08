// The window system over Qt, with the X11 side for what Qt does not offer.
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QIcon>
#include <QPixmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QSocketNotifier>
#include <QWindow>
#include <cmath>

#include "platform/qt/qt_backend.h"
#include "platform/ui_thread.h"

namespace saver::qt {

namespace {

// How often a screen-saver grab is tried again while another client holds
// the input or the window is not on screen yet.
constexpr int kGrabRetryMs = 25;

uint32_t KeySymbolOf(void* context, uint32_t keycode) {
  return static_cast<x11::Connection*>(context)->KeySymbol(keycode);
}

}  // namespace

QtTimer::QtTimer() {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(int(interval_));
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    if (OnTimer) OnTimer();
  });
}

void QtTimer::SetInterval(uint32_t milliseconds) {
  interval_ = milliseconds;
  timer_.setInterval(int(std::min<uint32_t>(milliseconds, INT32_MAX)));
  if (enabled_) timer_.start();  // counted afresh from the change
}

void QtTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled)
    timer_.start();
  else
    timer_.stop();
}

QtWindowSystem::QtWindowSystem() {
  grabRetry_.setInterval(kGrabRetryMs);
  connect(&grabRetry_, &QTimer::timeout, this, [this] { TryGrab(); });
  // Input is taken where it first arrives, at the native windows.
  qApp->installEventFilter(this);
  // RandR monitors (or CRTCs, or Xinerama screens) come and go as screens.
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* s) {
    WatchScreen(s);
    MonitorsChanged();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { MonitorsChanged(); });
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { MonitorsChanged(); });
  for (QScreen* s : QGuiApplication::screens()) WatchScreen(s);
}

void QtWindowSystem::WatchScreen(QScreen* screen) {
  connect(screen, &QScreen::geometryChanged, this, [this] { MonitorsChanged(); });
}

void QtWindowSystem::MonitorsChanged() {
  // A monitor going takes several signals (removed, primary changed): the
  // show hears of it once, when Qt's list is whole again.
  if (monitorsQueued_) return;
  monitorsQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    monitorsQueued_ = false;
    if (OnMonitorsChanged) OnMonitorsChanged();
  });
}

QtWindowSystem::~QtWindowSystem() {
  if (qApp) qApp->removeEventFilter(this);
}

void QtWindowSystem::AttachX11(std::unique_ptr<x11::Connection> connection,
                               void* toolkitDisplay) {
  x11_ = std::move(connection);
  toolkitDisplay_ = toolkitDisplay;
  if (!x11_) return;
  x11Notifier_ = new QSocketNotifier(x11_->Fd(), QSocketNotifier::Read, this);
  connect(x11Notifier_, &QSocketNotifier::activated, this, [this] { x11_->ProcessEvents(); });
  // Xlib may have read events off the socket during a round trip: they are
  // handled before the loop waits again.
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          [this] {
            if (x11_ && x11_->HasQueuedEvents()) x11_->ProcessEvents();
          });
}

std::unique_ptr<IWindow> QtWindowSystem::CreateWindow() {
  return std::make_unique<QtWindow>(*this);
}

std::unique_ptr<ITimer> QtWindowSystem::CreateTimer() { return std::make_unique<QtTimer>(); }

void QtWindowSystem::WindowDestroyed(QtWindow* w) {
  std::erase(windows_, w);
  if (grabWindow_ == w) ReleaseGrab();
}

void QtWindowSystem::ReleaseGrab() {
  if (keyboardHeld_ || pointerHeld_) x11::UngrabInput(toolkitDisplay_);
  keyboardHeld_ = pointerHeld_ = false;
}

std::vector<TRect> QtWindowSystem::Monitors() {
  std::vector<TRect> out;
  QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) out.push_back(DeviceRect(primary->geometry(), primary));
  for (QScreen* s : QGuiApplication::screens())
    if (s != primary) out.push_back(DeviceRect(s->geometry(), s));
  return out;
}

int32_t QtWindowSystem::ShowCursor(bool show) {
  const bool wasHidden = cursorCount_ < 0;
  cursorCount_ += show ? 1 : -1;
  const bool hidden = cursorCount_ < 0;
  if (hidden && !wasHidden) QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
  if (!hidden && wasHidden) QGuiApplication::restoreOverrideCursor();
  return cursorCount_;
}

std::optional<TPoint> QtWindowSystem::CursorPos() {
  // Qt's position is in whole logical pixels: the server has the device pixel.
  if (x11_) return x11_->PointerPosition();
  if (OnWayland()) return pointerSeen_;
  const QPoint p = QCursor::pos();
  QScreen* s = QGuiApplication::screenAt(p);
  if (!s) s = QGuiApplication::primaryScreen();
  const TRect r = DeviceRect(QRect(p, QSize(1, 1)), s);
  return TPoint{r.Left, r.Top};
}

QtWindow* QtWindowSystem::OwnWindow(TWindowHandle handle) const {
  if (!handle) return nullptr;
  for (QtWindow* w : windows_)
    if (!w->Embedded() && w->internalWinId() == WId(handle)) return w;
  return nullptr;
}

TRect QtWindowSystem::WindowScreenRect(TWindowHandle window) {
  TRect r;
  return x11_ && x11_->ScreenGeometry(window, &r) ? r : TRect{};
}

TWindowHandle QtWindowSystem::FindWindow(const std::string& utf8Title) {
  // A window without its native window yet is on no display to be found.
  for (QtWindow* w : windows_)
    if (!w->Embedded() && w->internalWinId() && w->Title() == utf8Title)
      return TWindowHandle(w->internalWinId());
  return 0;
}

void QtWindowSystem::ShowWindow(TWindowHandle window, bool show) {
  if (QtWindow* w = OwnWindow(window)) show ? w->Show() : w->Hide();
}

void QtWindowSystem::EnableWindow(TWindowHandle window, bool enable) {
  if (QtWindow* w = OwnWindow(window)) w->SetEnabled(enable);
}

void QtWindowSystem::SetForegroundWindow(TWindowHandle window) {
  QtWindow* w = OwnWindow(window);
  if (!w) return;
  if (x11_)
    x11_->Activate(window);
  else
    w->activateWindow();
}

TWindowHandle QtWindowSystem::ForegroundWindow() { return x11_ ? x11_->ActiveWindow() : 0; }

void QtWindowSystem::SetApplicationExStyle(uint32_t exStyle) {
  exStyle_ = exStyle;
  if (SkipTaskbar())
    for (QtWindow* w : windows_)
      if (w->internalWinId() && !w->Embedded()) ApplySkipTaskbar(*w);
}

void QtWindowSystem::SetApplicationIcon(const TBitmap32& icon) {
  const QImage image(reinterpret_cast<const uchar*>(icon.Bits()), icon.Width(), icon.Height(),
                     qsizetype(icon.Width()) * 4, QImage::Format_ARGB32);
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(image.copy())));
}

void QtWindowSystem::ApplySkipTaskbar(QtWindow& w) {
  // X11 has no hidden application window owning the task-bar entry: each of
  // our top-level windows keeps itself off the task bar instead.
  if (x11_ && !w.Embedded()) x11_->SkipTaskbar(w.Handle());
}

// The full-screen window takes the keyboard and the pointer while the saver
// runs: the desktop's shortcuts then reach it instead of switching away.
void QtWindowSystem::SetScreenSaverRunning(bool running) {
  grabWanted_ = running;
  if (running) {
    TryGrab();
  } else {
    grabRetry_.stop();
    ReleaseGrab();
  }
}

void QtWindowSystem::TryGrab() {
  grabRetry_.stop();
  if (!grabWanted_ || (keyboardHeld_ && pointerHeld_) || !toolkitDisplay_) return;
  QtWindow* target = nullptr;
  for (QtWindow* w : windows_)
    if (w->FullScreen() && w->isVisible()) target = w;
  if (!target && main_ && main_->isVisible()) target = main_;
  // Not on screen yet: WindowShown tries again.
  if (!target) return;
  if (grabWindow_ != target) ReleaseGrab();
  grabWindow_ = target;
  // Each is taken as soon as it is free: a held keyboard already keeps the
  // desktop's shortcuts away while another client still has the pointer.
  using x11::TGrabResult;
  const TGrabResult keyboard = keyboardHeld_ ? TGrabResult::Grabbed
                                             : x11::GrabKeyboard(toolkitDisplay_, target->Handle());
  const TGrabResult pointer = pointerHeld_ ? TGrabResult::Grabbed
                                           : x11::GrabPointer(toolkitDisplay_, target->Handle());
  keyboardHeld_ = keyboard == TGrabResult::Grabbed;
  pointerHeld_ = pointer == TGrabResult::Grabbed;
  // Another client holds the rest (a menu, a locker) or the window is not
  // mapped yet: tried again for as long as the saver runs.
  if ((!keyboardHeld_ || !pointerHeld_) && keyboard != TGrabResult::Failed &&
      pointer != TGrabResult::Failed)
    grabRetry_.start();
}

void QtWindowSystem::WindowShown(QtWindow& w) {
  if (grabWanted_) TryGrab();
}

void QtWindowSystem::WindowClosed(QtWindow& w) {
  if (grabWindow_ == &w) ReleaseGrab();
  if (main_ == &w) {
    mainClosed_ = true;
    QuitRun();
  }
}

void QtWindowSystem::Run(IWindow& main) {
  main_ = dynamic_cast<QtWindow*>(&main);
  mainClosed_ = false;
  if (!UiThread().TerminateRequested()) main.Show();
  if (UiThread().TerminateRequested() || mainClosed_) return;
  QEventLoop loop;
  runLoop_ = &loop;
  loop.exec();
  runLoop_ = nullptr;
}

void QtWindowSystem::QuitRun() {
  // Modal windows end first: the loop can end only once their calls returned.
  for (QtWindow* w : std::vector<QtWindow*>(windows_)) w->EndModal();
  if (runLoop_) runLoop_->quit();
}

QScreen* QtWindowSystem::MainScreen() const {
  if (main_ && main_->screen()) return main_->screen();
  return QGuiApplication::primaryScreen();
}

void QtWindowSystem::ActivationChanged(QtWindow& w, bool active, bool first) {
  // A window's first activation, as it appears, is no change anyone reacts
  // to; nor is the focus passing between the application's own windows (a
  // compositor gives it to each new window, a second monitor's too).
  if (first) {
    appActive_ = true;
    return;
  }
  if (active ? appActive_ : QApplication::activeWindow() != nullptr) return;
  // Another program's window taking the focus is input the show reacts to:
  // the records go through the application's filter like any other.
  appActive_ = active;
  // Releases now go to another program.
  if (!active) keysHeld_.clear();
  TMessage m;
  m.Window = w.Handle();
  m.WParam = active ? 1 : 0;
  for (uint32_t message : {msg::NcActivate, msg::Activate, msg::ActivateApp}) {
    m.Msg = message;
    m.Result = 0;
    Dispatch(w, m);
  }
}

QtWindow* QtWindowSystem::WindowOf(QObject* object) const {
  // A native window of ours: a top-level window's own or one of its
  // controls' (a foreign parent ends the walk).
  for (auto* win = qobject_cast<QWindow*>(object); win; win = win->parent()) {
    for (QtWindow* w : windows_)
      if (w->windowHandle() == win) return w;
  }
  return nullptr;
}

uint32_t QtWindowSystem::VirtualKeyOf(const QKeyEvent& e) {
  return TranslateKey(e.key(), e.modifiers() & Qt::KeypadModifier, e.nativeScanCode(),
                      x11_ ? &KeySymbolOf : nullptr, x11_.get());
}

bool QtWindowSystem::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
  // Wayland says where the pointer is only once it enters one of our
  // windows: the entry counts as a movement there (the show's first sight
  // of the pointer, where its movement is judged from).
  const bool move = type == QEvent::MouseMove || (type == QEvent::Enter && OnWayland());
  const bool mouse =
      move || type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
  // Every input event passes the native window first, then the widgets:
  // taken at the window only, each is delivered once.
  if ((!key && !mouse) || !watched->isWindowType()) return false;

  // Keys are followed in every window of the application, message boxes
  // included, so that a release there is not missed.
  const bool repeat = key && RepeatsHeldKey(*static_cast<QKeyEvent*>(event));
  QtWindow* w = WindowOf(watched);
  if (!w || !w->InputEnabled()) return false;

  TMessage m;
  m.Window = w->Handle();
  if (key) {
    const auto* k = static_cast<QKeyEvent*>(event);
    // X11 repeats a held key as release-press pairs; a repeat is one more key down.
    if (type == QEvent::KeyRelease && k->isAutoRepeat()) return false;
    if (repeat) m.LParam = msg::KeyWasDown;
    const Qt::KeyboardModifiers mods = k->modifiers();
    const bool alt = (mods & Qt::AltModifier) || k->key() == Qt::Key_Alt;
    const bool system = alt && !(mods & Qt::ControlModifier);
    if (type == QEvent::KeyPress)
      m.Msg = system ? msg::SysKeyDown : msg::KeyDown;
    else
      m.Msg = system ? msg::SysKeyUp : msg::KeyUp;
    m.WParam = VirtualKeyOf(*k);
  } else {
    const auto* e = static_cast<QSinglePointEvent*>(event);
    if (move) {
      m.Msg = msg::MouseMove;
    } else {
      switch (e->button()) {
        case Qt::LeftButton:
          m.Msg = msg::LButtonDown;
          break;
        case Qt::RightButton:
          m.Msg = msg::RButtonDown;
          break;
        case Qt::MiddleButton:
          m.Msg = msg::MButtonDown;
          break;
        default:
          return false;
      }
    }
    // A control's own native window reports in its coordinates: mapped up
    // through the widgets, without asking the server.
    QPointF local = e->position();
    if (watched != w->windowHandle()) {
      QWidget* control = QWidget::find(static_cast<QWindow*>(watched)->winId());
      local = control && w->isAncestorOf(control) ? control->mapTo(w, local)
                                                  : w->mapFromGlobal(e->globalPosition());
    }
    const qreal ratio = w->Ratio();
    const TPoint client{int32_t(std::floor(local.x() * ratio)),
                        int32_t(std::floor(local.y() * ratio))};
    m.LParam = MouseLParam(client.X, client.Y);
    const TRect bounds = w->Bounds();
    pointerSeen_ = TPoint{bounds.Left + client.X, bounds.Top + client.Y};
  }
  Dispatch(*w, m);
  return false;
}

bool QtWindowSystem::RepeatsHeldKey(const QKeyEvent& e) {
  const uint64_t code = e.nativeScanCode() ? e.nativeScanCode() : uint64_t(uint32_t(e.key())) << 32;
  if (e.type() == QEvent::KeyRelease) {
    if (!e.isAutoRepeat()) keysHeld_.erase(code);
    return false;
  }
  return !keysHeld_.insert(code).second || e.isAutoRepeat();
}

QtWindowSystem& QtSystem() {
  static QtWindowSystem* system = new QtWindowSystem;  // lives as long as the application
  return *system;
}

}  // namespace saver::qt
