#include "show/monitor_windows.h"

#include "platform/window_system.h"

namespace saver {

namespace {

constexpr size_t kNone = SIZE_MAX;  // no picture yet: the next is the main window's

TRect ClientOf(const TRect& bounds) { return TRect{0, 0, bounds.Width(), bounds.Height()}; }

}  // namespace

TMonitorWindows::TMonitorWindows(IWindow& main, IPictureControl& image) : last_(kNone) {
  windows_.push_back(TMonitorWindow{.Window = &main, .Image = &image});
}

std::unique_ptr<IWindow> TMonitorWindows::MakeWindow(const TRect& bounds) {
  std::unique_ptr<IWindow> w = WindowSystem().CreateWindow();
  IWindow& main = *windows_[0].Window;
  w->SetTitle(main.Title());
  w->SetColor(main.Color());
  w->SetBorderStyle(TBorderStyle::None);
  // Like the main window, it stays above the desktop's panels.
  w->SetStayOnTop(true);
  // Exactly on the monitor (on Wayland: full screen on it).
  w->SetBounds(bounds);
  return w;
}

TMonitorWindows::TChange TMonitorWindows::Follow(const std::vector<TRect>& monitors,
                                                 int32_t current, const IWindow* busy) {
  TChange change;
  if (monitors.empty()) return change;  // no screen at all for a moment: wait for one
  std::vector<TMonitorWindow> old = std::move(windows_);
  std::vector<size_t> newIndex(old.size(), kNone);
  windows_.clear();

  // The main window stays; it moves with the primary monitor.
  windows_.push_back(std::move(old[0]));
  newIndex[0] = 0;
  IWindow& main = *windows_[0].Window;
  if (main.Bounds() != monitors[0]) {
    if (&main == busy) {
      change.Deferred = true;
    } else {
      main.SetBounds(monitors[0]);
      windows_[0].Image->SetBounds(ClientOf(monitors[0]));
      change.Placed.push_back(0);
    }
  }
  for (size_t m = 1; m < monitors.size(); ++m) {
    size_t found = kNone;
    for (size_t i = 1; i < old.size() && found == kNone; ++i)
      if (newIndex[i] == kNone && old[i].Window->Bounds() == monitors[m]) found = i;
    if (found != kNone) {
      newIndex[found] = windows_.size();
      windows_.push_back(std::move(old[found]));
      continue;
    }
    TMonitorWindow w;
    w.Own = MakeWindow(monitors[m]);
    w.Window = w.Own.get();
    w.Image = &w.Window->AddPicture("MonitorImage", ClientOf(monitors[m]));
    w.Image->Buffer().SetSize(monitors[m].Width(), monitors[m].Height());
    w.Picture = current;
    w.Image->SetVisible(true);
    w.Window->Show();
    change.Placed.push_back(windows_.size());
    windows_.push_back(std::move(w));
  }
  for (size_t i = 1; i < old.size(); ++i) {
    if (newIndex[i] != kNone) continue;
    if (old[i].Window == busy) {
      // A transition still paints it: it goes once the transition has ended.
      change.Deferred = true;
      newIndex[i] = windows_.size();
      windows_.push_back(std::move(old[i]));
    } else {
      old[i].Window->Hide();
    }
  }

  // The turn goes on after the window that got the last picture.
  if (last_ != kNone) {
    size_t i = last_;
    while (newIndex[i] == kNone) --i;  // the main window always stays
    last_ = newIndex[i];
  }
  return change;
}

void TMonitorWindows::HideOwn() {
  for (TMonitorWindow& w : windows_)
    if (w.Own) w.Own->Hide();
}

}  // namespace saver
