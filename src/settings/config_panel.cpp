#include "settings/config_panel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <type_traits>

#include "platform/build_config.h"
#include "platform/cp1252.h"
#include "platform/shell.h"
#include "platform/window_system.h"
#include "settings/about_window.h"
#include "settings/sample_pictures.h"
#include "trans/catalogue.h"
#include "trans/trans.h"

namespace saver {

namespace {

constexpr char kHttp[] = "http://";
constexpr char kHttps[] = "https://";

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

// A sample picture at the size of the surface it is shown on.
TBitmap32 SampleAt(int number, const TRect& bounds) {
  const TBitmap32& sample = SamplePicture(number);
  if (bounds.Width() == sample.Width() && bounds.Height() == sample.Height()) return sample;
  TBitmap32 scaled(bounds.Width(), bounds.Height());
  sample.DrawTo(scaled, scaled.BoundsRect(), sample.BoundsRect());
  return scaled;
}

}  // namespace

TConfigPanel::TConfigPanel(IWindow& window, IControl& cfgBox, ExtraData& text, THost host)
    : window_(window), text_(text), host_(std::move(host)), scale_(window.LayoutScale()) {
  window_.SetFont(kDialogFont);
  Build(cfgBox);
  FitCaptions();
  tmrPreviewTrans_ = WindowSystem().CreateTimer();
  tmrPreviewTrans_->SetEnabled(false);
  tmrPreviewTrans_->SetInterval(kPreviewTimerInterval);
  tmrPreviewTrans_->OnTimer = [this] { tmrPreviewTransTimer(); };
}

TConfigPanel::~TConfigPanel() { tmrPreviewTrans_->SetEnabled(false); }

TRect TConfigPanel::Px(int32_t left, int32_t top, int32_t width, int32_t height) const {
  auto px = [this](int32_t v) { return int32_t(std::lround(v * scale_)); };
  return TRect{px(left), px(top), px(left + width), px(top + height)};
}

template <class T>
T& TConfigPanel::Make(const char* name, IControl* parent, int32_t left, int32_t top,
                      int32_t width, int32_t height) {
  return Add<T>(window_, name, Px(left, top, width, height), parent);
}

template <class T>
T& TConfigPanel::Captioned(const char* name, IControl* parent, const char* caption, int32_t left,
                           int32_t top, int32_t width, int32_t height) {
  T& c = Make<T>(name, parent, left, top, width, height);
  c.SetCaption(caption);
  // Labels take the size of their text, which the layout's sizes are.
  if constexpr (std::is_same_v<T, ILabel>) c.SetAutoSize(true);
  // A tab's width is the page control's.
  if constexpr (!std::is_same_v<T, ITabSheet>)
    designed_.push_back({&c, Px(left, top, width, height)});
  return c;
}

void TConfigPanel::FitCaptions() {
  // The tabs, all of one width, as wide as the widest caption needs.
  int32_t tabWidth = int32_t(std::lround(kTabWidth * scale_));
  for (ITabSheet* sheet : {tsGeneral_, tsPosition_, tsEffects_, tsSound_, tsBehavior_})
    tabWidth = std::max(tabWidth, sheet->FittingWidth());
  pageControl_->SetTabSize(tabWidth, int32_t(std::lround(kTabHeight * scale_)));

  const int32_t gap = int32_t(std::lround(kCaptionGap * scale_));
  for (auto& [control, designed] : designed_) {
    const int32_t grow = control->FittingWidth() - designed.Width();
    if (grow <= 0) continue;
    const TRect row = designed;
    designed.Right += grow;
    control->SetBounds(designed);
    // What stands to its right in its row moves along as far as it must.
    std::vector<IControl*> beside;
    int32_t push = 0;
    for (IControl* other : window_.Controls()) {
      const TRect b = other->Bounds();
      if (other == control || other->Parent() != control->Parent() || b.Left < row.Right ||
          b.Top >= row.Bottom || b.Bottom <= row.Top)
        continue;
      beside.push_back(other);
      push = std::max(push, designed.Right + gap - b.Left);
    }
    if (push <= 0) continue;
    const auto moved = [push](TRect r) {
      return TRect{r.Left + push, r.Top, r.Right + push, r.Bottom};
    };
    for (IControl* other : beside) {
      other->SetBounds(moved(other->Bounds()));
      for (auto& [c, place] : designed_)
        if (c == other) place = moved(place);
    }
  }
}

// The layout: every control with its parent, caption and bounds (left, top,
// width, height at 96 dpi), made in tab order within each parent.
void TConfigPanel::Build(IControl& cfgBox) {
  cfgBox.SetBounds(Px(kCfgBoxLayout.Left, kCfgBoxLayout.Top, kCfgBoxLayout.Width(),
                      kCfgBoxLayout.Height()));
  IControl* box = &cfgBox;

  // The banner strip: an empty lowered frame whose picture opens Bannerlink.
  bannerPlaceHolderPanel_ = &Make<IPanel>("BannerPlaceHolderPanel", box, 0, 0, 505, kBannerStripHeight);
  panelWebBanner_ = &Make<IPanel>("PanelWebBanner", bannerPlaceHolderPanel_, 18, 5, 470, 62);
  panelWebBanner_->SetBevel(TBevel::Lowered);
  imgBanner_ = &Make<IPictureControl>("imgBanner", panelWebBanner_, 1, 1, 468, 60);
  imgBanner_->OnClick = [this] { imgBannerClick(); };

  configControlsPanel_ = &Make<IPanel>("ConfigControlsPanel", box, 0, kBannerStripHeight, 505, 312);
  IControl* controls = configControlsPanel_;
  pageControl_ = &Make<IPageControl>("PageControl", controls, 10, 7, 399, 281);
  pageControl_->SetTabSize(int32_t(std::lround(kTabWidth * scale_)),
                           int32_t(std::lround(kTabHeight * scale_)));
  pageControl_->SetHotTrack(true);

  // General.
  tsGeneral_ = &Captioned<ITabSheet>("tsGeneral", pageControl_, "General", 0, 0, 0, 0);
  auto& groupBox3 = Captioned<IGroupBox>("GroupBox3", tsGeneral_, "Image Duration", 12, 8, 367, 57);
  auto& label12 = Captioned<ILabel>("Label12", &groupBox3, "&Display each image for", 16, 24, 108, 13);
  edSeconds_ = &Make<ISpinEdit>("edSeconds", &groupBox3, 136, 20, 65, 21);
  edSeconds_->SetRange(1, 60);
  edSeconds_->SetIncrement(1);
  edSeconds_->SetValue(5);
  label12.SetFocusControl(edSeconds_);
  Captioned<ILabel>("Label13", &groupBox3, "seconds", 216, 24, 39, 13);
  gbOrder_ = &Captioned<IGroupBox>("gbOrder", tsGeneral_, "Item Order", 12, 74, 367, 87);
  rbSequential_ = &Captioned<IRadioButton>("rbSequential", gbOrder_, "&Sequential", 16, 18, 113, 17);
  rbRandom_ = &Captioned<IRadioButton>("rbRandom", gbOrder_, "&Random", 16, 38, 113, 17);
  rbMixed_ = &Captioned<IRadioButton>("rbMixed", gbOrder_, "&Mixed", 16, 58, 113, 17);
  for (IRadioButton* rb : {rbSequential_, rbRandom_, rbMixed_})
    rb->OnClick = [this] { rbSequentialClick(); };
  auto& groupBox2 = Captioned<IGroupBox>("GroupBox2", tsGeneral_, "Startup", 12, 170, 367, 51);
  cbDesktop_ = &Captioned<ICheckBox>("cbDesktop", &groupBox2, "S&tart image painting on Desktop",
                                     16, 20, 177, 17);

  // Position.
  tsPosition_ = &Captioned<ITabSheet>("tsPosition", pageControl_, "Position", 0, 0, 0, 0);
  gbSize_ = &Captioned<IGroupBox>("gbSize", tsPosition_, "Item Size", 12, 8, 367, 87);
  rbSizeResize_ = &Captioned<IRadioButton>("rbSizeResize", gbSize_,
                                           "&Resize to fit screen (maintain aspect ratio)", 16,
                                           18, 225, 17);
  rbSizeStretch_ = &Captioned<IRadioButton>("rbSizeStretch", gbSize_, "&Stretch to fit screen",
                                            16, 38, 121, 17);
  rbSizeNone_ = &Captioned<IRadioButton>("rbSizeNone", gbSize_, "&Do not change size", 16, 58,
                                         121, 17);
  rbSizeResize_->SetChecked(true);
  for (IRadioButton* rb : {rbSizeResize_, rbSizeStretch_, rbSizeNone_})
    rb->OnClick = [this] { rbSizeResizeClick(); };
  gbPosition_ = &Captioned<IGroupBox>("gbPosition", tsPosition_, "Item Position", 12, 104, 367, 63);
  rbPosCenter_ = &Captioned<IRadioButton>("rbPosCenter", gbPosition_, "&Center", 16, 16, 65, 17);
  rbPosRandom_ = &Captioned<IRadioButton>("rbPosRandom", gbPosition_, "R&andom position", 16, 36,
                                          105, 17);
  rbPosCenter_->SetChecked(true);
  for (IRadioButton* rb : {rbPosCenter_, rbPosRandom_}) {
    rb->OnClick = [this] { rbPosCenterClick(); };
    rb->SetEnabled(false);
  }
  gbPosition_->SetEnabled(false);

  // Effects.
  tsEffects_ = &Captioned<ITabSheet>("tsEffects", pageControl_, "Effects", 0, 0, 0, 0);
  auto& groupBox9 = Captioned<IGroupBox>("GroupBox9", tsEffects_, "Selection", 12, 8, 367, 177);
  lbEffects_ = &Make<ICheckListBox>("lbEffects", &groupBox9, 16, 24, 209, 105);
  std::vector<std::string> effects;
  for (int32_t n = 1; n <= kEffectCount; ++n) effects.emplace_back(EffectCaption(n));
  lbEffects_->SetItems(effects);
  lbEffects_->SetItemHeight(int32_t(std::lround(16 * scale_)));
  lbEffects_->OnClick = [this] { lbEffectsClick(); };
  auto& selectAll = Captioned<IButton>("btnSelectAll", &groupBox9, "Select All", 40, 140, 75, 25);
  selectAll.OnClick = [this] { btnSelectAllClick(); };
  auto& selectNone = Captioned<IButton>("btnSelectNone", &groupBox9, "Select None", 120, 140, 75, 25);
  selectNone.OnClick = [this] { btnSelectNoneClick(); };
  panel3_ = &Make<IPanel>("Panel3", &groupBox9, 232, 24, 121, 97);
  panel3_->SetBevel(TBevel::Lowered);
  imgPreviewTrans_ = &Make<IPictureControl>("ImgPreviewTrans", panel3_, 1, 1, 119, 95);
  // The two samples, hidden, at the preview surface's size.
  imgPT1_ = &Make<IPictureControl>("ImgPT1", &groupBox9, 256, 144, 41, 17);
  imgPT2_ = &Make<IPictureControl>("ImgPT2", &groupBox9, 304, 144, 41, 17);
  imgPT1_->SetVisible(false);
  imgPT2_->SetVisible(false);
  imgPT1_->Buffer() = SampleAt(1, imgPreviewTrans_->Bounds());
  imgPT2_->Buffer() = SampleAt(2, imgPreviewTrans_->Bounds());
  auto& groupBox6 = Captioned<IGroupBox>("GroupBox6", tsEffects_, "Speed", 12, 192, 367, 49);
  Captioned<ILabel>("Label16", &groupBox6, "Smooth", 16, 20, 36, 13);
  tbEffectSpeed_ = &Make<ITrackBar>("tbEffectSpeed", &groupBox6, 56, 18, 265, 23);
  tbEffectSpeed_->SetRange(1, 10);
  tbEffectSpeed_->SetPageSize(1);
  tbEffectSpeed_->SetThumbLength(int32_t(std::lround(13 * scale_)));
  tbEffectSpeed_->SetPosition(4);
  Captioned<ILabel>("Label26", &groupBox6, "Fast", 328, 20, 21, 13);

  // Sound.
  tsSound_ = &Captioned<ITabSheet>("tsSound", pageControl_, "Sound", 0, 0, 0, 0);
  auto& groupBox10 = Captioned<IGroupBox>("GroupBox10", tsSound_, "General", 12, 8, 367, 57);
  cbMute_ = &Captioned<ICheckBox>("cbMute", &groupBox10, "&Mute sounds", 16, 24, 89, 17);
  groupBox1_ = &Captioned<IGroupBox>("GroupBox1", tsSound_, "Playlist", 12, 74, 367, 93);
  cbLoop_ = &Captioned<ICheckBox>("cbLoop", groupBox1_, "&Repeat playlist", 16, 20, 97, 17);
  cbLoop_->SetChecked(true);
  cbShuffle_ = &Captioned<ICheckBox>("cbShuffle", groupBox1_, "&Shuffle playlist item order", 16,
                                     42, 145, 17);
  cbPlayOneRandom_ = &Captioned<ICheckBox>("cbPlayOneRandom", groupBox1_,
                                           "S&elect and play just one random playlist item", 16,
                                           64, 241, 17);

  // Behavior.
  tsBehavior_ = &Captioned<ITabSheet>("tsBehavior", pageControl_, "Behavior", 0, 0, 0, 0);
  auto& groupBox12 = Captioned<IGroupBox>("GroupBox12", tsBehavior_, "Exit Contitions", 12, 8,
                                          367, 113);
  cbExitMouseMove_ = &Captioned<ICheckBox>("cbExitMouseMove", &groupBox12, "&Mouse Move", 16, 20,
                                           105, 17);
  cbExitMouseButton_ = &Captioned<ICheckBox>("cbExitMouseButton", &groupBox12,
                                             "Mouse &Button Click", 16, 42, 121, 17);
  cbExitKeyboard_ = &Captioned<ICheckBox>("cbExitKeyboard", &groupBox12, "&Keyboard Button", 16,
                                          64, 105, 17);
  cbExitEscape_ = &Captioned<ICheckBox>("cbExitEscape", &groupBox12, "&ESC Button", 16, 86, 105,
                                        17);
  for (ICheckBox* cb : {cbExitMouseMove_, cbExitMouseButton_, cbExitKeyboard_, cbExitEscape_}) {
    cb->SetChecked(cb != cbExitEscape_);
    cb->OnClick = [this, cb] { cbExitKeyboardClick(*cb); };
  }
  pageControl_->SetActivePage(tsGeneral_);

  // Beside the pages.
  btnAbout_ = &Captioned<IButton>("btnAbout", controls, "About...", 418, 28, 75, 25);
  btnAbout_->OnClick = [this] { btnAboutClick(); };
  btnWebsite_ = &Captioned<IButton>("btnWebsite", controls, "Website...", 418, 60, 75, 25);
  btnWebsite_->OnClick = [this] { btnWebsiteClick(); };
  btnClose_ = &Captioned<IButton>("btnClose", controls, "Close", 418, 263, 75, 25);
  btnClose_->SetDefault(true);
  btnClose_->SetCancel(true);
  btnClose_->OnClick = [this] { btnCloseClick(); };
  link_ = &Captioned<ILabel>("Link", controls, "This screen saver was created with Kelvastrom", 12,
                             292, 227, 13);
  link_->SetLinkStyle(true);
  link_->OnClick = [this] { LinkClick(); };
}

void TConfigPanel::PlaceControlsPanel(bool bannerShown) {
  // The controls fill what the banner strip leaves of the panel.
  const TRect b = configControlsPanel_->Bounds();
  const int32_t top = bannerShown ? bannerPlaceHolderPanel_->Bounds().Bottom : 0;
  configControlsPanel_->SetBounds(TRect{b.Left, top, b.Right, top + b.Height()});
}

void TConfigPanel::ConfigBoxActive(const PayloadTrailer& t) {
  panelWebBanner_->SetVisible(true);
  panel3_->SetVisible(true);
  if (t.BannerSize <= 0) {
    TRect w = window_.Bounds();
    w.Bottom -= bannerPlaceHolderPanel_->Bounds().Height();
    window_.SetBounds(w);
    PlaceControlsPanel(false);
  } else {
    bannerPlaceHolderPanel_->SetVisible(true);
    if (!text_.Bannerlink.empty()) imgBanner_->SetCursor(TCursor::HandPoint);
    // No banner picture is loaded: the frame stays empty, in the window's colour.
    const TRect banner = imgBanner_->Bounds();
    imgBanner_->Buffer().SetSize(banner.Width(), banner.Height());
    imgBanner_->Buffer().Clear(window_.Color() | 0xFF000000u);
    imgBanner_->Repaint();
    PlaceControlsPanel(true);
  }
  configControlsPanel_->SetVisible(true);
}

void TConfigPanel::SettingsToControls(const PayloadTrailer& t, const std::string& effect) {
  edSeconds_->SetValue(t.Seconds);
  if (host_.SetSlideshowSeconds) host_.SetSlideshowSeconds(t.Seconds);

  OrderCode = t.DisplayOrder;
  (t.DisplayOrder == 1 ? rbRandom_ : t.DisplayOrder == 2 ? rbMixed_ : rbSequential_)
      ->SetChecked(true);
  rbSequentialClick();  // a code no button shows becomes 0
  cbDesktop_->SetChecked(t.DesktopStart != 0);

  (t.Stretch == 0 ? rbSizeResize_ : t.Stretch == 1 ? rbSizeStretch_ : rbSizeNone_)
      ->SetChecked(true);
  if (t.Stretch == 2) rbPosCenter_->SetChecked(true);
  if (t.Stretch == 3) rbPosRandom_->SetChecked(true);
  rbSizeResizeClick();
  rbPosCenterClick();

  tbEffectSpeed_->SetPosition(t.EffectSpeed);
  for (int32_t row = 0; row < lbEffects_->Count(); ++row) lbEffects_->SetChecked(row, false);
  for (unsigned char n : effect)
    if (n >= 1 && n <= lbEffects_->Count()) lbEffects_->SetChecked(n - 1, true);

  // The exit boxes are set without their click handler: a stored choice of
  // Esc alone stays so.
  cbLoop_->SetChecked(t.Loop != 0);
  cbShuffle_->SetChecked(t.ShuffleMelody != 0);
  cbMute_->SetChecked(t.Mute != 0);
  cbPlayOneRandom_->SetChecked(t.PlayOneRandom != 0);
  cbExitMouseMove_->SetChecked(t.ExitMouseMove != 0);
  cbExitMouseButton_->SetChecked(t.ExitMouseButton != 0);
  cbExitKeyboard_->SetChecked(t.ExitKeyboard != 0);
  cbExitEscape_->SetChecked(t.ExitESC != 0);

  if (host_.SetTitle) host_.SetTitle(text_.Title);
  btnWebsite_->SetVisible(!text_.Website.empty());
  tsGeneral_->SetVisible(!t.HideGeneralTab);
  tsPosition_->SetVisible(!t.HidePositionTab);
  tsEffects_->SetVisible(!t.HideEffectsTab);
  tsSound_->SetVisible(!t.HideSoundTab);
  tsBehavior_->SetVisible(!t.HideBehaviorTab);
}

void TConfigPanel::FormCreate(const PayloadTrailer& t) {
  imgPreviewTrans_->Buffer() = imgPT2_->Buffer();
  imgPreviewTrans_->Repaint();
  tmrPreviewTrans_->SetEnabled(true);
  tsSound_->SetVisible(t.MusicCount >= 1);
  if (t.MusicCount == 1) {
    cbShuffle_->SetVisible(false);
    cbPlayOneRandom_->SetVisible(false);
    const TRect loop = cbLoop_->Bounds();
    TRect b = groupBox1_->Bounds();
    b.Bottom = b.Top + loop.Bottom + int32_t(std::lround(10 * scale_));
    groupBox1_->SetBounds(b);
  }
}

SettingsControls TConfigPanel::ControlsToStore() {
  edSeconds_->SetValue(edSeconds_->Value());
  SettingsControls c;
  c.secondsText = edSeconds_->Text();
  c.sizeCode = SizeCode;
  c.positionCode = PositionCode;
  c.displayOrder = OrderCode;
  c.desktopStart = cbDesktop_->Checked();
  c.loop = cbLoop_->Checked();
  c.mute = cbMute_->Checked();
  c.shuffleMelody = cbShuffle_->Checked();
  c.effectChecked.resize(size_t(lbEffects_->Count()));
  for (int32_t row = 0; row < lbEffects_->Count(); ++row)
    c.effectChecked[size_t(row)] = lbEffects_->Checked(row);
  c.effectSpeed = tbEffectSpeed_->Position();
  c.playOneRandom = cbPlayOneRandom_->Checked();
  c.exitMouseMove = cbExitMouseMove_->Checked();
  c.exitMouseButton = cbExitMouseButton_->Checked();
  c.exitKeyboard = cbExitKeyboard_->Checked();
  c.exitESC = cbExitEscape_->Checked();
  return c;
}

void TConfigPanel::lbEffectsClick() {
  AbortTransition = true;
  PreviewRequested = true;
}

void TConfigPanel::tmrPreviewTransTimer() {
  if (TransitionRunning || !PreviewRequested) return;
  const int32_t row = lbEffects_->ItemIndex();
  if (row < 0) return;  // the request waits for a highlighted row
  PreviewRequested = false;
  const int32_t effect = row + 1;
  if (OnPreviewStart) OnPreviewStart(effect);
  StartTransition(imgPreviewTrans_->Surface(), (PreviewToggle ? imgPT2_ : imgPT1_)->Buffer(),
                  effect, kPreviewDelay, kPreviewSteps, false);
  PreviewToggle = !PreviewToggle;
}

void TConfigPanel::btnSelectAllClick() {
  for (int32_t row = 0; row < lbEffects_->Count(); ++row) lbEffects_->SetChecked(row, true);
}

void TConfigPanel::btnSelectNoneClick() {
  for (int32_t row = 0; row < lbEffects_->Count(); ++row) lbEffects_->SetChecked(row, false);
}

void TConfigPanel::rbSizeResizeClick() {
  // The position buttons keep their state while disabled.
  const bool keepSize = rbSizeNone_->Checked();
  gbPosition_->SetEnabled(keepSize);
  rbPosCenter_->SetEnabled(keepSize);
  rbPosRandom_->SetEnabled(keepSize);
  if (rbSizeResize_->Checked()) SizeCode = 0;
  if (rbSizeStretch_->Checked()) SizeCode = 1;
  if (rbSizeNone_->Checked()) SizeCode = 2;
}

void TConfigPanel::rbPosCenterClick() {
  if (rbPosCenter_->Checked()) PositionCode = 0;
  if (rbPosRandom_->Checked()) PositionCode = 1;
}

void TConfigPanel::rbSequentialClick() {
  if (rbSequential_->Checked()) OrderCode = 0;
  if (rbRandom_->Checked()) OrderCode = 1;
  if (rbMixed_->Checked()) OrderCode = 2;
}

void TConfigPanel::cbExitKeyboardClick(ICheckBox& changed) {
  // At least one way to end the show stays checked.
  if (!cbExitMouseMove_->Checked() && !cbExitMouseButton_->Checked() &&
      !cbExitKeyboard_->Checked() && !cbExitEscape_->Checked())
    changed.SetChecked(true);
}

void TConfigPanel::btnWebsiteClick() {
  std::string& website = text_.Website;
  // The About window shows the prefixed address from now on. A secure
  // address is whole already ("http://https://..." leads nowhere).
  if (!StartsWithNoCase(website, kHttp) && !StartsWithNoCase(website, kHttps))
    website = kHttp + website;
  Shell().Open(Cp1252ToUtf8(website));
}

void TConfigPanel::imgBannerClick() {
  if (!text_.Bannerlink.empty()) Shell().Open(Cp1252ToUtf8(text_.Bannerlink));
}

void TConfigPanel::LinkClick() { Shell().Open(kProjectAddress); }

void TConfigPanel::btnAboutClick() {
  if (TAboutWindow* about = AboutWindow()) about->ShowModal();
}

void TConfigPanel::btnCloseClick() { window_.Close(); }

}  // namespace saver
