#pragma once
// TSSWindow: the player's main window. Made with the command line, it lets
// its host component give it the behaviour of the run mode, then runs its
// creation handler: in full-screen mode it reads the payload and starts the
// show (a timer brings in one picture after another through transitions,
// input ends it as the exit settings say), in preview mode it paints the
// preview picture, in configuration mode it holds the settings panel.
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/screen_saver.h"
#include "payload/compose/background.h"
#include "payload/format/payload_data.h"
#include "payload/compose/picture_cache.h"
#include "payload/compose/picture_loader.h"
#include "payload/format/reader.h"
#include "platform/media_player.h"
#include "platform/window.h"
#include "settings/config_panel.h"
#include "settings/settings_store.h"
#include "show/compose_ahead.h"
#include "show/monitor_windows.h"
#include "show/next_picture.h"
#include "show/show_random.h"

namespace saver {

// The window's designed size, before a mode gives it another.
constexpr TRect kDesignedBounds{0, 0, 640, 480};
// The settings panel's place on the designed window (the panel sizes it
// by the layout scale).
constexpr TRect kCfgBoxBounds = kCfgBoxLayout;
constexpr int32_t kDialogIconSize = 64;

class TSSWindow final : private IReaderHost, private IPictureSink {
 public:
  // args: the command line after the program name; selfPath: the saver
  // file whose payload is shown. Construction runs the host component's
  // mode start and then FormCreate; an error of the host component leaves
  // the constructor, an error of FormCreate is shown in a message box.
  // With a daemonWindow (a screen-saver daemon's window, see DaemonWindow)
  // the show runs inside that window at its size, following its resizes,
  // and leaves input, grabs and the cursor to the daemon.
  TSSWindow(std::vector<std::string> args, std::string selfPath,
            TWindowHandle daemonWindow = 0);
  ~TSSWindow() override;

  // The process's window, from the point in its start where it can tidy up
  // until it goes; nullptr before and after.
  static TSSWindow* Running() { return running_; }

  IWindow& Window() { return *window_; }
  // Removes the temporary files the show may have open (the display went away).
  void RemoveTemporaryFiles();
  TScreenSaver* ScreenSaver() { return screenSaver_.get(); }

  // Mode handlers wired to the host component's events.
  void ScreenSaverMainSaverActive();
  void ScreenSaverPreviewActive();
  void ScreenSaverConfigBoxActive();

  void FormCreate();
  void TimerTimer();
  void ChooseNextCounter();
  void LoadImage(int32_t index, bool fromDesktop);
  void RestartTimer();
  void LoadPreviewImage();
  // The preview picture fitted into the window, on black.
  void PaintPreview();
  // F2: makes the picture on screen the desktop's wallpaper. Raises what
  // went wrong; no temporary file stays behind.
  void SetCurrentImageAsWallpaper();
  // Points the desktop at the wallpaper file (holding picture): the stored
  // values, then the running desktop's own setting.
  static void ApplyWallpaper(const std::string& file, const TBitmap32& picture, bool stretched);

  // Music and video items (media.cpp).
  // Extracts and starts track index; false when it cannot be played.
  bool LoadMelody(int32_t index);
  // The end of a track or video: success when it played to its end.
  void MPlayNotify(bool success);
  // Places the video panel as a picture of the video's size would be.
  void PlaceVideoPanel(int32_t mode, const TRect& natural);

  // Input and close (exit_and_close.cpp).
  void DeactivateScrSaver(TMessage& m);
  void FinishScreenSaver(bool exit);
  // F2 pressed: the wallpaper, or a box saying why not while the show goes on.
  void WallpaperKey();
  void Suspend();
  void Resume();
  void FormShow();
  void FormHide();
  void FormClose();
  // The process is asked to end (a signal): the show closes without asking
  // for a password and without its exit link, as soon as a running
  // transition has stopped.
  void EndOnRequest();

  // What tests and the entry look at.
  bool SaverMode = false, PreviewMode = false;
  bool FirstPicture = false;
  int32_t CurrentPicture = -1;
  int32_t CurrentItem = -1;
  bool VideoPlaying = false;
  bool MultiMonitor = false;  // the show has a window on more than one monitor
  bool Suspended = false;
  // Where the pointer was when the show began; none until the pointer is
  // first seen where the display cannot say at once (Wayland).
  std::optional<TPoint> MouseOrigin;
  TPictureOrder Order;
  int32_t MelodyIndex = 0;           // the current track; -1 once a shuffled playlist is spent
  std::vector<int32_t> MelodyDeck;  // tracks left of the shuffled playlist
  bool MelodyDeckSpent = false;
  PayloadData Data;

  IPictureControl& Image32() { return *image32_; }
  IPictureControl& PrImage() { return *prImage_; }
  IControl& CfgBox() { return *cfgBox_; }
  // The settings panel in CfgBox, written back when the window closes in
  // configuration mode.
  TConfigPanel& ConfigPanel() { return *configPanel_; }
  ITimer& Timer() { return *timer_; }
  IMediaPlayer& MPlay() { return *mPlay_; }
  IControl& PanelDisplay() { return *panelDisplay_; }
  // The show's window on each monitor, the main window first.
  TMonitorWindows& MonitorWindows() { return *monitors_; }
  // The look-ahead of the next picture; nullptr when the show has none.
  TComposeAhead* ComposeAhead() { return composeAhead_.get(); }

 private:
  // IReaderHost: what the payload reader drives in the window.
  void ReadSettings(PayloadData& data) override;
  void SettingsToControls(PayloadData& data) override;
  void SetApplicationTitle(const std::string& title) override;
  std::string ApplicationTitle() const override;
  void SetWindowColor(int32_t color) override;
  void PaintBackground(PayloadData& data) override;
  void LoadBackgroundPicture(PayloadData& data) override;
  void ClearBackgroundPicture() override;
  int Random(int range) override;
  void ShowCursor() override;
  IMessageBox* MessageBox() override;
  void RequestTerminate() override;

  // IPictureSink: the show step.
  void ShowStep(int32_t index, TBitmap32& working, bool fromDesktop) override;
  void SetWindowImage(const TBitmap32& working) override;
  void PlayVideo(int32_t index, const std::string& path, TBitmap32& working) override;

  // The settings dialog's icon: the preview picture (a sample picture for
  // a saver without one) fitted into a square.
  TBitmap32 DialogIcon() const;
  // The settings dialog's close: false when the settings could not be
  // written (a box says where and why).
  bool SaveSettings();
  // Gives every monitor a window (the full-screen show), as they are now.
  void FollowMonitors();
  // Composes the picture monitor window i is to show (none: the background
  // alone) at the window's size and shows it there at once.
  void PaintAtOnce(size_t i);
  // Starts the look-ahead of the picture the next tick brings in, when a
  // tick is to come and nothing else runs.
  void PrepareNextPicture();
  // A look-ahead's frame, shown as LoadImage shows a frame it composed.
  void ShowPrepared(int32_t index, TPreparedFrame& prepared);
  void ArmTimerForNextItem();
  uint32_t ItemInterval(int32_t item) const;
  void FollowResize();
  void RecomposeAfterResize();
  void StartMusic();
  // Music plays unless muted or the show is a daemon's preview.
  bool MusicWanted() const;
  // Starts track MelodyIndex, or the next that starts when it cannot play.
  void StartMelody();
  // The playlist's next track by its order (shuffled or not, looping or not).
  void ChooseNextMelody();
  // The current track ended or was cut off: the playlist goes on.
  void NextMelody();
  // Track MelodyIndex cannot be played: skipped from now on until one plays.
  void TrackFailed();
  // Closes the video in the player, hides its panel and removes its file.
  void HideVideo();
  // A video item ended (played: to its end) and the picture cycle resumes.
  void EndVideo(bool played);
  void StopMedia();
  void RemoveMusicFile();
  // Lets a running transition end before the surfaces it paints go away.
  void WaitForTransition();
  void ReleaseShow();

  std::vector<std::string> args_;
  std::string selfPath_;
  std::unique_ptr<IWindow> window_;
  IPictureControl* image32_ = nullptr;
  IPictureControl* prImage_ = nullptr;
  IControl* cfgBox_ = nullptr;
  std::unique_ptr<TConfigPanel> configPanel_;
  IControl* panelDisplay_ = nullptr;
  std::unique_ptr<IMediaPlayer> mPlay_;
  std::unique_ptr<ITimer> timer_;
  std::unique_ptr<TScreenSaver> screenSaver_;
  std::unique_ptr<TMonitorWindows> monitors_;
  bool monitorsPending_ = false;  // a change waits for the transition to end
  IWindow* transitionWindow_ = nullptr;  // the window the running transition paints

  std::optional<TBitmap32> previewPicture_;
  TWindowHandle daemonWindow_ = 0;
  bool resized_ = false;  // the daemon's window changed size: recompose the picture on screen
  bool skipPassword_ = false;  // ending on request: no password, no question
  bool endedByInput_ = false;  // the user's input asked the show to end (the exit link opens)
  bool closing_ = false;  // the window is closing or going away: no more show steps
  bool daemonPreview_ = false;  // a daemon's window smaller than its monitor: no music
  std::set<int32_t> failedTracks_;  // tracks that failed since one last played
  bool musicFailed_ = false;        // every track failed: the music has stopped
  TShowRandom random_;
  std::unique_ptr<TBackground> background_;
  std::vector<TMemImage> cacheEntries_;
  std::unique_ptr<TPictureCache> cache_;
  std::unique_ptr<TPictureLoader> loader_;
  std::unique_ptr<TComposeAhead> composeAhead_;  // last: its worker ends first

  static inline TSSWindow* running_ = nullptr;
};

}  // namespace saver
