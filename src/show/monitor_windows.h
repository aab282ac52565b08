#pragma once
// The show's window on each monitor: the main window on the primary one and
// a borderless window of its own on every other, in the order the window
// system lists the monitors. Pictures go to the windows in turn, the main
// one first. The windows follow the monitors as they are plugged in,
// removed or moved.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/rect.h"
#include "platform/window.h"

namespace saver {

struct TMonitorWindow {
  IWindow* Window = nullptr;
  IPictureControl* Image = nullptr;  // fills the window
  int32_t Picture = -1;              // the picture item it shows; -1: none
  std::unique_ptr<IWindow> Own;      // the window, unless it is the main one
};

class TMonitorWindows {
 public:
  // main covers the primary monitor already; image fills it.
  TMonitorWindows(IWindow& main, IPictureControl& image);

  size_t Count() const { return windows_.size(); }
  TMonitorWindow& operator[](size_t i) { return windows_[i]; }

  // The window the next picture goes to, and the step that gives it one.
  size_t Next() const { return last_ + 1 < windows_.size() ? last_ + 1 : 0; }
  void Advance() { last_ = Next(); }

  struct TChange {
    // Windows made or moved that need a picture at their size (new ones
    // show current; a moved main window keeps its own).
    std::vector<size_t> Placed;
    // The busy window (a transition paints it) stays until asked again.
    bool Deferred = false;
  };
  // Follows monitors (index 0 the primary one): the windows of monitors
  // still there stay as they are, each new monitor gets a window, and those
  // of monitors gone are closed. The turn goes on from the window that got
  // the last picture, or from the one before it when that window went.
  TChange Follow(const std::vector<TRect>& monitors, int32_t current, const IWindow* busy);

  // Hides the windows of their own (the show is closing).
  void HideOwn();

 private:
  std::unique_ptr<IWindow> MakeWindow(const TRect& bounds);

  std::vector<TMonitorWindow> windows_;
  size_t last_;  // the window that got the last picture
};

}  // namespace saver
