#pragma once
// TConfigPanel: the settings panel of the main window. Its controls live in
// the window's CfgBox in every run mode (the host component shows CfgBox
// only in configuration mode): five tab pages (General, Position, Effects,
// Sound, Behavior) that show and edit the fourteen settings, a live preview
// of the highlighted effect on two sample pictures, the About and Website
// buttons, the banner strip and the link to the project's page. The window
// closes through "Close" (also Enter and Esc); its close handler stores
// ControlsToStore() with WriteSettings.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "payload/format/records.h"
#include "platform/controls.h"
#include "settings/settings_store.h"

namespace saver {

// The panel's place and size on the designed window, in 96-dpi pixels.
constexpr TRect kCfgBoxLayout{8, 64, 8 + 505, 64 + 381};
// The banner strip's height: a window without a banner is that much lower.
constexpr int32_t kBannerStripHeight = 69;
// The window font: Tahoma 8 point, 11 pixels at 96 dpi.
inline const TFontSpec kDialogFont{"Tahoma", 11, false};
// The page control's tabs.
constexpr int32_t kTabWidth = 70, kTabHeight = 20;
// The least room between a caption that grew and the control beside it.
constexpr int32_t kCaptionGap = 2;
// How the preview plays an effect.
constexpr int32_t kPreviewSteps = 32;
constexpr int32_t kPreviewDelay = 10;         // ms per frame
constexpr uint32_t kPreviewTimerInterval = 200;  // ms

class TConfigPanel {
 public:
  // What the panel sets outside itself when it shows the settings.
  struct THost {
    // The slideshow's seconds per picture (its timer's interval).
    std::function<void(int32_t seconds)> SetSlideshowSeconds;
    // The application's title and the window's caption (Windows-1252).
    std::function<void(const std::string& title)> SetTitle;
  };

  // Makes the panel's controls inside cfgBox on window, sized by the
  // window's layout scale, and gives the window its font. text is the
  // payload's text fields: the panel reads Title, Website and Bannerlink
  // and keeps a Website it has prefixed there.
  TConfigPanel(IWindow& window, IControl& cfgBox, ExtraData& text, THost host);
  ~TConfigPanel();
  TConfigPanel(const TConfigPanel&) = delete;
  TConfigPanel& operator=(const TConfigPanel&) = delete;

  // The host's configuration event, after the payload reader has filled
  // the controls: shows the panels the host hid, and without a banner
  // (BannerSize 0 or less) makes the window lower by the banner strip.
  void ConfigBoxActive(const PayloadTrailer& trailer);
  // Shows the effective settings (the in-memory trailer and effect
  // selection) in the controls; runs in every mode the reader runs in.
  // Setting the exit boxes never runs the rule that keeps one checked.
  void SettingsToControls(const PayloadTrailer& trailer, const std::string& effect);
  // The configuration part of the window's creation: the preview starts
  // from sample picture 2, its timer runs, and the Sound page and its
  // playlist options follow the number of music tracks.
  void FormCreate(const PayloadTrailer& trailer);
  // What the controls show, for WriteSettings. The seconds field is first
  // brought into its range, as leaving it would.
  SettingsControls ControlsToStore();

  // Event handlers.
  void lbEffectsClick();
  void tmrPreviewTransTimer();
  void btnSelectAllClick();
  void btnSelectNoneClick();
  void rbSizeResizeClick();
  void rbPosCenterClick();
  void rbSequentialClick();
  // changed: the exit box the user toggled.
  void cbExitKeyboardClick(ICheckBox& changed);
  void btnWebsiteClick();
  void imgBannerClick();
  void LinkClick();
  void btnAboutClick();
  void btnCloseClick();

  // The codes of the option groups, as WriteSettings stores them.
  int32_t OrderCode = 0, SizeCode = 0, PositionCode = 0;
  // A preview of the highlighted effect is asked for and not yet started.
  bool PreviewRequested = false;
  // Which sample the next preview brings in: false sample 1, true sample 2.
  bool PreviewToggle = false;
  // Runs with the effect number each time a preview starts (for tests and tools).
  std::function<void(int32_t effect)> OnPreviewStart;

  ITimer& PreviewTimer() { return *tmrPreviewTrans_; }
  IPictureControl& PreviewSurface() { return *imgPreviewTrans_; }

 private:
  TRect Px(int32_t left, int32_t top, int32_t width, int32_t height) const;
  template <class T>
  T& Make(const char* name, IControl* parent, int32_t left, int32_t top, int32_t width,
          int32_t height);
  template <class T>
  T& Captioned(const char* name, IControl* parent, const char* caption, int32_t left,
               int32_t top, int32_t width, int32_t height);
  void Build(IControl& cfgBox);
  // A face wider than the one the layout was drawn for (where the
  // Tahoma-metric face is missing) would cut captions off: each control
  // whose caption needs more room grows to the right.
  void FitCaptions();
  void PlaceControlsPanel(bool bannerShown);

  IWindow& window_;
  ExtraData& text_;
  // The captioned controls in the order made, each with its place in the layout.
  std::vector<std::pair<ICaptionControl*, TRect>> designed_;
  THost host_;
  double scale_;

  IPanel* bannerPlaceHolderPanel_ = nullptr;
  IPanel* panelWebBanner_ = nullptr;
  IPictureControl* imgBanner_ = nullptr;
  IPanel* configControlsPanel_ = nullptr;
  IPageControl* pageControl_ = nullptr;
  IButton* btnAbout_ = nullptr;
  IButton* btnWebsite_ = nullptr;
  IButton* btnClose_ = nullptr;
  ILabel* link_ = nullptr;
  ITabSheet* tsGeneral_ = nullptr;
  ITabSheet* tsPosition_ = nullptr;
  ITabSheet* tsEffects_ = nullptr;
  ITabSheet* tsSound_ = nullptr;
  ITabSheet* tsBehavior_ = nullptr;
  ISpinEdit* edSeconds_ = nullptr;
  IGroupBox* gbOrder_ = nullptr;
  IRadioButton* rbSequential_ = nullptr;
  IRadioButton* rbRandom_ = nullptr;
  IRadioButton* rbMixed_ = nullptr;
  ICheckBox* cbDesktop_ = nullptr;
  IGroupBox* gbSize_ = nullptr;
  IRadioButton* rbSizeResize_ = nullptr;
  IRadioButton* rbSizeStretch_ = nullptr;
  IRadioButton* rbSizeNone_ = nullptr;
  IGroupBox* gbPosition_ = nullptr;
  IRadioButton* rbPosCenter_ = nullptr;
  IRadioButton* rbPosRandom_ = nullptr;
  ICheckListBox* lbEffects_ = nullptr;
  IPanel* panel3_ = nullptr;
  IPictureControl* imgPreviewTrans_ = nullptr;
  IPictureControl* imgPT1_ = nullptr;
  IPictureControl* imgPT2_ = nullptr;
  ITrackBar* tbEffectSpeed_ = nullptr;
  ICheckBox* cbMute_ = nullptr;
  IGroupBox* groupBox1_ = nullptr;
  ICheckBox* cbLoop_ = nullptr;
  ICheckBox* cbShuffle_ = nullptr;
  ICheckBox* cbPlayOneRandom_ = nullptr;
  ICheckBox* cbExitMouseMove_ = nullptr;
  ICheckBox* cbExitMouseButton_ = nullptr;
  ICheckBox* cbExitKeyboard_ = nullptr;
  ICheckBox* cbExitEscape_ = nullptr;
  std::unique_ptr<ITimer> tmrPreviewTrans_;
};

}  // namespace saver
