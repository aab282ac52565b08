#pragma once
// Windows and the controls on them, as the saver's forms use them. The
// desktop backend makes them real top-level windows and child widgets; the
// test doubles (tests/doubles) keep them in memory.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/bitmap32.h"
#include "graphics/rect.h"
#include "platform/message.h"
#include "platform/surface.h"

namespace saver {

enum class TControlKind {
  Panel,
  Picture,
  // The dialog controls of platform/controls.h.
  Label,
  Button,
  CheckBox,
  RadioButton,
  GroupBox,
  SpinEdit,
  CheckListBox,
  TrackBar,
  PageControl,
  TabSheet,
};

// The mouse cursor over a control.
enum class TCursor { Default, HandPoint };

// A font by family and character height in pixels of a 96-dpi layout; the
// backend scales it with the window's layout scale and falls back to a face
// of the same metrics, or a plain sans serif, when the family is missing.
struct TFontSpec {
  std::string family;
  int32_t pixelHeight = 0;
  bool bold = false;
};

// A child of a window: a panel, a picture or a dialog control. Bounds are
// relative to the parent control (the window's client area for a control
// without one); a control shows only inside its parent and while every
// control above it is visible.
class IControl {
 public:
  virtual ~IControl() = default;
  virtual const std::string& Name() const = 0;
  virtual TControlKind Kind() const = 0;
  virtual IControl* Parent() const = 0;  // nullptr: the window itself
  virtual TRect Bounds() const = 0;
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual bool Visible() const = 0;
  virtual void SetVisible(bool visible) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual void BringToFront() = 0;
  virtual void SetColor(TColor32 color) = 0;
  // The control's own native window (video output draws into it), made
  // when first asked; what was asked of it so far (placed, shown) reaches
  // the window system before this returns, so that another program drawing
  // into it finds it as it is.
  virtual TWindowHandle Handle() = 0;
  virtual void SetCursor(TCursor cursor) = 0;
  virtual TCursor Cursor() const = 0;

  // The user clicked the control. What counts as a click is the kind's own
  // (platform/controls.h); for panels and pictures it is the primary mouse
  // button released over them. Changes made by the program never run it.
  std::function<void()> OnClick;
};

// A picture control: a 32-bit picture (Buffer) and the surface it shows on
// screen. Changing Buffer shows nothing until Repaint; a transition paints
// the surface frame by frame while Buffer already holds the next picture.
class IPictureControl : public IControl {
 public:
  static constexpr TControlKind kKind = TControlKind::Picture;
  virtual TBitmap32& Buffer() = 0;
  // What the control shows: reads give the pixels on screen, writes show
  // at once. As large as the control.
  virtual ISurface& Surface() = 0;
  // Shows Buffer at once, from the control's top-left corner.
  virtual void Repaint() = 0;
};

enum class TBorderStyle { Sizeable, None, Dialog };
enum class TWindowState { Normal, Minimized, Maximized };

// A message handler: a window procedure or the application-wide filter.
using TWindowProc = std::function<void(TMessage&)>;

// A top-level window (a form). Its message procedure can be replaced: every
// message for the window goes through Perform, which calls the procedure in
// place; a hook keeps the one it replaced and calls it for what it passes on.
class IWindow {
 public:
  virtual ~IWindow() = default;

  virtual TWindowHandle Handle() = 0;  // the native window; made when first asked
  virtual void SetTitle(const std::string& utf8) = 0;
  virtual std::string Title() const = 0;
  // The client area in screen coordinates (in the parent's, when embedded).
  virtual TRect Bounds() const = 0;
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual void CenterOnScreen() = 0;  // keeps the size, centres on the primary screen
  virtual void SetBorderStyle(TBorderStyle style) = 0;
  virtual void SetWindowState(TWindowState state) = 0;  // Maximized: the whole screen
  virtual TWindowState WindowState() const = 0;
  virtual void SetStayOnTop(bool onTop) = 0;
  virtual void SetColor(TColor32 color) = 0;
  // The colour the window's background and panels are filled with.
  virtual TColor32 Color() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  // Makes the window a child of a foreign native window, at its top-left
  // corner and at its size, following its resizes (OnResize); 0 makes it
  // top-level again.
  virtual void SetParentWindow(TWindowHandle parent) = 0;
  virtual void Show() = 0;  // runs OnShow
  virtual void Hide() = 0;  // runs OnHide
  virtual bool Visible() const = 0;
  // Asks OnCloseQuery, then runs OnClose and hides the window. The message
  // loop ends when the main window has closed.
  virtual void Close() = 0;

  // Controls owned by the window, in the order they were made.
  virtual IPictureControl& AddPicture(const std::string& name, const TRect& bounds,
                                      IControl* parent = nullptr) = 0;
  virtual IControl& AddPanel(const std::string& name, const TRect& bounds,
                             IControl* parent = nullptr) = 0;
  // A control of any kind, in its kind's initial state (platform/controls.h
  // has typed helpers). A tab sheet's parent is its page control.
  virtual IControl& AddControl(TControlKind kind, const std::string& name, const TRect& bounds,
                               IControl* parent = nullptr) = 0;
  virtual std::vector<IControl*> Controls() = 0;

  // The font of the window's controls.
  virtual void SetFont(const TFontSpec& font) = 0;
  // Device pixels per pixel of a 96-dpi layout (the screen's device pixel
  // ratio): a layout drawn at that size multiplies its bounds by it.
  virtual double LayoutScale() const = 0;
  // Shows the window and returns once it has closed; until then the
  // application's other windows take no input.
  virtual void ShowModal() = 0;

  std::function<void()> OnShow, OnHide, OnClose;
  // Asked before every close (Close, the window's close button): false keeps
  // the window open as it is.
  std::function<bool()> OnCloseQuery;
  // Runs when the window's size has changed (a new size set, or the foreign
  // window it lives in resized).
  std::function<void()> OnResize;

  TWindowProc WindowProc() const { return proc_; }
  void SetWindowProc(TWindowProc proc) { proc_ = std::move(proc); }
  void Perform(TMessage& m) {
    if (proc_) proc_(m);
  }

 private:
  // The default procedure handles nothing: the backend's own event handling
  // runs beside it.
  TWindowProc proc_ = [](TMessage& m) { m.Result = 0; };
};

// A window timer: while enabled it runs OnTimer every Interval
// milliseconds, counted from when it was enabled or its interval changed.
class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual void SetInterval(uint32_t milliseconds) = 0;
  virtual uint32_t Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;

  std::function<void()> OnTimer;
};

}  // namespace saver
