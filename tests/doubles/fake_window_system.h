#pragma once
// Test doubles of the window system: windows, controls and timers in memory,
// a desktop of other programs' windows to find, and a record of every
// system-wide change. Timers run on the process clock (a ManualClock in
// tests) and fire only when the test asks (FireNextTimer).
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "doubles/fake_controls.h"
#include "platform/window_system.h"

namespace saver {

class FakeWindowSystem;

class FakeWindow final : public IWindow {
 public:
  FakeWindow(FakeWindowSystem& system, TWindowHandle handle);
  ~FakeWindow() override;

  TWindowHandle Handle() override { return handle_; }
  void SetTitle(const std::string& utf8) override { title_ = utf8; }
  std::string Title() const override { return title_; }
  TRect Bounds() const override { return bounds_; }
  void SetBounds(const TRect& bounds) override;
  void CenterOnScreen() override;
  void SetBorderStyle(TBorderStyle style) override { borderStyle = style; }
  void SetWindowState(TWindowState state) override;
  TWindowState WindowState() const override { return state_; }
  void SetStayOnTop(bool onTop) override { stayOnTop = onTop; }
  void SetColor(TColor32 c) override { color = c; }
  TColor32 Color() const override { return color; }
  void SetEnabled(bool enabled) override { this->enabled = enabled; }
  void SetParentWindow(TWindowHandle parent) override;
  void Show() override;
  void Hide() override;
  bool Visible() const override { return visible_; }
  void Close() override;

  IPictureControl& AddPicture(const std::string& name, const TRect& bounds,
                              IControl* parent) override;
  IControl& AddPanel(const std::string& name, const TRect& bounds, IControl* parent) override;
  IControl& AddControl(TControlKind kind, const std::string& name, const TRect& bounds,
                       IControl* parent) override;
  std::vector<IControl*> Controls() override;
  IControl* Find(const std::string& name);
  template <class T>
  T& Get(const std::string& name) {
    return dynamic_cast<T&>(*Find(name));
  }
  void SetFont(const TFontSpec& f) override { font = f; }
  double LayoutScale() const override { return layoutScale; }
  // Shows the window and runs OnModal, then returns: a test that wants the
  // window closed again closes it in OnModal.
  void ShowModal() override;
  // The default (Return) or cancel (Escape) button the backend presses for
  // that key: the last one made so, when it is reachable; nullptr otherwise.
  FakeButton* RoleButton(uint64_t key);
  void SetRoleButton(bool cancel, FakeButton* button, bool on);

  std::function<void()> OnModal;
  TFontSpec font;
  double layoutScale = 1.0;
  int modalShows = 0;

  TBorderStyle borderStyle = TBorderStyle::Sizeable;
  bool stayOnTop = false;
  bool enabled = true;
  bool closed = false;
  TColor32 color = Color32(240, 240, 240);
  TWindowHandle parent = 0;
  int showCount = 0;

 private:
  FakeWindowSystem& system_;
  TWindowHandle handle_;
  std::string title_;
  TRect bounds_{0, 0, 200, 150};
  TWindowState state_ = TWindowState::Normal;
  bool visible_ = false;
  // Before the controls: a button going away clears its role here.
  FakeButton *default_ = nullptr, *cancel_ = nullptr;
  std::vector<std::unique_ptr<IControl>> controls_;
};

class FakeTimer final : public ITimer {
 public:
  explicit FakeTimer(FakeWindowSystem& system);
  ~FakeTimer() override;
  void SetInterval(uint32_t milliseconds) override;
  uint32_t Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  uint32_t Due() const { return due_; }  // clock tick of the next OnTimer

 private:
  friend class FakeWindowSystem;
  void Rearm();

  FakeWindowSystem& system_;
  uint32_t interval_ = 1000;
  bool enabled_ = false;
  uint32_t due_ = 0;
};

class FakeWindowSystem final : public IWindowSystem {
 public:
  // The clock that timers run on; the test advances it.
  explicit FakeWindowSystem(ManualClock& clock) : clock_(clock) {}

  std::unique_ptr<IWindow> CreateWindow() override;
  std::unique_ptr<ITimer> CreateTimer() override;
  std::vector<TRect> Monitors() override { return monitors; }
  // Its own windows where they are; others' where screenRects says.
  TRect WindowScreenRect(TWindowHandle window) override;
  int32_t ShowCursor(bool show) override;
  std::optional<TPoint> CursorPos() override { return cursorPos; }
  TWindowHandle FindWindow(const std::string& utf8Title) override;
  void ShowWindow(TWindowHandle window, bool show) override;
  void EnableWindow(TWindowHandle window, bool enable) override;
  void SetForegroundWindow(TWindowHandle window) override;
  TWindowHandle ForegroundWindow() override { return foreground; }
  void SetScreenSaverRunning(bool running) override;
  void SetApplicationExStyle(uint32_t exStyle) override;
  void SetApplicationIcon(const TBitmap32& icon) override { appIcon = icon; }
  void SetApplicationTitle(const std::string& utf8) override { appTitle = utf8; }
  std::string ApplicationTitle() const override { return appTitle; }
  void Run(IWindow& main) override;

  // Another program's top-level window: the calls by title and by handle
  // leave it alone, as they do on a real display.
  struct OtherWindow {
    std::string title;
    bool visible = true, enabled = true;
    TRect rect;  // where it is in its parent; empty: its size is not known
  };
  // Whether the saver holds the keyboard and the pointer: from
  // SetScreenSaverRunning(true) on, as soon as no other client holds them.
  bool InputHeld() const { return screenSaverRunning && !otherClientHoldsInput; }
  TWindowHandle AddOtherWindow(const std::string& title, const TRect& rect = {});
  // Another program resizes its window: our windows inside it follow.
  void ResizeOtherWindow(TWindowHandle window, int32_t width, int32_t height);

  // Delivers m to window through the filter and its procedure; a key down
  // of Return or Escape then presses the window's default or cancel button,
  // as the desktop's own key handling does.
  void Send(IWindow& window, TMessage m);
  // Moves the clock to the earliest due enabled timer and runs it. False
  // when no timer is enabled.
  bool FireNextTimer();
  // The enabled timer that fires next, or nullptr.
  FakeTimer* NextTimer();
  ManualClock& Clock() { return clock_; }
  // Monitors plugged in, removed or moved: the new list, then OnMonitorsChanged.
  void ChangeMonitors(std::vector<TRect> now);
  std::vector<FakeWindow*> Windows() const { return windows_; }

  std::vector<TRect> monitors{TRect{0, 0, 800, 600}};
  std::map<TWindowHandle, TRect> screenRects;  // other programs' windows on the screen
  double layoutScale = 1.0;  // the LayoutScale of windows made from now on
  int32_t cursorCount = 0;
  std::optional<TPoint> cursorPos = TPoint{};
  std::map<TWindowHandle, OtherWindow> others;
  TWindowHandle foreground = 0;
  bool screenSaverRunning = false;
  bool otherClientHoldsInput = false;  // another client's keyboard and pointer grab
  uint32_t appExStyle = 0;
  std::string appTitle;
  TBitmap32 appIcon;
  int runs = 0;
  // Every system-wide call, in order, for tests of sequences
  // ("ShowCursor 0", "EnableWindow 5 1", "ScreenSaverRunning 1", ...).
  std::vector<std::string> calls;

 private:
  friend class FakeWindow;
  friend class FakeTimer;
  // One of our top-level windows by handle; nullptr for anyone else's.
  FakeWindow* OwnWindow(TWindowHandle handle) const;

  ManualClock& clock_;
  TWindowHandle nextHandle_ = 0x1000;
  std::vector<FakeWindow*> windows_;
  std::vector<FakeTimer*> timers_;
};

}  // namespace saver
