// Top-level windows: a QWidget each.
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWindow>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/dialog_qt.h"
#include "platform/qt/qt_backend.h"

namespace saver::qt {

TRect DeviceRect(const QRect& logical, const QScreen* screen) {
  const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
  const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
  const int32_t left = origin.x() + int32_t(std::lround((logical.x() - origin.x()) * ratio));
  const int32_t top = origin.y() + int32_t(std::lround((logical.y() - origin.y()) * ratio));
  return TRect{left, top, left + int32_t(std::lround(logical.width() * ratio)),
               top + int32_t(std::lround(logical.height() * ratio))};
}

QRect LogicalRect(const TRect& device, const QScreen* screen) {
  const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
  const QPoint origin = screen ? screen->geometry().topLeft() : QPoint();
  const int x = origin.x() + int(std::lround((device.Left - origin.x()) / ratio));
  const int y = origin.y() + int(std::lround((device.Top - origin.y()) / ratio));
  return QRect(x, y, int(std::ceil(device.Width() / ratio)),
               int(std::ceil(device.Height() / ratio)));
}

TRect ScaleToDevice(const QRect& logical, qreal ratio) {
  return TRect{int32_t(std::floor(logical.left() * ratio)),
               int32_t(std::floor(logical.top() * ratio)),
               int32_t(std::ceil((logical.right() + 1) * ratio)),
               int32_t(std::ceil((logical.bottom() + 1) * ratio))};
}

QRect ScaleToLogical(const TRect& device, qreal ratio) {
  const int left = int(std::floor(device.Left / ratio)), top = int(std::floor(device.Top / ratio));
  const int right = int(std::ceil(device.Right / ratio)),
            bottom = int(std::ceil(device.Bottom / ratio));
  return QRect(left, top, right - left, bottom - top);
}

bool OnWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

QScreen* ScreenAtDevice(TPoint p) {
  for (QScreen* s : QGuiApplication::screens()) {
    const TRect r = DeviceRect(s->geometry(), s);
    if (p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom) return s;
  }
  return QGuiApplication::primaryScreen();
}

QtWindow::QtWindow(QtWindowSystem& system) : QWidget(nullptr), system_(system) {
  setAttribute(Qt::WA_QuitOnClose, false);
  system_.WindowCreated(this);
  ApplyFlags();
  SetBounds(TRect{0, 0, 200, 150});
}

QtWindow::~QtWindow() {
  if (embedder_ && system_.X11()) system_.X11()->Unwatch(embedder_);
  system_.WindowDestroyed(this);
  // foreign_ stays: it parents our native window until QWidget has
  // destroyed that, and deleting it would take that along first.
}

qreal QtWindow::Ratio() const { return devicePixelRatioF(); }

QScreen* QtWindow::TargetScreen() const {
  QScreen* s = screen();
  return s ? s : QGuiApplication::primaryScreen();
}

void QtWindow::SetTitle(const std::string& utf8) {
  title_ = utf8;
  // The native title is exactly this: no application display name is set,
  // so Qt appends nothing.
  setWindowTitle(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

TRect QtWindow::Bounds() const {
  if (Embedded()) return ScaleToDevice(geometry(), devicePixelRatioF());
  return DeviceRect(geometry(), TargetScreen());
}

void QtWindow::SetBounds(const TRect& bounds) {
  const TRect before = Bounds();
  if (Embedded()) {
    setGeometry(ScaleToLogical(bounds, devicePixelRatioF()));
  } else {
    QScreen* s = ScreenAtDevice(TPoint{bounds.Left, bounds.Top});
    // Wayland has no positions to tell the screen by: it is said.
    if (OnWayland() && s && s != screen()) setScreen(s);
    const QRect logical = LogicalRect(bounds, s);
    if (border_ == TBorderStyle::Dialog) setFixedSize(logical.size());
    setGeometry(logical);
  }
  const TRect after = Bounds();
  if ((after.Width() != before.Width() || after.Height() != before.Height()) && OnResize)
    OnResize();
}

void QtWindow::CenterOnScreen() {
  QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return;
  const TRect screen = DeviceRect(s->geometry(), s);
  const TRect b = Bounds();
  const int32_t left = screen.Left + (screen.Width() - b.Width()) / 2;
  const int32_t top = screen.Top + (screen.Height() - b.Height()) / 2;
  SetBounds(TRect{left, top, left + b.Width(), top + b.Height()});
}

void QtWindow::ApplyFlags() {
  Qt::WindowFlags flags = Qt::Window;
  if (border_ == TBorderStyle::None) flags |= Qt::FramelessWindowHint;
  if (border_ == TBorderStyle::Dialog)
    flags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (stayOnTop_) flags |= Qt::WindowStaysOnTopHint;
  // A child of a foreign window has no frame of its own; disabled, it lets
  // the pointer through to the window it lives in.
  if (Embedded()) flags = Qt::Window | Qt::FramelessWindowHint;
  if (Embedded() && !enabled_) flags |= Qt::WindowTransparentForInput;
  if (flags != windowFlags()) {
    const bool shown = isVisible();
    // Changing the flags of a native window hides it (and may make it anew);
    // it comes back where and as it was.
    setWindowFlags(flags);
    if (foreign_) {
      winId();
      windowHandle()->setParent(foreign_);
    }
    if (shown) ShowInState();
  }
  if (border_ == TBorderStyle::Dialog && !Embedded()) {
    setFixedSize(size());
  } else {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
}

void QtWindow::SetBorderStyle(TBorderStyle style) {
  border_ = style;
  ApplyFlags();
  if (isVisible() && FullScreen()) ShowInState();
}

void QtWindow::SetStayOnTop(bool onTop) {
  stayOnTop_ = onTop;
  ApplyFlags();
}

void QtWindow::SetWindowState(TWindowState state) {
  state_ = state;
  if (state == TWindowState::Maximized && !Embedded()) {
    // Placed at once, as the window manager would: callers size their
    // controls to the client area before the window shows.
    QScreen* s = TargetScreen();
    if (s) setGeometry(s->geometry());
  }
  if (isVisible()) ShowInState();
}

QScreen* QtWindow::CoveredScreen() const {
  if (!OnWayland() || Embedded() || border_ != TBorderStyle::None) return nullptr;
  if (state_ == TWindowState::Maximized) return TargetScreen();
  for (QScreen* s : QGuiApplication::screens())
    if (geometry() == s->geometry()) return s;
  return nullptr;
}

void QtWindow::ShowInState() {
  if (Embedded()) {
    show();
    return;
  }
  if (QScreen* s = CoveredScreen()) {
    // A Wayland window cannot place itself: the compositor puts a full-screen
    // window on the output it is asked for.
    setScreen(s);
    setGeometry(s->geometry());
    showFullScreen();
    return;
  }
  switch (state_) {
    case TWindowState::Maximized:
      if (QScreen* s = TargetScreen()) {
        // Without a window manager showFullScreen alone leaves the old size.
        setGeometry(border_ == TBorderStyle::None ? s->geometry() : s->availableGeometry());
      }
      if (border_ == TBorderStyle::None)
        showFullScreen();
      else
        showMaximized();
      break;
    case TWindowState::Minimized:
      showMinimized();
      break;
    case TWindowState::Normal:
      showNormal();
      break;
  }
}

void QtWindow::SetColor(TColor32 color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor::fromRgb(color | 0xFF000000u));
  setPalette(p);
  setAutoFillBackground(true);
  update();
}

void QtWindow::SetEnabled(bool enabled) {
  enabled_ = enabled;
  setEnabled(enabled);
  ApplyFlags();
}

void QtWindow::SetParentWindow(TWindowHandle parent) {
  x11::Connection* x = system_.X11();
  // Only an X11 display has foreign windows to live in.
  if (parent == embedder_ || !x) return;
  if (embedder_) {
    x->Unwatch(embedder_);
    embedder_ = 0;
    if (windowHandle()) windowHandle()->setParent(nullptr);
    delete foreign_;
    foreign_ = nullptr;
    ApplyFlags();
  }
  if (!parent) return;
  embedder_ = parent;
  TRect parentRect;
  const bool exists =
      x->Geometry(parent, &parentRect) &&
      x->Watch(parent, [this](const TRect& r) { FollowEmbedder(r); }, [this] { EmbedderGone(); });
  if (!exists) {
    // No such window: as if it had been destroyed already, once the loop runs.
    QMetaObject::invokeMethod(this, [this] { EmbedderGone(); }, Qt::QueuedConnection);
    return;
  }
  // Qt reports a foreign window as 0x0 and never updates it: its size comes
  // from the X server and its changes from the watch.
  foreign_ = QWindow::fromWinId(WId(parent));
  ApplyFlags();
  winId();
  windowHandle()->setParent(foreign_);
  FollowEmbedder(parentRect);
}

void QtWindow::FollowEmbedder(const TRect& parentRect) {
  SetBounds(TRect{0, 0, parentRect.Width(), parentRect.Height()});
}

void QtWindow::EmbedderGone() {
  if (x11::Connection* x = system_.X11()) x->Unwatch(embedder_);
  Close();
  // Ending through the event loop can hang while the native parent is gone;
  // the process ends here.
  std::fflush(nullptr);
  std::exit(0);
}

void QtWindow::Show() {
  if (isVisible()) return;
  if (system_.SkipTaskbar()) system_.ApplySkipTaskbar(*this);
  ShowInState();
  // A dialog takes the keyboard as it opens (without a window manager
  // nobody else would give it).
  if (border_ == TBorderStyle::Dialog && !Embedded()) activateWindow();
  system_.WindowShown(*this);
  if (OnShow) OnShow();
}

void QtWindow::Hide() {
  if (!isVisible()) return;
  hide();
  if (modalLoop_) modalLoop_->quit();
  if (OnHide) OnHide();
}

void QtWindow::Close() {
  if (closing_) return;
  if (OnCloseQuery && !OnCloseQuery()) return;
  closing_ = true;
  if (OnClose) OnClose();
  Hide();
  closing_ = false;
  system_.WindowClosed(*this);
}

void QtWindow::closeEvent(QCloseEvent* event) {
  // The window's close button: the same as Close(), which hides the window itself.
  event->ignore();
  Close();
}

void QtWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange) return;
  const bool active = isActiveWindow();
  if (active == active_) return;
  active_ = active;
  const bool first = active && !everActive_;
  everActive_ = everActive_ || active;
  system_.ActivationChanged(*this, active, first);
}

IPictureControl& QtWindow::AddPicture(const std::string& name, const TRect& bounds,
                                      IControl* parent) {
  return dynamic_cast<IPictureControl&>(AddControl(TControlKind::Picture, name, bounds, parent));
}

IControl& QtWindow::AddPanel(const std::string& name, const TRect& bounds, IControl* parent) {
  return AddControl(TControlKind::Panel, name, bounds, parent);
}

IControl& QtWindow::AddControl(TControlKind kind, const std::string& name, const TRect& bounds,
                               IControl* parent) {
  IControl* c = nullptr;
  switch (kind) {
    case TControlKind::Panel: c = new QtPanel(*this, name, parent); break;
    case TControlKind::Picture: c = new QtPicture(*this, name, parent); break;
    case TControlKind::Label: c = new QtLabel(*this, name, parent); break;
    case TControlKind::Button: c = new QtButton(*this, name, parent); break;
    case TControlKind::CheckBox: c = new QtCheckBox(*this, name, parent); break;
    case TControlKind::RadioButton: c = new QtRadioButton(*this, name, parent); break;
    case TControlKind::GroupBox: c = new QtGroupBox(*this, name, parent); break;
    case TControlKind::SpinEdit: c = new QtSpinEdit(*this, name, parent); break;
    case TControlKind::CheckListBox: c = new QtCheckListBox(*this, name, parent); break;
    case TControlKind::TrackBar: c = new QtTrackBar(*this, name, parent); break;
    case TControlKind::PageControl: c = new QtPageControl(*this, name, parent); break;
    case TControlKind::TabSheet: c = new QtTabSheet(*this, name, parent); break;
  }
  c->SetBounds(bounds);
  controls_.push_back(c);
  return *c;
}

void QtWindow::SetFont(const TFontSpec& font) { setFont(ResolveFont(font)); }

void QtWindow::SetRoleButton(bool cancel, QtButton* button, bool on) {
  QPointer<QtButton>& role = cancel ? cancel_ : default_;
  if (on)
    role = button;
  else if (role == button)
    role = nullptr;
}

void QtWindow::keyPressEvent(QKeyEvent* event) {
  // Keys no control took: Enter presses the default button, Esc the cancel button.
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  QtButton* target = nullptr;
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier)
    target = default_;
  else if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier)
    target = cancel_;
  if (target && target->isVisible() && target->isEnabled()) {
    event->accept();
    target->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void QtWindow::ShowModal() {
  if (isVisible()) return;
  setWindowModality(Qt::ApplicationModal);
  Show();
  if (isVisible()) {
    QEventLoop loop;
    modalLoop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    modalLoop_ = nullptr;
  }
  setWindowModality(Qt::NonModal);
}

}  // namespace saver::qt
