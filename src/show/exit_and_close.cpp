// The input that ends the full-screen show, and the window's close.
#include <cstdio>
#include <cstdlib>

#include "platform/build_config.h"
#include "platform/cp1252.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/window_system.h"
#include "show/saver_window.h"
#include "trans/trans.h"

namespace saver {

namespace {

// How far the mouse may move from where it was when the show began before
// the movement counts.
constexpr uint32_t kMoveThreshold = 5;

bool Moved(TPoint p, TPoint origin) {
  return std::abs(int64_t(p.X) - origin.X) > kMoveThreshold ||
         std::abs(int64_t(p.Y) - origin.Y) > kMoveThreshold;
}

}  // namespace

void TSSWindow::DeactivateScrSaver(TMessage& m) {
  if (Suspended) return;
  const PayloadTrailer& t = Data.Trailer;
  bool exit = false;
  switch (m.Msg) {
    case msg::MouseMove: {
      // Client coordinates of either window would not compare with the
      // origin when there are two.
      const std::optional<TPoint> at =
          MultiMonitor ? WindowSystem().CursorPos()
                       : TPoint{int32_t(MouseX(m.LParam)), int32_t(MouseY(m.LParam))};
      if (!at) break;
      if (!MouseOrigin) {
        // The pointer's first sight: where it was when the show began.
        MouseOrigin = at;
        break;
      }
      if (Moved(*at, *MouseOrigin)) {
        if (t.ExitMouseMove)
          exit = true;
        else
          WindowSystem().ShowCursor(true);
      }
      break;
    }
    case msg::KeyDown:
    case msg::KeyUp:
    case msg::SysKeyDown:
    case msg::SysKeyUp:
      exit = t.ExitKeyboard != 0;
      break;
    case msg::Activate:
    case msg::ActivateApp:
    case msg::NcActivate:
    case msg::LButtonDown:
    case msg::RButtonDown:
    case msg::MButtonDown:
      exit = t.ExitMouseButton != 0;
      break;
    default:
      break;
  }
  if (!exit) exit = t.ExitESC && m.Msg == msg::KeyDown && m.WParam == vk::Escape;
  if (exit && m.Msg == msg::KeyDown && m.WParam == vk::F1) Data.Text.Exitlink = kInfoAddress;
  if (exit && m.Msg == msg::KeyDown && m.WParam == vk::F2) {
    // One wallpaper a press: a held key's repeats set none. Its release,
    // a key up, ends the show.
    if (!(m.LParam & msg::KeyWasDown)) WallpaperKey();
    exit = false;
  }
  // The exit link is for a user who ends the show, not for one answering a box.
  if (exit) endedByInput_ = !MessageBoxShowing();
  FinishScreenSaver(exit);
}

void TSSWindow::WallpaperKey() {
  try {
    SetCurrentImageAsWallpaper();
  } catch (const std::exception& e) {
    // The box stands over the show, which goes on; nothing ends it while
    // the box is up.
    Suspended = true;
    MessageBoxService().Show(std::string("The wallpaper could not be set: ") + e.what(),
                             WindowSystem().ApplicationTitle(), MessageIcon::Error);
    Suspended = false;
  }
}

void TSSWindow::FinishScreenSaver(bool exit) {
  if (exit && !TransitionRunning && !skipPassword_) {
    Suspend();
    if (screenSaver_ && !screenSaver_->VerifyPassword()) exit = false;
    Resume();
  }
  if (!exit) return;
  try {
    StopMedia();
    // The settings' effect preview has no completion handler that would
    // come back here: it is stopped now.
    if (!SaverMode) WaitForTransition();
    if (!TransitionRunning) {
      window_->Close();
      return;
    }
  } catch (...) {
    return;  // the next qualifying input tries again
  }
  // The transition stops without its final frame; its completion handler
  // (RestartTimer) comes back here and closes.
  AbortTransition = true;
  SkipFinalFrame = true;
}

void TSSWindow::EndOnRequest() {
  skipPassword_ = true;
  endedByInput_ = false;
  FinishScreenSaver(true);
}

void TSSWindow::Suspend() {
  Suspended = true;
  timer_->SetEnabled(false);
}

void TSSWindow::Resume() {
  timer_->SetEnabled(true);
  Suspended = false;
}

void TSSWindow::FormShow() { MouseOrigin = WindowSystem().CursorPos(); }

void TSSWindow::FormHide() { WindowSystem().SetMessageFilter(nullptr); }

void TSSWindow::FormClose() {
  closing_ = true;
  AbortTransition = true;
  timer_->SetEnabled(false);
  window_->Hide();
  IWindowSystem& ws = WindowSystem();
  ws.ShowCursor(true);
  try {
    std::remove((TempFolder() + "SSDATA.DAT").c_str());
  } catch (...) {
    // No temporary folder: nothing of ours is in it.
  }
  screenSaver_.reset();
  // The settings dialog saved its settings as it was asked to close (SaveSettings).
  if (!PreviewMode) {
    RemoveMusicFile();
    // Only the user's input ends a show with its link: the filter that sees
    // it runs neither in a daemon's window nor in preview.
    if (SaverMode && endedByInput_ && !Data.Text.Exitlink.empty())
      Shell().Open(Cp1252ToUtf8(Data.Text.Exitlink));
  }
  if (SaverMode) ReleaseShow();
}

void TSSWindow::ReleaseShow() {
  WaitForTransition();
  if (composeAhead_) composeAhead_->Cancel();  // removes its item file
  try {
    if (cache_) cache_->Clear();
    background_.reset();
    Data.PictureTable.clear();
    // The other monitors' windows go with this one (destroyed with it: the
    // close may come from input to one of them, whose delivery is not over).
    WindowSystem().OnMonitorsChanged = nullptr;
    monitors_->HideOwn();
  } catch (...) {
    // Nothing more to do at close.
  }
}

}  // namespace saver
