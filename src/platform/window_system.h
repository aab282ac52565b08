#pragma once
// The window system: makes windows and timers, and offers what the saver
// needs of the desktop as a whole (monitors, the mouse cursor, its own
// top-level windows, the screen-saver-running state, the application's
// title and its message filter and loop).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/rect.h"
#include "platform/message.h"
#include "platform/window.h"

namespace saver {

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;

  virtual std::unique_ptr<IWindow> CreateWindow() = 0;
  virtual std::unique_ptr<ITimer> CreateTimer() = 0;

  // Every monitor in screen coordinates; index 0 is the primary one.
  virtual std::vector<TRect> Monitors() = 0;
  // Runs on the UI thread once monitors were added, removed or moved (one
  // call for a burst of changes); Monitors() then gives the new list.
  std::function<void()> OnMonitorsChanged;
  // Where a native window (this program's or another's) is on the screen;
  // empty when the handle names no window.
  virtual TRect WindowScreenRect(TWindowHandle window) = 0;

  // The cursor display counter: show adds one, hide takes one away; the
  // cursor is blank over the application's windows while the count is
  // below 0. Returns the new count.
  virtual int32_t ShowCursor(bool show) = 0;
  // Where the pointer is, in screen coordinates; none while the display
  // cannot say (Wayland tells a program only where the pointer is over its
  // own windows, and only once it has been there).
  virtual std::optional<TPoint> CursorPos() = 0;

  // This process's own top-level windows, by title and by handle. Other
  // programs' windows are never found nor changed (an X server shows every
  // client everyone's windows, and a saver must leave them as they are); a
  // handle that names none of ours makes these do nothing.
  virtual TWindowHandle FindWindow(const std::string& utf8Title) = 0;  // exact title; 0: none
  virtual void ShowWindow(TWindowHandle window, bool show) = 0;
  virtual void EnableWindow(TWindowHandle window, bool enable) = 0;
  virtual void SetForegroundWindow(TWindowHandle window) = 0;
  // The active window, whoever's it is; 0 when none.
  virtual TWindowHandle ForegroundWindow() = 0;

  // While set, the desktop's own shortcuts cannot switch away from the
  // full-screen saver: the keyboard and pointer belong to it. When another
  // program holds them, they are taken as soon as it lets go.
  virtual void SetScreenSaverRunning(bool running) = 0;

  // The extended style of the application's own hidden window; the tool
  // window bit (0x80) keeps the program off the task bar.
  virtual void SetApplicationExStyle(uint32_t exStyle) = 0;

  // The picture the desktop shows for the application's windows (title bar,
  // task bar), in 32 bits with alpha.
  virtual void SetApplicationIcon(const TBitmap32& icon) = 0;

  // The application's title: the caption of its message boxes.
  virtual void SetApplicationTitle(const std::string& utf8) = 0;
  virtual std::string ApplicationTitle() const = 0;

  // Runs the message loop: shows main (unless a terminate request came
  // first), then dispatches until main has closed or UiThread() is told to
  // terminate.
  virtual void Run(IWindow& main) = 0;

  // The application-wide message filter: sees every input message the loop
  // takes from its queue, before the window it is for. Empty: none.
  void SetMessageFilter(TWindowProc filter) { filter_ = std::move(filter); }
  bool HasMessageFilter() const { return bool(filter_); }

  // Delivers an input message: the filter first, then the window's procedure.
  void Dispatch(IWindow& window, TMessage& m) {
    if (filter_) {
      TWindowProc filter = filter_;  // the filter may remove itself
      filter(m);
    }
    window.Perform(m);
  }

 private:
  TWindowProc filter_;
};

constexpr uint32_t kWsExTopmost = 0x08;
constexpr uint32_t kWsExToolWindow = 0x80;

// The process's window system: the desktop's once the backend has started,
// or whatever a test set.
IWindowSystem& WindowSystem();
void SetWindowSystem(IWindowSystem* system);

}  // namespace saver
