#include "doubles/fake_window_system.h"

#include <algorithm>

#include "platform/ui_thread.h"

namespace saver {

FakeWindow::FakeWindow(FakeWindowSystem& system, TWindowHandle handle)
    : layoutScale(system.layoutScale), system_(system), handle_(handle) {
  system_.windows_.push_back(this);
}

FakeWindow::~FakeWindow() { std::erase(system_.windows_, this); }

void FakeWindow::SetBounds(const TRect& bounds) {
  const bool resized = bounds.Width() != bounds_.Width() || bounds.Height() != bounds_.Height();
  bounds_ = bounds;
  if (resized && OnResize) OnResize();
}

void FakeWindow::CenterOnScreen() {
  const TRect screen = system_.monitors.empty() ? TRect{} : system_.monitors[0];
  const int32_t w = bounds_.Width(), h = bounds_.Height();
  const int32_t left = screen.Left + (screen.Width() - w) / 2;
  const int32_t top = screen.Top + (screen.Height() - h) / 2;
  bounds_ = TRect{left, top, left + w, top + h};
}

void FakeWindow::SetWindowState(TWindowState state) {
  state_ = state;
  if (state == TWindowState::Maximized && !system_.monitors.empty())
    SetBounds(system_.monitors[0]);
}

void FakeWindow::SetParentWindow(TWindowHandle p) {
  parent = p;
  // Inside a window of known size the window takes that size.
  auto it = system_.others.find(p);
  if (it != system_.others.end() && !it->second.rect.IsEmpty())
    SetBounds(TRect{0, 0, it->second.rect.Width(), it->second.rect.Height()});
}

void FakeWindow::Show() {
  if (visible_) return;
  visible_ = true;
  ++showCount;
  if (OnShow) OnShow();
}

void FakeWindow::Hide() {
  if (!visible_) return;
  visible_ = false;
  if (OnHide) OnHide();
}

void FakeWindow::Close() {
  if (OnCloseQuery && !OnCloseQuery()) return;
  if (OnClose) OnClose();
  Hide();
  closed = true;
}

IPictureControl& FakeWindow::AddPicture(const std::string& name, const TRect& bounds,
                                        IControl* parent) {
  return dynamic_cast<IPictureControl&>(AddControl(TControlKind::Picture, name, bounds, parent));
}

IControl& FakeWindow::AddPanel(const std::string& name, const TRect& bounds, IControl* parent) {
  return AddControl(TControlKind::Panel, name, bounds, parent);
}

IControl& FakeWindow::AddControl(TControlKind kind, const std::string& name, const TRect& bounds,
                                 IControl* parent) {
  const TWindowHandle h = system_.nextHandle_++;
  std::unique_ptr<IControl> c;
  switch (kind) {
    case TControlKind::Panel:
      c = std::make_unique<FakePanel>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::Picture:
      c = std::make_unique<FakePictureControl>(*this, name, bounds, parent, h);
      break;
    case TControlKind::Label:
      c = std::make_unique<FakeLabel>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::Button:
      c = std::make_unique<FakeButton>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::CheckBox:
      c = std::make_unique<FakeCheckBox>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::RadioButton:
      c = std::make_unique<FakeRadioButton>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::GroupBox:
      c = std::make_unique<FakeGroupBox>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::SpinEdit:
      c = std::make_unique<FakeSpinEdit>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::CheckListBox:
      c = std::make_unique<FakeCheckListBox>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::TrackBar:
      c = std::make_unique<FakeTrackBar>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::PageControl:
      c = std::make_unique<FakePageControl>(*this, name, kind, bounds, parent, h);
      break;
    case TControlKind::TabSheet:
      c = std::make_unique<FakeTabSheet>(*this, name, kind, bounds, parent, h);
      break;
  }
  controls_.push_back(std::move(c));
  return *controls_.back();
}

void FakeWindow::ShowModal() {
  ++modalShows;
  Show();
  if (OnModal) OnModal();
}

FakeButton* FakeWindow::RoleButton(uint64_t key) {
  FakeButton* b = key == vk::Return ? default_ : key == vk::Escape ? cancel_ : nullptr;
  return b && b->Reachable() ? b : nullptr;
}

void FakeWindow::SetRoleButton(bool cancel, FakeButton* button, bool on) {
  FakeButton*& role = cancel ? cancel_ : default_;
  if (on)
    role = button;
  else if (role == button)
    role = nullptr;
}

std::vector<IControl*> FakeWindow::Controls() {
  std::vector<IControl*> out;
  for (auto& c : controls_) out.push_back(c.get());
  return out;
}

IControl* FakeWindow::Find(const std::string& name) {
  for (auto& c : controls_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

FakeTimer::FakeTimer(FakeWindowSystem& system) : system_(system) {
  system_.timers_.push_back(this);
}

FakeTimer::~FakeTimer() { std::erase(system_.timers_, this); }

void FakeTimer::Rearm() { due_ = system_.clock_.TickCount() + interval_; }

void FakeTimer::SetInterval(uint32_t milliseconds) {
  interval_ = milliseconds;
  if (enabled_) Rearm();
}

void FakeTimer::SetEnabled(bool enabled) {
  if (enabled && !enabled_) Rearm();
  enabled_ = enabled;
}

void FakeWindowSystem::ChangeMonitors(std::vector<TRect> now) {
  monitors = std::move(now);
  if (OnMonitorsChanged) OnMonitorsChanged();
}

std::unique_ptr<IWindow> FakeWindowSystem::CreateWindow() {
  return std::make_unique<FakeWindow>(*this, nextHandle_++);
}

std::unique_ptr<ITimer> FakeWindowSystem::CreateTimer() { return std::make_unique<FakeTimer>(*this); }

int32_t FakeWindowSystem::ShowCursor(bool show) {
  cursorCount += show ? 1 : -1;
  calls.push_back(std::string("ShowCursor ") + (show ? "1" : "0"));
  return cursorCount;
}

TWindowHandle FakeWindowSystem::AddOtherWindow(const std::string& title, const TRect& rect) {
  const TWindowHandle h = nextHandle_++;
  others[h] = OtherWindow{.title = title, .rect = rect};
  return h;
}

FakeWindow* FakeWindowSystem::OwnWindow(TWindowHandle handle) const {
  for (FakeWindow* w : windows_)
    if (w->Handle() == handle && !w->parent) return w;
  return nullptr;
}

TRect FakeWindowSystem::WindowScreenRect(TWindowHandle window) {
  for (FakeWindow* w : windows_)
    if (w->Handle() == window) return w->Bounds();
  const auto it = screenRects.find(window);
  return it == screenRects.end() ? TRect{} : it->second;
}

void FakeWindowSystem::ResizeOtherWindow(TWindowHandle window, int32_t width, int32_t height) {
  TRect& r = others[window].rect;
  r = TRect{r.Left, r.Top, r.Left + width, r.Top + height};
  for (FakeWindow* w : windows_)
    if (w->parent == window) w->SetBounds(TRect{0, 0, width, height});
}

TWindowHandle FakeWindowSystem::FindWindow(const std::string& utf8Title) {
  for (FakeWindow* w : windows_)
    if (!w->parent && w->Title() == utf8Title) return w->Handle();
  return 0;
}

void FakeWindowSystem::ShowWindow(TWindowHandle window, bool show) {
  calls.push_back("ShowWindow " + std::to_string(window) + (show ? " 1" : " 0"));
  if (FakeWindow* w = OwnWindow(window)) show ? w->Show() : w->Hide();
}

void FakeWindowSystem::EnableWindow(TWindowHandle window, bool enable) {
  calls.push_back("EnableWindow " + std::to_string(window) + (enable ? " 1" : " 0"));
  if (FakeWindow* w = OwnWindow(window)) w->enabled = enable;
}

void FakeWindowSystem::SetForegroundWindow(TWindowHandle window) {
  calls.push_back("SetForegroundWindow " + std::to_string(window));
  if (OwnWindow(window)) foreground = window;
}

void FakeWindowSystem::SetScreenSaverRunning(bool running) {
  calls.push_back(std::string("ScreenSaverRunning ") + (running ? "1" : "0"));
  screenSaverRunning = running;
}

void FakeWindowSystem::SetApplicationExStyle(uint32_t exStyle) {
  calls.push_back("ApplicationExStyle " + std::to_string(exStyle));
  appExStyle = exStyle;
}

void FakeWindowSystem::Run(IWindow& main) {
  ++runs;
  if (!UiThread().TerminateRequested()) main.Show();
}

void FakeWindowSystem::Send(IWindow& window, TMessage m) {
  m.Window = window.Handle();
  Dispatch(window, m);
  if (m.Msg != msg::KeyDown) return;
  if (auto* fake = dynamic_cast<FakeWindow*>(&window); fake && fake->Visible())
    if (FakeButton* b = fake->RoleButton(m.WParam)) b->Click();
}

FakeTimer* FakeWindowSystem::NextTimer() {
  FakeTimer* next = nullptr;
  const uint32_t now = clock_.TickCount();
  for (FakeTimer* t : timers_)
    if (t->enabled_ && (!next || int32_t(t->due_ - now) < int32_t(next->due_ - now))) next = t;
  return next;
}

bool FakeWindowSystem::FireNextTimer() {
  FakeTimer* t = NextTimer();
  if (!t) return false;
  const int32_t wait = int32_t(t->due_ - clock_.TickCount());
  if (wait > 0) clock_.Advance(uint32_t(wait));
  t->Rearm();
  if (t->OnTimer) t->OnTimer();
  return true;
}

}  // namespace saver
