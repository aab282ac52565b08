#pragma once
// The in-memory payload: what ReadData fills and the rest of the player reads
// for the whole run. The effective settings live in Trailer (stored user
// settings overwrite its defaults) and in Text.Effect.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/format/records.h"

namespace saver {

// The picture cache's entry of one picture item: the picture as the show
// draws it on a screen of ScreenWidth x ScreenHeight, stretched and cut to
// the part of its rectangle on that screen, and its mask made the same way.
struct TMemImage {
  bool Loaded = false;
  std::unique_ptr<TBitmap32> Picture;  // none until decoded
  std::unique_ptr<TBitmap32> Mask;     // none when the item has no mask
  int32_t Width = 0, Height = 0;       // the picture's own size, which places it
  int32_t ScreenWidth = 0, ScreenHeight = 0;
};

struct PayloadData {
  std::string SourcePath;    // the saver file the payload was read from
  int64_t FileSize = 0;      // also stored into Trailer.FileSizeSlot
  int64_t PayloadStart = 0;  // P = file size - PayloadSize
  PayloadTrailer Trailer;
  ExtraData Text;            // Title, Author, Website, ..., Effect
  std::string TempFolder;    // ends with '/'; set in show depth

  // Show depth only.
  std::vector<PictureEntry> PictureTable;
  std::vector<MaskEntry> MaskTable;
  std::vector<MusicEntry> MusicTable;   // one entry after a PlayOneRandom choice

  // Absolute file positions of the sections (section order is binding).
  int64_t PreviewStart() const { return PayloadStart + Trailer.LeadInSize; }
  int64_t PictureTableStart() const {
    return PreviewStart() + int64_t(Trailer.PreviewSize) + Trailer.BannerSize;
  }
  int64_t MaskTableStart() const { return PictureTableStart() + Trailer.PictureSectionSize; }
  int64_t BackgroundStart() const { return MaskTableStart() + Trailer.MaskSectionSize; }
  int64_t MusicSectionStart() const { return BackgroundStart() + Trailer.BackgroundSize; }
  int64_t ExtraDataStart() const { return MusicSectionStart() + Trailer.MusicSectionSize; }

  // Absolute positions of items for ExtractItem. Music Start values count
  // from the music section, not from the payload start.
  int64_t PicturePosition(const PictureEntry& e) const { return PayloadStart + e.Start; }
  int64_t MaskPosition(const MaskEntry& e) const { return PayloadStart + e.Start; }
  int64_t MusicPosition(const MusicEntry& e) const { return MusicSectionStart() + e.Start; }
};

}  // namespace saver
