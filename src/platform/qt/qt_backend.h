#pragma once
// The Qt side of the desktop backend, shared by its files: the window
// system, windows, controls and the conversions between Qt's logical
// coordinates and device pixels. Everything the rest of the saver sees of it
// is in platform/desktop.h and the platform interfaces.
#include <QGuiApplication>
#include <QImage>
#include <QPalette>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/window_system.h"
#include "platform/x11/x11_desktop.h"

class QEventLoop;
class QScreen;
class QSocketNotifier;
class QWindow;

namespace saver::qt {

// Qt places a screen's logical geometry at its native origin with its size
// divided by the device pixel ratio; device pixels scale the distance from
// that origin. Window system coordinates are device pixels throughout.
TRect DeviceRect(const QRect& logical, const QScreen* screen);
QRect LogicalRect(const TRect& device, const QScreen* screen);
// Within a window: plain scaling by the ratio (logical rectangles grow to
// cover every device pixel of the rectangle).
TRect ScaleToDevice(const QRect& logical, qreal ratio);
QRect ScaleToLogical(const TRect& device, qreal ratio);
// Whether the application runs on one of Qt's Wayland platforms.
bool OnWayland();
// The screen whose device rectangle holds the point; the primary one when none does.
QScreen* ScreenAtDevice(TPoint device);

class QtWindowSystem;
class QtWindow;
class QtButton;

// A control: a widget of type Widget inside a window. Bounds are device
// pixels relative to the parent control (the window's client area for a
// control without one). The member definitions follow QtWindow below.
template <class Widget, class Interface>
class QtControl : public Widget, public Interface {
 public:
  QtControl(QtWindow& window, std::string name, TControlKind kind, IControl* parent);
  const std::string& Name() const override { return name_; }
  TControlKind Kind() const override { return kind_; }
  IControl* Parent() const override { return parent_; }
  TRect Bounds() const override { return bounds_; }
  void SetBounds(const TRect& bounds) override;
  bool Visible() const override { return !this->isHidden(); }
  void SetVisible(bool visible) override { this->setVisible(visible); }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override;
  void BringToFront() override { this->raise(); }
  void SetColor(TColor32 color) override;
  // What was asked of the window so far (made, placed, shown) reaches the
  // server first: another client drawing into it finds it as it is.
  TWindowHandle Handle() override {
    const TWindowHandle handle = TWindowHandle(this->winId());
    QGuiApplication::sync();
    return handle;
  }
  void SetCursor(TCursor cursor) override;
  TCursor Cursor() const override { return cursor_; }

 protected:
  qreal Ratio() const;
  virtual void BoundsChanged() {}
  // Runs OnClick (a copy: the handler may replace itself).
  void Clicked() {
    if (auto handler = this->OnClick) handler();
  }
  // For controls whose size follows their content.
  void SetBoundsQuietly(const TRect& bounds) { bounds_ = bounds; }

  QtWindow& window_;
  TColor32 color_ = 0xFF000000u;

 private:
  std::string name_;
  TControlKind kind_;
  IControl* parent_;
  TRect bounds_;
  bool enabled_ = true;
  TCursor cursor_ = TCursor::Default;
};

template <class Interface>
using ControlWidget = QtControl<QWidget, Interface>;

// A panel is filled with the window's colour; a lowered bevel draws a
// one-pixel frame, dark at the top and left, light at the bottom and right.
class QtPanel final : public ControlWidget<IPanel> {
 public:
  QtPanel(QtWindow& window, std::string name, IControl* parent);
  void SetBevel(TBevel bevel) override;
  TBevel Bevel() const override { return bevel_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TBevel bevel_ = TBevel::None;
};

class QtPicture;

// What a picture control shows: an image in memory of the control's size
// that is also where the screen is painted from. StretchFrom draws into it
// and marks the rectangle; Invalidate puts exactly what was marked on screen.
//
// On an X11 display the image lives in memory shared with the X server and
// the control's own native window is filled from there, past Qt's backing
// store: a frame costs the server's copy and nothing more on our side, and
// whole frames alternate between two images so that the server's copy of
// one overlaps the writing of the next.
// Elsewhere (offscreen, or a server that cannot share memory) it is a
// bitmap that the widget paints through Qt.
class PictureSurface final : public ISurface {
 public:
  explicit PictureSurface(QtPicture& owner) : owner_(owner) {}
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void StretchFrom(const TBitmap32& src, const TRect& srcRect, const TRect& dstRect) override;
  void CopyTo(TBitmap32& dst, const TRect& rect) const override;
  void Invalidate() override;

  // Makes the image the X server reads from; false when it cannot share memory.
  bool UseShared(x11::Connection& connection);
  bool Shared() const { return connection_ != nullptr; }
  void Resize(int32_t width, int32_t height);
  // Copies src from the corner, as it is (draw mode ignored), and marks it.
  void CopyIn(const TBitmap32& src);
  // Marks a rectangle as changed; it reaches the screen at Invalidate, or
  // at the next turn of the event loop at the latest.
  void Mark(const TRect& rect);
  // Puts device rectangle r on screen from the image (exposes of the shared image).
  void Expose(const TRect& r);
  // The bitmap store (empty with the shared image).
  const QImage& Image() const { return image_; }

 private:
  TRect BoundsRect() const { return TRect{0, 0, width_, height_}; }
  // Copies rows of a bitmap into the shared image at dst (clipped).
  void WriteRows(const TBitmap32& src, const TRect& srcRect, TPoint dst);

  QtPicture& owner_;
  x11::Connection* connection_ = nullptr;
  // What is shown, and a second image made when a whole frame comes while
  // the server still reads the first: the frame goes there, the two swap.
  std::unique_ptr<x11::SharedImage> shared_, spare_;
  TBitmap32 shown_;  // the bitmap store
  QImage image_;     // shown_'s pixels, not a copy
  int32_t width_ = 0, height_ = 0;
  TRect dirty_;
  bool flushQueued_ = false;
};

class QtPicture final : public ControlWidget<IPictureControl> {
 public:
  QtPicture(QtWindow& window, std::string name, IControl* parent);
  TBitmap32& Buffer() override { return buffer_; }
  ISurface& Surface() override { return surface_; }
  void Repaint() override;
  // Native painting with the shared image: Qt paints nothing of its own here.
  QPaintEngine* paintEngine() const override;

 protected:
  void BoundsChanged() override;
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  TBitmap32 buffer_;
  PictureSurface surface_;
};

class QtWindow final : public QWidget, public IWindow {
 public:
  explicit QtWindow(QtWindowSystem& system);
  ~QtWindow() override;

  TWindowHandle Handle() override { return TWindowHandle(winId()); }
  void SetTitle(const std::string& utf8) override;
  std::string Title() const override { return title_; }
  TRect Bounds() const override;
  void SetBounds(const TRect& bounds) override;
  void CenterOnScreen() override;
  void SetBorderStyle(TBorderStyle style) override;
  void SetWindowState(TWindowState state) override;
  TWindowState WindowState() const override { return state_; }
  void SetStayOnTop(bool onTop) override;
  void SetColor(TColor32 color) override;
  TColor32 Color() const override { return palette().color(QPalette::Window).rgb(); }
  void SetEnabled(bool enabled) override;
  void SetParentWindow(TWindowHandle parent) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override { return isVisible(); }
  void Close() override;
  IPictureControl& AddPicture(const std::string& name, const TRect& bounds,
                              IControl* parent) override;
  IControl& AddPanel(const std::string& name, const TRect& bounds, IControl* parent) override;
  IControl& AddControl(TControlKind kind, const std::string& name, const TRect& bounds,
                       IControl* parent) override;
  std::vector<IControl*> Controls() override { return controls_; }
  void SetFont(const TFontSpec& font) override;
  double LayoutScale() const override { return Ratio(); }
  void ShowModal() override;

  // The buttons Enter and Esc press (the last one set; nullptr: none).
  void SetRoleButton(bool cancel, QtButton* button, bool on);
  // Hides a window shown modally, so that its ShowModal returns.
  void EndModal() {
    if (modalLoop_) Hide();
  }

  QtWindowSystem& System() { return system_; }
  bool InputEnabled() const { return enabled_; }
  bool Embedded() const { return embedder_ != 0; }
  // The full-screen saver window: maximized without a border.
  bool FullScreen() const {
    return state_ == TWindowState::Maximized && border_ == TBorderStyle::None && !Embedded();
  }
  qreal Ratio() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyFlags();
  void ShowInState();
  void FollowEmbedder(const TRect& parentRect);
  void EmbedderGone();
  QScreen* TargetScreen() const;
  // On Wayland: the screen a window without a border is full screen on
  // (maximized, or the size of a monitor); nullptr for any other window.
  QScreen* CoveredScreen() const;

  QtWindowSystem& system_;
  std::string title_;
  TBorderStyle border_ = TBorderStyle::Sizeable;
  TWindowState state_ = TWindowState::Normal;
  bool stayOnTop_ = false;
  bool enabled_ = true;
  bool closing_ = false;
  bool active_ = false, everActive_ = false;
  TWindowHandle embedder_ = 0;
  QWindow* foreign_ = nullptr;
  std::vector<IControl*> controls_;  // child widgets: Qt deletes them with the window
  QPointer<QtButton> default_, cancel_;
  QEventLoop* modalLoop_ = nullptr;
};

template <class Widget, class Interface>
QtControl<Widget, Interface>::QtControl(QtWindow& window, std::string name, TControlKind kind,
                                        IControl* parent)
    : Widget(parent ? dynamic_cast<QWidget*>(parent) : &window),
      window_(window),
      name_(std::move(name)),
      kind_(kind),
      parent_(parent) {
  this->setObjectName(QString::fromStdString(name_));
  // Child widgets of a window that is already on screen stay hidden until shown.
  this->show();
}

template <class Widget, class Interface>
qreal QtControl<Widget, Interface>::Ratio() const {
  return window_.Ratio();
}

template <class Widget, class Interface>
void QtControl<Widget, Interface>::SetBounds(const TRect& bounds) {
  bounds_ = bounds;
  this->setGeometry(ScaleToLogical(bounds, Ratio()));
  BoundsChanged();
}

template <class Widget, class Interface>
void QtControl<Widget, Interface>::SetEnabled(bool enabled) {
  enabled_ = enabled;
  this->setEnabled(enabled);
}

template <class Widget, class Interface>
void QtControl<Widget, Interface>::SetColor(TColor32 color) {
  color_ = color | 0xFF000000u;
  QPalette p = this->palette();
  p.setColor(QPalette::Window, QColor::fromRgb(color_));
  this->setPalette(p);
  this->setAutoFillBackground(true);
  this->update();
}

template <class Widget, class Interface>
void QtControl<Widget, Interface>::SetCursor(TCursor cursor) {
  cursor_ = cursor;
  if (cursor == TCursor::HandPoint)
    this->setCursor(Qt::PointingHandCursor);
  else
    this->unsetCursor();
}

class QtTimer final : public ITimer {
 public:
  QtTimer();
  void SetInterval(uint32_t milliseconds) override;
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }

 private:
  QTimer timer_;
  uint32_t interval_ = 1000;
  bool enabled_ = false;
};

class QtWindowSystem final : public QObject, public IWindowSystem {
 public:
  QtWindowSystem();
  ~QtWindowSystem() override;

  // Gives the window system its X11 side: a private connection and the
  // toolkit's Display* (for input grabs). Without it, X11-only features do nothing.
  void AttachX11(std::unique_ptr<x11::Connection> connection, void* toolkitDisplay);
  x11::Connection* X11() { return x11_.get(); }

  std::unique_ptr<IWindow> CreateWindow() override;
  std::unique_ptr<ITimer> CreateTimer() override;
  std::vector<TRect> Monitors() override;
  TRect WindowScreenRect(TWindowHandle window) override;
  int32_t ShowCursor(bool show) override;
  std::optional<TPoint> CursorPos() override;
  TWindowHandle FindWindow(const std::string& utf8Title) override;
  void ShowWindow(TWindowHandle window, bool show) override;
  void EnableWindow(TWindowHandle window, bool enable) override;
  void SetForegroundWindow(TWindowHandle window) override;
  TWindowHandle ForegroundWindow() override;
  void SetScreenSaverRunning(bool running) override;
  void SetApplicationExStyle(uint32_t exStyle) override;
  void SetApplicationIcon(const TBitmap32& icon) override;
  void SetApplicationTitle(const std::string& utf8) override { appTitle_ = utf8; }
  std::string ApplicationTitle() const override { return appTitle_; }
  void Run(IWindow& main) override;

  // The screen the main window is on (the primary one when there is none).
  QScreen* MainScreen() const;
  void QuitRun();

  // Called by the windows.
  void WindowCreated(QtWindow* w) { windows_.push_back(w); }
  void WindowDestroyed(QtWindow* w);
  void WindowShown(QtWindow& w);
  void WindowClosed(QtWindow& w);
  // Activation of one of our windows; sends the activation records.
  void ActivationChanged(QtWindow& w, bool active, bool first);
  bool SkipTaskbar() const { return (exStyle_ & kWsExToolWindow) != 0; }
  void ApplySkipTaskbar(QtWindow& w);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QtWindow* WindowOf(QObject* qtWindow) const;
  // One of our top-level windows by its native handle; nullptr for anyone else's.
  QtWindow* OwnWindow(TWindowHandle handle) const;
  void TryGrab();
  void ReleaseGrab();
  void WatchScreen(QScreen* screen);
  void MonitorsChanged();
  uint32_t VirtualKeyOf(const class QKeyEvent& e);
  // Whether a key press repeats a key that is held: the server reports a
  // held key as more presses, which Qt does not mark.
  bool RepeatsHeldKey(const class QKeyEvent& e);

  std::vector<QtWindow*> windows_;
  std::unique_ptr<x11::Connection> x11_;
  void* toolkitDisplay_ = nullptr;
  QSocketNotifier* x11Notifier_ = nullptr;
  int32_t cursorCount_ = 0;
  uint32_t exStyle_ = 0;
  std::string appTitle_;
  QPointer<QtWindow> main_;
  QEventLoop* runLoop_ = nullptr;
  bool mainClosed_ = false;
  bool appActive_ = false;
  std::set<uint64_t> keysHeld_;  // native key codes (Qt's key codes without them)
  // Where the pointer was last seen over one of our windows, for displays
  // that do not say where it is (Wayland).
  std::optional<TPoint> pointerSeen_;
  // The screen-saver-running grab: wanted, what is held, and the window it is for.
  bool grabWanted_ = false, keyboardHeld_ = false, pointerHeld_ = false;
  QPointer<QtWindow> grabWindow_;
  QTimer grabRetry_;
  bool monitorsQueued_ = false;
};

// The process's Qt window system (made on first use; needs the application).
QtWindowSystem& QtSystem();

// Whether one of Qt's platform plugins answers to name ("wayland"), in the
// folders Qt looks in; asked before the application object exists, which
// Qt would end at once when the plugin is missing.
bool PlatformPluginInstalled(const std::string& name);

// Virtual-key code of a Qt key event; keySymbol gives the unshifted key
// symbol of a native key code when the display offers one (0 otherwise).
uint32_t TranslateKey(int qtKey, bool keypad, uint32_t nativeScanCode,
                      uint32_t (*keySymbol)(void* context, uint32_t keycode), void* context);

}  // namespace saver::qt
