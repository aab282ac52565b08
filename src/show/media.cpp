// Music, video items and the wallpaper key.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "host/screen_saver.h"
#include "payload/decoders/bmp_writer.h"
#include "payload/format/extract.h"
#include "payload/compose/fit_rect.h"
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

void TSSWindow::StartMusic() {
  const PayloadTrailer& t = Data.Trailer;
  if (t.Mute) return;
  if (t.ShuffleMelody)
    MPlayNotify(true);  // draws the first track from the shuffle
  else
    LoadMelody(MelodyIndex);
}

void TSSWindow::LoadMelody(int32_t index) {
  if (index < 0 || index >= Data.Trailer.MusicCount || size_t(index) >= Data.MusicTable.size())
    return;
  const MusicEntry& entry = Data.MusicTable[size_t(index)];
  const std::string path = TempItemPath("SSSND", entry.Ext);
  // An extraction failure is the caller's to handle.
  ExtractItem(Data.SourcePath, path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
              Data.MusicPosition(entry));
  try {
    mPlay_->Close();
    mPlay_->SetFileName(path);
    mPlay_->Open();
    mPlay_->Play();
    mPlay_->SetNotify(true);
  } catch (...) {
    // A track that cannot play ends the playlist; the show goes on silent.
  }
}

void TSSWindow::MPlayNotify(bool success) {
  if (!success || closing_) return;
  try {
    mPlay_->SetNotify(false);
    if (VideoPlaying) {
      const std::string video = mPlay_->FileName();
      // Desktops here have no task bar that a video could leave uncovered.
      mPlay_->Close();
      panelDisplay_->SetVisible(false);
      RemoveFile(video);
      timer_->SetInterval(1);  // the next picture follows at once
      timer_->SetEnabled(true);
      VideoPlaying = false;
    } else {
      mPlay_->Close();
    }
    const int32_t count = Data.Trailer.MusicCount;
    if (MelodyIndex >= 0 && MelodyIndex < count) RemoveMusicFile();

    if (Data.Trailer.ShuffleMelody) {
      if (MelodyDeck.empty() && !MelodyDeckSpent) {
        for (int32_t i = 0; i < count; ++i) MelodyDeck.push_back(i);
        for (int32_t j = 0; j < count; ++j) std::swap(MelodyDeck[size_t(j)], MelodyDeck[size_t(Random(count))]);
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
    if (MelodyIndex >= 0 && MelodyIndex < count) LoadMelody(MelodyIndex);
  } catch (...) {
    // The playlist stops here.
  }
}

void TSSWindow::PlayVideo(int32_t index, const std::string& path, TBitmap32& working) {
  image32_->Buffer() = working;  // shown around the video, without a repaint
  if (MultiMonitor && secondImage_) secondImage_->Buffer() = working;
  mPlay_->SetNotify(false);
  mPlay_->SetDisplay(0);
  mPlay_->Close();  // this stops the music
  mPlay_->SetFileName(path);
  mPlay_->Open();
  const TRect natural = mPlay_->NaturalRect();
  panelDisplay_->SetEnabled(false);
  PlaceVideoPanel(PictureStretchMode(Data.PictureTable[size_t(index)], Data.Trailer), natural);
  const TRect panel = panelDisplay_->Bounds();
  mPlay_->SetDisplay(panelDisplay_->Handle());
  mPlay_->SetDisplayRect(TRect{0, 0, panel.Width(), panel.Height()});
  mPlay_->Play();
  panelDisplay_->SetVisible(true);
  panelDisplay_->BringToFront();
  mPlay_->SetNotify(true);

  timer_->SetEnabled(false);  // the video's end restarts it
  VideoPlaying = true;
  CurrentPicture = -1;
  CurrentItem = index;
  Data.Trailer.DesktopStart = 0;
  FirstPicture = false;
}

void TSSWindow::PlaceVideoPanel(int32_t mode, const TRect& natural) {
  const TRect b = window_->Bounds();
  const int32_t W = b.Width(), H = b.Height();
  const int32_t w = natural.Width(), h = natural.Height();
  const bool fits = W >= w && H >= h;
  TRect fitted = FitRect(W, H, w + 1, h + 1);
  fitted = TRect{fitted.Left, fitted.Top, fitted.Right + 1, fitted.Bottom + 1};
  TRect r;
  switch (mode) {
    case 1:
      r = TRect{0, 0, W, H};
      break;
    case 0:
      r = fitted;
      break;
    case 2:
      if (fits) {
        const int32_t width = natural.Right + 1, height = natural.Bottom + 1;
        const int32_t top = H / 2 - height / 2, left = W / 2 - width / 2;
        r = TRect{left, top, left + width, top + height};
      } else {
        r = fitted;
      }
      break;
    default: {
      const int32_t width = fits ? natural.Right + 1 : fitted.Width();
      const int32_t height = fits ? natural.Bottom + 1 : fitted.Height();
      const int32_t top = H - height > 0 ? Random(H - height) : 0;
      const int32_t left = W - width > 0 ? Random(W - width) : 0;
      r = TRect{left, top, left + width, top + height};
      break;
    }
  }
  panelDisplay_->SetBounds(r);
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
