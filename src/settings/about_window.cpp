#include "settings/about_window.h"

#include <cmath>

#include "platform/cp1252.h"
#include "platform/shell.h"
#include "platform/window_system.h"
#include "settings/config_panel.h"

namespace saver {

namespace {

TAboutWindow* g_about = nullptr;

// Payload text shown as it is: '&' marks no accelerator there.
std::string Literal(const std::string& cp1252) {
  std::string out;
  for (char c : Cp1252ToUtf8(cp1252)) {
    if (c == '&') out += '&';
    out += c;
  }
  return out;
}

}  // namespace

TAboutWindow* AboutWindow() { return g_about; }

TAboutWindow::TAboutWindow(const ExtraData& text) : text_(text) {
  window_ = WindowSystem().CreateWindow();
  IWindow& w = *window_;
  const double scale = w.LayoutScale();
  auto px = [scale](int32_t v) { return int32_t(std::lround(v * scale)); };
  auto bounds = [&](int32_t left, int32_t top, int32_t width, int32_t height) {
    return TRect{px(left), px(top), px(left + width), px(top + height)};
  };
  w.SetTitle("About");
  w.SetFont(kDialogFont);
  w.SetBorderStyle(TBorderStyle::Dialog);
  w.SetBounds(bounds(0, 0, kAboutWidth, kAboutHeight));
  w.CenterOnScreen();

  auto& btnClose = Add<IButton>(w, "btnClose", bounds(224, 135, 82, 25));
  btnClose.SetCaption("Close");
  btnClose.SetDefault(true);  // Enter closes; no cancel button, so Esc does not
  btnClose.OnClick = [this] { btnCloseClick(); };
  title_ = &Add<ILabel>(w, "Title", bounds(16, 16, 106, 19));
  title_->SetFont(TFontSpec{kDialogFont.family, 16, true});
  title_->SetAutoSize(true);
  title_->SetCaption("Screen Saver");
  text_label_ = &Add<ILabel>(w, "Text", bounds(16, 48, 289, 73));
  text_label_->SetWordWrap(true);
  text_label_->SetCaption("Created by Unknown Author");
  link_ = &Add<ILabel>(w, "Link", bounds(16, 143, 99, 13));
  link_->SetLinkStyle(true);
  link_->SetAutoSize(true, px(kAboutLinkMaxWidth));
  link_->OnClick = [this] { LinkClick(); };

  w.OnShow = [this] { FormShow(); };
  g_about = this;
}

TAboutWindow::~TAboutWindow() {
  if (g_about == this) g_about = nullptr;
}

void TAboutWindow::ShowModal() {
  window_->CenterOnScreen();
  window_->ShowModal();
}

void TAboutWindow::FormShow() {
  if (!text_.Title.empty()) title_->SetCaption(Literal(text_.Title));
  if (!text_.Author.empty()) text_label_->SetCaption(Literal(text_.Author));
  // A hidden link stays hidden: Website cannot become non-empty.
  if (!text_.Website.empty())
    link_->SetCaption(Literal(text_.Website));
  else
    link_->SetVisible(false);
}

void TAboutWindow::LinkClick() { Shell().Open(Cp1252ToUtf8(text_.Website)); }

void TAboutWindow::btnCloseClick() { window_->Close(); }

}  // namespace saver
