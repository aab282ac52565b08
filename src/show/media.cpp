// Music, video items and the wallpaper key.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "host/screen_saver.h"
#include "payload/decoders/bmp_writer.h"
#include "payload/format/extract.h"
#include "payload/compose/fit_rect.h"
#include "payload/compose/picture_loader.h"
#include "payload/format/log_line.h"
#include "payload/format/temp_file.h"
#include "payload/decoders/picture_decoder.h"
#include "platform/cp1252.h"
#include "platform/desktop_wallpaper.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "show/saver_window.h"

namespace saver {

namespace {

constexpr char kWallpaperMessage[] = "Setting this picture as wallpaper";
constexpr char kWallpaperFile[] = "Screen Saver Wallpaper.bmp";

void RemoveFile(const std::string& path) {
  if (!path.empty()) std::remove(path.c_str());
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool TSSWindow::MusicWanted() const { return !Data.Trailer.Mute && !daemonPreview_; }

void TSSWindow::StartMusic() {
  if (!MusicWanted()) return;
  if (Data.Trailer.ShuffleMelody) ChooseNextMelody();  // the first track comes from the shuffle
  StartMelody();
}

bool TSSWindow::LoadMelody(int32_t index) {
  if (index < 0 || index >= Data.Trailer.MusicCount || size_t(index) >= Data.MusicTable.size())
    return false;
  const MusicEntry& entry = Data.MusicTable[size_t(index)];
  try {
    const std::string path = TempItemPath("SSSND", entry.Ext);
    ExtractItem(Data.SourcePath, path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
                Data.MusicPosition(entry));
    mPlay_->Close();
    mPlay_->SetFileName(path);
    mPlay_->Open();
    mPlay_->Play();
    mPlay_->SetNotify(true);
    return true;
  } catch (...) {
    return false;  // a damaged item, or one the player cannot open
  }
}

void TSSWindow::StartMelody() {
  while (!musicFailed_ && MelodyIndex >= 0 && MelodyIndex < Data.Trailer.MusicCount) {
    if (LoadMelody(MelodyIndex)) return;
    TrackFailed();
    ChooseNextMelody();
  }
}

void TSSWindow::TrackFailed() {
  RemoveMusicFile();
  failedTracks_.insert(MelodyIndex);
  // Every track has failed since one last played: trying them again would
  // only fail again, round and round.
  if (failedTracks_.size() >= size_t(Data.Trailer.MusicCount)) {
    musicFailed_ = true;
    LogLine("No music track can be played: the show goes on without music");
  }
}

void TSSWindow::ChooseNextMelody() {
  const int32_t count = Data.Trailer.MusicCount;
  if (Data.Trailer.ShuffleMelody) {
    if (MelodyDeck.empty() && !MelodyDeckSpent) {
      for (int32_t i = 0; i < count; ++i) MelodyDeck.push_back(i);
      for (int32_t j = 0; j < count; ++j)
        std::swap(MelodyDeck[size_t(j)], MelodyDeck[size_t(Random(count))]);
    }
    if (!MelodyDeck.empty()) {
      MelodyIndex = MelodyDeck.back();
      MelodyDeck.pop_back();
      if (MelodyDeck.empty() && !Data.Trailer.Loop) MelodyDeckSpent = true;
    } else {
      MelodyIndex = -1;  // a spent playlist
    }
  } else {
    ++MelodyIndex;
    if (MelodyIndex >= count && Data.Trailer.Loop) MelodyIndex = 0;
  }
}

void TSSWindow::NextMelody() {
  RemoveMusicFile();
  if (!MusicWanted() || musicFailed_) return;
  ChooseNextMelody();
  StartMelody();
}

void TSSWindow::MPlayNotify(bool success) {
  if (closing_) return;
  try {
    mPlay_->SetNotify(false);
    if (VideoPlaying) {
      EndVideo(success);
    } else {
      mPlay_->Close();
      if (success)
        failedTracks_.clear();
      else
        TrackFailed();
    }
    NextMelody();
  } catch (...) {
    // The playlist stops here.
  }
}

void TSSWindow::HideVideo() {
  const std::string video = mPlay_->FileName();
  // Desktops here have no task bar that a video could leave uncovered.
  mPlay_->Close();
  mPlay_->SetDisplay(0);  // tracks have no picture to show
  panelDisplay_->SetVisible(false);
  RemoveFile(video);
}

void TSSWindow::EndVideo(bool played) {
  HideVideo();
  VideoPlaying = false;
  // After a video the next picture follows at once; after one that broke
  // off, once the item's time is up.
  timer_->SetInterval(played ? 1 : ItemInterval(CurrentItem));
  timer_->SetEnabled(true);
}

void TSSWindow::PlayVideo(int32_t index, const std::string& path, TBitmap32& working) {
  image32_->Buffer() = working;  // shown around the video, without a repaint
  mPlay_->SetNotify(false);
  mPlay_->Close();  // this stops the music
  // The player loads a video, and learns its size, only with a window to
  // draw it in; that window must be on screen before the player takes it.
  // It waits just outside the window's area until the video's size places it.
  const TRect client = window_->Bounds();
  panelDisplay_->SetBounds(TRect{client.Width(), client.Height(), client.Width() + 1,
                                 client.Height() + 1});
  panelDisplay_->SetVisible(true);
  mPlay_->SetDisplay(panelDisplay_->Handle());
  mPlay_->SetFileName(path);
  try {
    mPlay_->Open();
  } catch (const MediaError&) {
    // The show goes on when the item's time is up, with the music.
    HideVideo();
    CurrentItem = index;
    NextMelody();
    return;
  }
  const TRect natural = mPlay_->NaturalRect();
  panelDisplay_->SetEnabled(false);
  PlaceVideoPanel(PictureStretchMode(Data.PictureTable[size_t(index)], Data.Trailer), natural);
  const TRect panel = panelDisplay_->Bounds();
  panelDisplay_->Handle();  // the player's window follows the panel's new place at once
  mPlay_->SetDisplayRect(TRect{0, 0, panel.Width(), panel.Height()});
  mPlay_->Play();
  panelDisplay_->SetVisible(true);
  panelDisplay_->BringToFront();
  mPlay_->SetNotify(true);

  timer_->SetEnabled(false);  // the video's end restarts it
  VideoPlaying = true;
  CurrentPicture = -1;
  (*monitors_)[0].Picture = -1;
  CurrentItem = index;
  Data.Trailer.DesktopStart = 0;
  FirstPicture = false;
}

void TSSWindow::PlaceVideoPanel(int32_t mode, const TRect& natural) {
  const TRect b = window_->Bounds();
  const int32_t W = b.Width(), H = b.Height();
  const int32_t w = natural.Width(), h = natural.Height();
  // Placed as a picture of the video's size; a video cannot be cut off, so
  // one larger than the screen is fitted when centred too.
  if (mode == StretchCentre && (w > W || h > H)) mode = StretchFit;
  panelDisplay_->SetBounds(
      PictureRect(mode, false, W, H, w, h, [this](int32_t range) { return Random(range); }));
}

void TSSWindow::StopMedia() {
  mPlay_->SetNotify(false);
  mPlay_->Close();
  RemoveFile(mPlay_->FileName());
}

void TSSWindow::RemoveMusicFile() {
  if (MelodyIndex < 0 || size_t(MelodyIndex) >= Data.MusicTable.size()) return;
  try {
    RemoveFile(TempItemPath("SSSND", Data.MusicTable[size_t(MelodyIndex)].Ext));
  } catch (...) {
    // An extension no file could have been written under.
  }
}

void TSSWindow::RemoveTemporaryFiles() {
  if (composeAhead_) composeAhead_->Cancel();  // its item file goes as it ends
  RemoveFile(mPlay_->FileName());
  RemoveMusicFile();
}

void TSSWindow::SetCurrentImageAsWallpaper() {
  if (CurrentPicture < 0 || size_t(CurrentPicture) >= Data.PictureTable.size()) return;
  // The message stays on screen until the next picture replaces it.
  TBitmap32& buffer = image32_->Buffer();
  const TFontInfo font{.Name = "Sans", .Size = 14, .Bold = true};
  TextRenderer().Draw(buffer, 101, 201, kWallpaperMessage, font, Color32(0, 0, 0));
  TextRenderer().Draw(buffer, 100, 200, kWallpaperMessage, font, Color32(255, 255, 255));
  image32_->Repaint();

  const PictureEntry& entry = Data.PictureTable[size_t(CurrentPicture)];
  // Removed however the command ends.
  const TTempFile temp(TempItemPath("SSWIMG", entry.Ext));
  ExtractItem(Data.SourcePath, temp.Path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
              Data.PicturePosition(entry));
  const std::string wallpaper = WindowsFolder() + kWallpaperFile;
  const TBitmap32 picture = DecodePictureFile(temp.Path, entry.Ext);
  if (Lower(std::filesystem::path(temp.Path).extension().string()) == ".bmp")
    std::filesystem::copy_file(temp.Path, wallpaper,
                               std::filesystem::copy_options::overwrite_existing);
  else
    WriteBmpFile(picture, wallpaper);
  ApplyWallpaper(wallpaper, picture, Data.Trailer.Stretch == 1);
}

void TSSWindow::ApplyWallpaper(const std::string& file, const TBitmap32& picture, bool stretched) {
  Registry().WriteValues(kDesktopKey, {{"Wallpaper", RegValue::Sz(Utf8ToCp1252(file))},
                                       {"TileWallpaper", RegValue::Sz("0")},
                                       {"WallpaperStyle", RegValue::Sz(stretched ? "2" : "0")},
                                       {"WallpaperOriginX", RegValue::Sz("0")},
                                       {"WallpaperOriginY", RegValue::Sz("0")}});
  WallpaperReload().Reload(file, picture, stretched);
}

}  // namespace saver
