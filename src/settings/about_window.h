#pragma once
// TAboutWindow: the small dialog the settings panel's "About..." button
// shows modally: the saver's title, its author's text and the author's web
// address as a link. Made once at start, hidden; it reads the payload's
// Title, Author and Website each time it is shown.
#include <memory>

#include "payload/format/records.h"
#include "platform/controls.h"

namespace saver {

// The client area at 96 dpi.
constexpr int32_t kAboutWidth = 314, kAboutHeight = 168;
// How wide the link may grow.
constexpr int32_t kAboutLinkMaxWidth = 193;

class TAboutWindow {
 public:
  // text: the payload's text fields, which must outlive the window. The
  // window becomes the process's AboutWindow() until it is destroyed.
  explicit TAboutWindow(const ExtraData& text);
  ~TAboutWindow();
  TAboutWindow(const TAboutWindow&) = delete;
  TAboutWindow& operator=(const TAboutWindow&) = delete;

  // Shows the window; returns when it has been closed.
  void ShowModal();

  // Each time the window is shown: the labels take the text fields that
  // are not empty; without a Website the link is hidden.
  void FormShow();
  void LinkClick();
  void btnCloseClick();

  IWindow& Window() { return *window_; }

 private:
  const ExtraData& text_;
  std::unique_ptr<IWindow> window_;
  ILabel* title_ = nullptr;
  ILabel* text_label_ = nullptr;
  ILabel* link_ = nullptr;
};

// The About window made at start; nullptr before that (and in tools).
TAboutWindow* AboutWindow();

}  // namespace saver
