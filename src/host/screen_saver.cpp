#include "host/screen_saver.h"

#include <algorithm>
#include <charconv>
#include <cctype>

#include "payload/compose/mul_div.h"
#include "platform/libraries.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/run_mode.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"

namespace saver {

namespace {

// The width and height of the control panel's preview window.
constexpr int32_t kPreviewWidth = 152, kPreviewHeight = 112;

std::string LibraryPath(const char* name) {
  std::string path = SystemFolder();
  if (path.empty() || path.back() != '/') path += '/';
  return path + name;
}

// Argument 2 of the command line as a window handle.
std::optional<int64_t> HandleArgument(const std::vector<std::string>& args) {
  if (args.size() < 2) return std::nullopt;
  return ParseHandleArgument(args[1]);
}

// Whether the stored password setting asks for a password. The value is
// an integer; a numeric text counts as that number, anything else as 0.
bool PasswordRequested() {
  std::optional<RegValues> values;
  try {
    values = Registry().ReadKey(kDesktopKey);
  } catch (const RegistryError&) {
    return false;  // a store that cannot be read is a key that cannot be opened
  }
  if (!values) return false;
  const RegValue* v = FindValue(*values, kUsePasswordValue);
  if (!v) return false;
  if (v->type == RegType::Dword) return v->dword != 0;
  if (v->type == RegType::Sz || v->type == RegType::ExpandSz) {
    int64_t n = 0;
    const char* end = v->text.data() + v->text.size();
    auto [ptr, ec] = std::from_chars(v->text.data(), end, n);
    return ec == std::errc() && ptr == end && n != 0;
  }
  return false;
}

}  // namespace

TScreenSaver::TScreenSaver(IWindow& owner, std::vector<std::string> args)
    : owner_(&owner), args_(std::move(args)) {}

TScreenSaver::~TScreenSaver() {
  UnhookWindowProc();
  IWindowSystem& ws = WindowSystem();
  if (ModeLetter() == 'C') ws.EnableWindow(ws.FindWindow(kDisplayPropertiesTitle), true);
  if (SystemKeysDisabled) ws.SetScreenSaverRunning(false);
  if (AutoMouseHide) ws.ShowCursor(true);
}

char TScreenSaver::ModeLetter() const { return saver::DetectRunMode(args_).letter; }

void TScreenSaver::Loaded() {
  // The panel style needs a panel of the owner; anything else falls back to
  // the message box.
  bool ownPanel = false;
  for (IControl* c : owner_->Controls())
    if (c == ConfigurationBoxPanel && c->Kind() == TControlKind::Panel) ownPanel = true;
  if (!ownPanel) {
    ConfigurationBoxStyle = TConfigBoxStyle::cbsMessageDlg;
    ConfigurationBoxPanel = nullptr;
  } else if (AutoPanelHide) {
    ConfigurationBoxPanel->SetVisible(false);
  }
  if (AutoEnable) DetectRunMode();
}

void TScreenSaver::DetectRunMode() {
  switch (ModeLetter()) {
    case 'P': EnterPreview(); break;
    case 'S': EnterMainSaver(); break;
    case 'A': ChangePassword(); break;
    default: EnterConfigBox(); break;
  }
}

void TScreenSaver::HideTitleWindow() {
  IWindowSystem& ws = WindowSystem();
  if (TWindowHandle title = ws.FindWindow(ws.ApplicationTitle())) ws.ShowWindow(title, false);
}

void TScreenSaver::ScaleControls(int32_t m, int32_t d) {
  for (IControl* c : owner_->Controls()) {
    const TRect b = c->Bounds();
    const int32_t left = MulDiv(b.Left, m, d), top = MulDiv(b.Top, m, d);
    c->SetBounds(TRect{left, top, MulDiv(b.Right, m, d), MulDiv(b.Bottom, m, d)});
  }
}

void TScreenSaver::EnterPreview() {
  Fire(OnBeforePreviewActive);
  if (PreviewWindow) {
    HideTitleWindow();
    WindowSystem().SetApplicationExStyle(kWsExTopmost | kWsExToolWindow);
    const std::optional<int64_t> parent = HandleArgument(args_);
    if (parent && *parent != -1) {
      // A disabled child of the preview window: it takes no input.
      owner_->SetEnabled(false);
      owner_->SetParentWindow(TWindowHandle(*parent));
      // It fills the preview window, whose size it now has and follows; no
      // window (0) gets the control panel's.
      TRect area{0, 0, kPreviewWidth, kPreviewHeight};
      if (const TRect b = owner_->Bounds(); *parent != 0 && !b.IsEmpty())
        area = TRect{0, 0, b.Width(), b.Height()};
      TRect b = area;
      if (AutoMaximize) {
        const std::vector<TRect> monitors = WindowSystem().Monitors();
        if (!monitors.empty()) b = TRect{0, 0, monitors[0].Width(), monitors[0].Height()};
        owner_->SetBounds(b);
      }
      if (b.Width() > 0) ScaleControls(area.Width(), b.Width());
      owner_->SetBounds(area);
    }
  }
  Fire(OnPreviewActive);
}

void TScreenSaver::EnterMainSaver() {
  Fire(OnBeforeMainSaverActive);
  if (MainScreenSaver) {
    HideTitleWindow();
    IWindowSystem& ws = WindowSystem();
    if (SystemKeysDisabled) ws.SetScreenSaverRunning(true);
    if (AutoMouseHide) ws.ShowCursor(false);
    if (AutoMaximize) owner_->SetWindowState(TWindowState::Maximized);
    if (AutoBorderLess) owner_->SetBorderStyle(TBorderStyle::None);
    if (AutoOnTop) owner_->SetStayOnTop(true);
  }
  HookWindowProc();
  Fire(OnMainSaverActive);
}

void TScreenSaver::EnterConfigBox() {
  Fire(OnBeforeConfigBoxActive);
  const bool fromDisplaySettings = ModeLetter() == 'C';
  IWindowSystem& ws = WindowSystem();
  if (ConfigurationBox) {
    if (ConfigurationBoxStyle == TConfigBoxStyle::cbsPanel && ConfigurationBoxPanel) {
      IControl& panel = *ConfigurationBoxPanel;
      for (IControl* c : owner_->Controls())
        if (c->Kind() == TControlKind::Panel && c->Name() != panel.Name()) c->SetVisible(false);
      panel.SetVisible(true);
      const TRect pb = panel.Bounds();
      panel.SetBounds(TRect{0, 0, pb.Width(), pb.Height()});
      panel.BringToFront();
      owner_->SetWindowState(TWindowState::Normal);
      owner_->SetBorderStyle(TBorderStyle::Dialog);
      const TRect wb = owner_->Bounds();
      owner_->SetBounds(TRect{wb.Left, wb.Top, wb.Left + pb.Width(), wb.Top + pb.Height()});
      owner_->CenterOnScreen();
      if (fromDisplaySettings) {
        const TWindowHandle display = ws.FindWindow(kDisplayPropertiesTitle);
        ws.EnableWindow(display, false);
        ws.SetForegroundWindow(display);
      }
    } else {
      if (fromDisplaySettings) ws.EnableWindow(ws.FindWindow(kDisplayPropertiesTitle), false);
      if (owner_->WindowState() != TWindowState::Normal)
        owner_->SetWindowState(TWindowState::Normal);
      const TRect wb = owner_->Bounds();
      const int32_t left = -wb.Width() - 100;
      owner_->SetBounds(TRect{left, wb.Top, left + wb.Width(), wb.Bottom});
      MessageBoxService().Show(ConfigurationBoxMessage, ws.ApplicationTitle(),
                               MessageIcon::Information);
      Fire(OnConfigBoxActive);
      if (fromDisplaySettings) {
        const TWindowHandle display = ws.FindWindow(kDisplayPropertiesTitle);
        ws.EnableWindow(display, true);
        ws.SetForegroundWindow(display);
      }
      UiThread().RequestTerminate();
    }
  }
  Fire(OnConfigBoxActive);
}

void TScreenSaver::ChangePassword() {
  Fire(OnBeforePasswordSet);
  if (PasswordSetting) {
    HideTitleWindow();
    owner_->SetWindowState(TWindowState::Minimized);
    WindowSystem().SetApplicationExStyle(kWsExTopmost | kWsExToolWindow);
    const uint64_t parent = uint64_t(HandleArgument(args_).value_or(0));
    ILibraries& libs = Libraries();
    if (void* lib = libs.Load(LibraryPath("MPR.DLL"))) {
      if (auto change = reinterpret_cast<TPwdChangePasswordA>(libs.Symbol(lib, "PwdChangePasswordA")))
        change("SCRSAVE", parent, 0, 0);
      libs.Free(lib);
    }
  }
  Fire(OnPasswordSet);
  if (PasswordSetting) UiThread().RequestTerminate();
}

bool TScreenSaver::VerifyPassword() {
  IWindowSystem& ws = WindowSystem();
  const TWindowHandle foreground = ws.ForegroundWindow();
  if (AutoMouseHide) ws.ShowCursor(true);
  if (ModeLetter() != 'S') return true;
  if (!PasswordRequested()) return true;
  ILibraries& libs = Libraries();
  void* lib = libs.Load(LibraryPath("PASSWORD.CPL"));
  if (!lib) return true;
  auto verify = reinterpret_cast<TVerifyScreenSavePwd>(libs.Symbol(lib, "VerifyScreenSavePwd"));
  if (!verify) {
    libs.Free(lib);
    return true;
  }
  const bool ok = verify(foreground) != 0;
  if (!ok && AutoMouseHide) ws.ShowCursor(false);
  libs.Free(lib);
  return ok;
}

void TScreenSaver::HookWindowProc() {
  if (!owner_ || previousProc_) return;
  previousProc_ = owner_->WindowProc();
  owner_->SetWindowProc([this](TMessage& m) { SaverWindowProc(m); });
}

void TScreenSaver::UnhookWindowProc() {
  if (owner_ && previousProc_) owner_->SetWindowProc(previousProc_);
  previousProc_ = nullptr;
}

void TScreenSaver::SaverWindowProc(TMessage& m) {
  // The system's request to start a screen saver goes no further while one runs.
  if (m.Msg == msg::SysCommand && m.WParam == msg::ScScreenSave) {
    m.Result = 0;
    return;
  }
  previousProc_(m);
}

}  // namespace saver
