#pragma once
// TScreenSaver: turns its owner form into a screen saver. When the form has
// been loaded it reads the run mode from the command line and gives the form
// the window behaviour of that mode (full screen, inside the preview window,
// the configuration dialog, or the password change), announcing each mode
// through a before and an after event. It also checks the screen-saver
// password before the full-screen saver may close, and undoes its
// system-wide changes when it is destroyed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/message.h"
#include "platform/window.h"

namespace saver {

enum class TConfigBoxStyle {
  cbsMessageDlg = 0,  // an information message box
  cbsPanel = 1,       // the form shrinks to one of its panels
};

// The title of the display settings window that hands the saver the
// configuration letter "C": disabled while the configuration runs.
inline constexpr char kDisplayPropertiesTitle[] = "Display Properties";
// The per-user key and value that say whether the saver asks for a password.
inline constexpr char kDesktopKey[] = "Control Panel\\Desktop";
inline constexpr char kUsePasswordValue[] = "ScreenSaveUsePassword";

using TNotifyEvent = std::function<void()>;

class TScreenSaver {
 public:
  // owner: the form the component turns into a saver; args: the command
  // line after the program name.
  TScreenSaver(IWindow& owner, std::vector<std::string> args);
  // Restores the window procedure, the display settings window, the
  // screen-saver-running state and the cursor, whatever the mode was.
  ~TScreenSaver();
  TScreenSaver(const TScreenSaver&) = delete;
  TScreenSaver& operator=(const TScreenSaver&) = delete;

  bool AutoEnable = true;
  bool AutoMaximize = true;
  bool AutoBorderLess = true;
  bool AutoOnTop = true;
  bool AutoMouseHide = true;
  bool AutoPanelHide = true;
  bool PreviewWindow = true;
  bool MainScreenSaver = true;
  bool ConfigurationBox = true;
  TConfigBoxStyle ConfigurationBoxStyle = TConfigBoxStyle::cbsMessageDlg;
  IControl* ConfigurationBoxPanel = nullptr;
  std::string ConfigurationBoxMessage = "This screen saver has no settings.";  // UTF-8
  bool SystemKeysDisabled = true;
  bool PasswordSetting = true;

  TNotifyEvent OnPreviewActive, OnMainSaverActive, OnConfigBoxActive, OnPasswordSet;
  TNotifyEvent OnBeforePreviewActive, OnBeforeMainSaverActive, OnBeforeConfigBoxActive,
      OnBeforePasswordSet;

  // Load completion: settles the panel style, then DetectRunMode when AutoEnable.
  void Loaded();
  void DetectRunMode();
  void EnterPreview();
  void EnterMainSaver();
  void EnterConfigBox();
  void ChangePassword();
  // True when the full-screen saver may close: no password is asked for,
  // the password service is missing, or the user gave the right password.
  bool VerifyPassword();

  void HookWindowProc();
  void UnhookWindowProc();
  bool Hooked() const { return bool(previousProc_); }

  // The upper-case mode letter of the command line; '\0' when there is none.
  char ModeLetter() const;

 private:
  void SaverWindowProc(TMessage& m);
  void HideTitleWindow();
  void ScaleControls(int32_t numerator, int32_t denominator);
  static void Fire(const TNotifyEvent& event) {
    if (event) event();
  }

  IWindow* owner_;
  std::vector<std::string> args_;
  TWindowProc previousProc_;
};

}  // namespace saver
