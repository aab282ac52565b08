#include "show/saver_window.h"

#include <algorithm>
#include <cctype>

#include "payload/compose/caption.h"
#include "payload/compose/fit_rect.h"
#include "payload/compose/gradient.h"
#include "payload/compose/preview_image.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"
#include "settings/sample_pictures.h"
#include "trans/trans.h"

namespace saver {

namespace {

constexpr int32_t kFrameDelay = 9;  // ms per transition frame in the show

// A display time in seconds as a timer interval. Times the panel cannot set
// (an edited store) are kept between one second and the timer's range.
uint32_t SecondsToInterval(int64_t seconds) {
  return uint32_t(std::clamp<int64_t>(seconds, 1, INT32_MAX / 1000) * 1000);
}

bool IsFlashExt(const std::string& ext) {
  std::string u = ext;
  for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
  return u == ".SWF" || u == ".FLA";
}

// Whether a window is smaller than the monitor its centre is on (as a
// daemon's preferences show a saver); false when that is not known.
bool SmallerThanItsMonitor(const TRect& window, const std::vector<TRect>& monitors) {
  if (window.IsEmpty()) return false;
  const int32_t x = window.Left + window.Width() / 2, y = window.Top + window.Height() / 2;
  for (const TRect& m : monitors)
    if (x >= m.Left && x < m.Right && y >= m.Top && y < m.Bottom)
      return window.Width() < m.Width() || window.Height() < m.Height();
  return false;
}

// The area of a window's client or of a control, from (0, 0).
template <class T>
TRect ClientRect(const T& w) {
  const TRect b = w.Bounds();
  return TRect{0, 0, b.Width(), b.Height()};
}

}  // namespace

TSSWindow::TSSWindow(std::vector<std::string> args, std::string selfPath,
                     TWindowHandle daemonWindow)
    : args_(std::move(args)), selfPath_(std::move(selfPath)), daemonWindow_(daemonWindow) {
  IWindowSystem& ws = WindowSystem();
  window_ = ws.CreateWindow();
  window_->SetTitle(kDefaultApplicationTitle);
  window_->SetBounds(kDesignedBounds);
  image32_ = &window_->AddPicture("Image32", ClientRect(*window_));
  monitors_ = std::make_unique<TMonitorWindows>(*window_, *image32_);
  prImage_ = &window_->AddPicture("PrImage", ClientRect(*window_));
  prImage_->SetVisible(false);
  cfgBox_ = &window_->AddPanel("CfgBox", kCfgBoxBounds);
  configPanel_ = std::make_unique<TConfigPanel>(
      *window_, *cfgBox_, Data.Text,
      TConfigPanel::THost{
          .SetSlideshowSeconds = [this](int32_t s) { timer_->SetInterval(SecondsToInterval(s)); },
          .SetTitle = [this](const std::string& title) { SetApplicationTitle(title); }});
  panelDisplay_ = &window_->AddPanel("PanelDisplay", TRect{0, 0, 160, 120});
  panelDisplay_->SetColor(Color32(0, 0, 0));
  panelDisplay_->SetVisible(false);
  mPlay_ = CreateMediaPlayer();
  mPlay_->OnNotify = [this](bool success) { MPlayNotify(success); };
  timer_ = ws.CreateTimer();
  timer_->SetEnabled(false);
  timer_->SetInterval(5000);
  timer_->OnTimer = [this] { TimerTimer(); };
  window_->OnShow = [this] { FormShow(); };
  window_->OnHide = [this] { FormHide(); };
  window_->OnClose = [this] { FormClose(); };

  screenSaver_ = std::make_unique<TScreenSaver>(*window_, args_);
  screenSaver_->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
  screenSaver_->ConfigurationBoxPanel = cfgBox_;
  screenSaver_->OnPreviewActive = [this] { ScreenSaverPreviewActive(); };
  screenSaver_->OnMainSaverActive = [this] { ScreenSaverMainSaverActive(); };
  screenSaver_->OnConfigBoxActive = [this] { ScreenSaverConfigBoxActive(); };
  if (daemonWindow_) {
    // The daemon covers the screen, holds the input and hides the cursor.
    screenSaver_->MainScreenSaver = false;
    screenSaver_->SystemKeysDisabled = false;
    screenSaver_->AutoMouseHide = false;
    window_->SetEnabled(false);
    window_->SetParentWindow(daemonWindow_);  // at the window's size from now on
    window_->OnResize = [this] { FollowResize(); };
  }
  running_ = this;
  screenSaver_->Loaded();

  try {
    FormCreate();
  } catch (const std::exception& e) {
    // The later steps of the start do not run; the window stays as it is.
    MessageBoxService().Show(e.what(), ws.ApplicationTitle(), MessageIcon::Error);
  }
}

TSSWindow::~TSSWindow() {
  if (running_ == this) running_ = nullptr;
  closing_ = true;
  WindowSystem().OnMonitorsChanged = nullptr;
  if (composeAhead_) composeAhead_->Cancel();
  WaitForTransition();
  FormHide();  // the filter must not outlive the window
}

void TSSWindow::ScreenSaverMainSaverActive() { SaverMode = true; }

void TSSWindow::ScreenSaverPreviewActive() {
  PreviewMode = true;
  ScreenSaverMainSaverActive();
}

void TSSWindow::ScreenSaverConfigBoxActive() {
  // A reader that failed has reported it and asked the program to end.
  if (ReadData(Data, selfPath_, true, *this)) configPanel_->ConfigBoxActive(Data.Trailer);
}

void TSSWindow::FormCreate() {
  IWindowSystem& ws = WindowSystem();
  const std::vector<TRect> monitors = ws.Monitors();
  const TRect primary = monitors.empty() ? TRect{} : monitors[0];
  image32_->Buffer().SetSize(primary.Width(), primary.Height());
  if (!SaverMode) {
    // The settings panel (and the password change, which ends at once): a
    // dialog of its own on the task bar, with the saver's picture.
    ws.SetApplicationIcon(DialogIcon());
    window_->OnCloseQuery = [this] { return SaveSettings(); };
    configPanel_->FormCreate(Data.Trailer);
    return;
  }
  ws.SetApplicationExStyle(kWsExToolWindow);
  FirstPicture = true;
  if (PreviewMode) {
    window_->SetColor(Color32(0, 0, 0));
    prImage_->SetBounds(ClientRect(*window_));
    LoadPreviewImage();
    window_->OnResize = [this] {
      prImage_->SetBounds(ClientRect(*window_));
      PaintPreview();
    };
    return;
  }

  image32_->SetBounds(ClientRect(*window_));
  random_.seed(uint32_t(Clock().PerformanceCounter()));
  background_ = std::make_unique<TBackground>();
  // A gradient is painted onto each frame as it is composed: no frame-sized
  // copy of it is held.
  background_->Kept = false;
  if (!ReadData(Data, selfPath_, false, *this)) {
    UiThread().RequestTerminate();
    return;
  }
  cacheEntries_.resize(Data.PictureTable.size());
  // Pictures are kept as they are shown, up to half a screen's pixels: small
  // pictures stay, a photo filling the screen is decoded (ahead) each time.
  const TRect client = ClientRect(*window_);
  cache_ = std::make_unique<TPictureCache>(
      cacheEntries_, size_t(client.Width()) * size_t(client.Height()) * sizeof(TColor32) / 2);
  loader_ = std::make_unique<TPictureLoader>(Data, *background_, *cache_,
                                             [this](int32_t range) { return Random(range); });
  if (ComposeAheadEnabled) composeAhead_ = std::make_unique<TComposeAhead>(Data, *cache_);

  // A show without music to play or videos never needs the media library.
  const bool music = !Data.Trailer.Mute && !Data.MusicTable.empty();
  if (!music && std::none_of(Data.PictureTable.begin(), Data.PictureTable.end(),
                             [](const PictureEntry& e) { return IsVideoExtension(e.Ext); }))
    ForgoMediaLibrary();

  if (!daemonWindow_) ws.SetMessageFilter([this](TMessage& m) { DeactivateScrSaver(m); });
  if (!daemonWindow_) {
    // Every monitor gets a window, now and as monitors come and go.
    ws.OnMonitorsChanged = [this] { FollowMonitors(); };
    FollowMonitors();
  }
  // A daemon's preferences preview the saver in a small window: silently.
  daemonPreview_ =
      daemonWindow_ && SmallerThanItsMonitor(ws.WindowScreenRect(daemonWindow_), monitors);
  StartMusic();

  PayloadTrailer& t = Data.Trailer;
  Order.Counter = -1;
  if (t.StartWithFirst && t.PictureCount > 0)
    Order.Counter = 0;
  else
    ChooseNextCounter();
  LoadImage(Order.Counter, t.DesktopStart != 0);
  if (!t.DesktopStart) ChooseNextCounter();
  if (t.PictureCount > 0 && !VideoPlaying) {
    timer_->SetInterval(t.DesktopStart ? 1 : ItemInterval(CurrentItem));
    timer_->SetEnabled(true);
  } else {
    timer_->SetEnabled(false);
  }
  t.DesktopStart = 0;  // only the start of a show comes from the desktop
  PrepareNextPicture();
}

void TSSWindow::FollowMonitors() {
  if (closing_ || !loader_) return;
  // The window a transition paints stays until the transition has ended
  // (RestartTimer asks again).
  const TMonitorWindows::TChange change = monitors_->Follow(
      WindowSystem().Monitors(), CurrentPicture, TransitionRunning ? transitionWindow_ : nullptr);
  monitorsPending_ = change.Deferred;
  MultiMonitor = monitors_->Count() > 1;
  for (size_t i : change.Placed) PaintAtOnce(i);
  // The next picture may go to another monitor now, of another size.
  PrepareNextPicture();
}

void TSSWindow::PaintAtOnce(size_t i) {
  TMonitorWindow& m = (*monitors_)[i];
  const TRect client = ClientRect(*m.Window);
  TBitmap32 working(client.Width(), client.Height());
  background_->DrawOnto(working);
  if (m.Picture >= 0) {
    try {
      loader_->ComposePicture(m.Picture, working);
      ShowPictureCaption(working, Data.PictureTable[size_t(m.Picture)], working.Width(),
                         working.Height());
    } catch (...) {
      m.Picture = -1;  // the background alone
    }
  }
  CopyPictureAt(m.Image->Surface(), working);
  m.Image->Buffer() = std::move(working);
}

uint32_t TSSWindow::ItemInterval(int32_t item) const {
  if (item >= 0 && size_t(item) < Data.PictureTable.size() &&
      Data.PictureTable[size_t(item)].ItemSeconds > 0)
    return SecondsToInterval(Data.PictureTable[size_t(item)].ItemSeconds);
  return SecondsToInterval(Data.Trailer.Seconds);
}

void TSSWindow::TimerTimer() {
  if (AbortTransition) {  // a close waits for its transition to end
    FinishScreenSaver(true);
    return;
  }
  timer_->SetEnabled(false);
  if (PreviewMode) {
    LoadPreviewImage();
  } else {
    LoadImage(Order.Counter, false);
  }
  ChooseNextCounter();
  timer_->SetInterval(ItemInterval(CurrentItem));
  const int32_t count = Data.Trailer.PictureCount;
  timer_->SetEnabled(count >= 2 && !PreviewMode && !VideoPlaying && !TransitionRunning);
  if (count == 1 && !Data.PictureTable.empty() && IsFlashExt(Data.PictureTable[0].Ext))
    timer_->SetEnabled(true);
  PrepareNextPicture();
}

void TSSWindow::ChooseNextCounter() {
  saver::ChooseNextCounter(Order, Data.Trailer.PictureCount, Data.Trailer.DisplayOrder,
                           Data.Trailer.StartWithFirst != 0, Data.Text.Effect,
                           [this](int32_t range) { return Random(range); });
}

void TSSWindow::LoadImage(int32_t index, bool fromDesktop) {
  if (!loader_) return;
  // A picture is composed for the monitor it goes to; a video plays on the
  // main window.
  const bool video = index >= 0 && size_t(index) < Data.PictureTable.size() &&
                     IsVideoExtension(Data.PictureTable[size_t(index)].Ext);
  const TRect client = ClientRect(*(*monitors_)[video ? 0 : monitors_->Next()].Window);
  if (composeAhead_ && fromDesktop) composeAhead_->Cancel();
  if (composeAhead_ && !fromDesktop) {
    std::optional<TPreparedFrame> prepared = composeAhead_->Take(
        index, client.Width(), client.Height(), TComposeState{random_, Data.Trailer});
    if (prepared) {
      ShowPrepared(index, *prepared);
      return;
    }
  }
  loader_->LoadImage(index, fromDesktop, client.Width(), client.Height(), *this);
}

void TSSWindow::ShowPrepared(int32_t index, TPreparedFrame& prepared) {
  random_ = prepared.End.Random;
  Data.Trailer = prepared.End.Trailer;
  try {
    ShowStep(index, prepared.Frame, false);
  } catch (...) {
    // As in LoadImage: the screen keeps what it showed.
  }
}

void TSSWindow::PrepareNextPicture() {
  // During a transition the worker would take cores from its frames: its
  // end (RestartTimer) starts the look-ahead.
  if (!composeAhead_ || closing_ || TransitionRunning) return;
  if (!timer_->Enabled() && !VideoPlaying) return;  // no tick is to come
  const int32_t index = Order.Counter;
  if (index < 0 || size_t(index) >= Data.PictureTable.size()) return;
  // A video is extracted for its player by the tick; a failed item fails at once.
  if (IsVideoExtension(Data.PictureTable[size_t(index)].Ext) || loader_->HasFailed(index)) return;
  const TRect client = ClientRect(*(*monitors_)[monitors_->Next()].Window);
  composeAhead_->Start(index, client.Width(), client.Height(),
                       TComposeState{random_, Data.Trailer}, *background_);
}

void TSSWindow::LoadPreviewImage() {
  previewPicture_ = saver::LoadPreviewImage(selfPath_);
  PaintPreview();
}

void TSSWindow::PaintPreview() {
  if (!previewPicture_) return;  // no preview picture: the window stays black
  prImage_->SetVisible(true);
  image32_->SetVisible(false);
  const TRect area = ClientRect(*prImage_);
  TBitmap32& buffer = prImage_->Buffer();
  buffer.SetSize(area.Width(), area.Height());
  buffer.Clear(Color32(0, 0, 0));
  const TBitmap32& picture = *previewPicture_;
  picture.DrawTo(buffer, FitRect(area.Width(), area.Height(), picture.Width(), picture.Height()),
                 picture.BoundsRect(), TDrawMode::Opaque);
  prImage_->Repaint();
}

void TSSWindow::SetWindowImage(const TBitmap32& working) { image32_->Buffer() = working; }

void TSSWindow::ShowStep(int32_t index, TBitmap32& working, bool fromDesktop) {
  size_t to = 0;
  if (!fromDesktop) {
    CurrentPicture = index;
    CurrentItem = index;
    // working has the size of the monitor the picture goes to (LoadImage).
    ShowPictureCaption(working, Data.PictureTable[size_t(index)], working.Width(),
                       working.Height());
    // The pictures go to the monitors in turn, the main one first.
    to = monitors_->Next();
    monitors_->Advance();
    (*monitors_)[to].Picture = index;
  }
  IPictureControl* target = (*monitors_)[to].Image;
  if (PreviewMode || FirstPicture) {
    // The first picture goes onto every monitor: this very frame where the
    // size is the same, composed at its own size elsewhere.
    for (size_t i = 0; i < monitors_->Count(); ++i) {
      TMonitorWindow& m = (*monitors_)[i];
      if (i == to) continue;
      if (!fromDesktop) m.Picture = index;
      const TRect client = ClientRect(*m.Window);
      const bool sameSize =
          client.Width() == working.Width() && client.Height() == working.Height();
      if (!fromDesktop && !sameSize) {
        PaintAtOnce(i);
        continue;
      }
      CopyPictureAt(m.Image->Surface(), working);
      m.Image->Buffer() = working;
    }
    CopyPictureAt(target->Surface(), working);
    if (!fromDesktop) target->Buffer() = std::move(working);
  } else {
    const int32_t effect = RandomEffect(Data.Text.Effect);
    const int32_t steps = SlideshowStepCount((*monitors_)[to].Window->Bounds().Width(),
                                             Data.Trailer.EffectSpeed);
    // One set of frames: the buffer's picture, still on screen, lends its
    // pixels to the transition's copy of the screen; the transition takes
    // working and gives it back to the buffer when it ends.
    TBitmap32 shown = std::exchange(target->Buffer(), TBitmap32());
    transitionWindow_ = (*monitors_)[to].Window;
    const bool worker = StartTransition(
        target->Surface(), std::move(working), effect, kFrameDelay, steps, false,
        TTransitionHandlers{.OnTerminate = [this] { RestartTimer(); },
                            .TakePicture = [target](TBitmap32&& p) { target->Buffer() = std::move(p); }},
        std::move(shown));
    if (!worker) target->Buffer() = std::move(working);  // shown at once, or left as it was
  }
  FirstPicture = false;
}

TBitmap32 TSSWindow::DialogIcon() const {
  std::optional<TBitmap32> preview;
  try {
    preview = saver::LoadPreviewImage(selfPath_);
  } catch (...) {
    // A preview picture that cannot be read: the sample picture instead.
  }
  const TBitmap32& picture = preview ? *preview : SamplePicture(1);
  TBitmap32 icon(kDialogIconSize, kDialogIconSize);  // transparent around the picture
  TBitmap32 opaque = picture;
  opaque.ResetAlpha(255);
  opaque.DrawTo(icon, FitRect(kDialogIconSize, kDialogIconSize, picture.Width(), picture.Height()),
                picture.BoundsRect(), TDrawMode::Opaque);
  return icon;
}

bool TSSWindow::SaveSettings() {
  try {
    WriteSettings(Data.Text.Title, configPanel_->ControlsToStore());
    return true;
  } catch (const std::exception& e) {
    MessageBoxService().Show(
        "The settings could not be saved to " + Registry().Location() + ": " + e.what(),
        WindowSystem().ApplicationTitle(), MessageIcon::Error);
    // The dialog stays with the edits for another try, unless the system
    // asked the program to end.
    return skipPassword_;
  }
}

void TSSWindow::WaitForTransition() {
  if (!TransitionRunning) return;
  SkipFinalFrame = true;
  AbortTransition = true;
  while (TransitionRunning) UiThread().ProcessMessages();
  UiThread().ProcessMessages();  // its completion handler
}

void TSSWindow::FollowResize() {
  // What it prepared has the old size; it may also hold the picture to recompose.
  if (composeAhead_) composeAhead_->Cancel();
  const TRect client = ClientRect(*window_);
  image32_->SetBounds(client);
  if (background_) background_->Paint(Data.Trailer, client.Width(), client.Height());
  resized_ = true;
  if (!TransitionRunning) RecomposeAfterResize();
  PrepareNextPicture();
}

void TSSWindow::RecomposeAfterResize() {
  if (!resized_ || !loader_ || CurrentPicture < 0 || VideoPlaying) return;
  resized_ = false;
  PaintAtOnce(0);  // the daemon's window shows one show: the current picture
}

void TSSWindow::RestartTimer() {
  if (closing_) return;
  RecomposeAfterResize();
  if (monitorsPending_) FollowMonitors();
  timer_->SetEnabled(true);
  if (AbortTransition) FinishScreenSaver(true);
  PrepareNextPicture();
}

// What the payload reader drives in the window.

void TSSWindow::ReadSettings(PayloadData& data) { saver::ReadSettings(data); }

void TSSWindow::SettingsToControls(PayloadData& data) {
  configPanel_->SettingsToControls(data.Trailer, data.Text.Effect);
}

void TSSWindow::SetApplicationTitle(const std::string& title) {
  const std::string utf8 = Cp1252ToUtf8(title);
  WindowSystem().SetApplicationTitle(utf8);
  window_->SetTitle(utf8);
}

std::string TSSWindow::ApplicationTitle() const {
  return Utf8ToCp1252(WindowSystem().ApplicationTitle());
}

void TSSWindow::SetWindowColor(int32_t color) { window_->SetColor(ColorRefToColor32(TColorRef(color))); }

void TSSWindow::PaintBackground(PayloadData& data) {
  const TRect client = ClientRect(*window_);
  background_->Picture.reset();
  background_->Paint(data.Trailer, client.Width(), client.Height());
}

void TSSWindow::LoadBackgroundPicture(PayloadData& data) {
  // A background picture is laid once onto a kept bitmap, not onto every frame.
  background_->Kept = true;
  PaintBackground(data);
  background_->LoadPicture(data);
}

void TSSWindow::ClearBackgroundPicture() { background_->Picture.reset(); }

int TSSWindow::Random(int range) { return RandomBelow(random_, range); }

void TSSWindow::ShowCursor() { WindowSystem().ShowCursor(true); }

IMessageBox* TSSWindow::MessageBox() { return &MessageBoxService(); }

void TSSWindow::RequestTerminate() { UiThread().RequestTerminate(); }

}  // namespace saver
