#pragma once
// Builds whole saver files for the picture tests: a stand-in player followed
// by a payload with pictures, masks, a background and a preview picture.
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/decoders/png_writer.h"
#include "payload/format/records.h"

namespace saver::testing {

inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK) return {};
  out.resize(size);
  return out;
}

// A 24-bit bottom-up Windows bitmap file of b.
inline std::vector<uint8_t> EncodeBmp(const TBitmap32& b) {
  const uint32_t stride = (uint32_t(b.Width()) * 3 + 3) & ~3u;
  const uint32_t imageSize = stride * uint32_t(b.Height()), fileSize = 54 + imageSize;
  std::vector<uint8_t> out(fileSize, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
  };
  out[0] = 'B', out[1] = 'M';
  put32(2, fileSize);
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(b.Width()));
  put32(22, uint32_t(b.Height()));
  out[26] = 1, out[28] = 24;
  put32(34, imageSize);
  for (int32_t y = 0; y < b.Height(); ++y) {
    uint8_t* row = out.data() + 54 + size_t(b.Height() - 1 - y) * stride;
    for (int32_t x = 0; x < b.Width(); ++x) {
      const TColor32 p = b.Pixel(x, y);
      row[x * 3] = BlueOf(p), row[x * 3 + 1] = GreenOf(p), row[x * 3 + 2] = RedOf(p);
    }
  }
  return out;
}

struct SaverBuilder {
  struct Item {
    PictureEntry entry;
    std::vector<uint8_t> data;
    bool compressed = false;
  };
  struct Mask {
    MaskEntry entry;
    std::vector<uint8_t> data;
  };

  PayloadTrailer trailer;  // settings; lengths, counts and positions are filled in
  ExtraData text;
  std::vector<Item> pictures;
  std::vector<Mask> masks;
  std::vector<Item> music;          // entry.Ext and data; positions are filled in
  std::vector<uint8_t> preview;     // a BMP file, or nothing
  std::vector<uint8_t> banner;      // the banner section's bytes, or nothing
  std::vector<uint8_t> background;  // a picture file, stored compressed, or nothing
  std::vector<uint8_t> player;      // the program the payload follows; a stand-in when empty

  SaverBuilder() { trailer.Stretch = 0; }

  // Adds a picture item; returns its entry for captions, modes and masks.
  PictureEntry& AddPicture(std::vector<uint8_t> data, const std::string& ext,
                           bool compressed = false) {
    Item item;
    item.entry.Ext = ext;
    item.data = std::move(data);
    item.compressed = compressed;
    pictures.push_back(std::move(item));
    return pictures.back().entry;
  }
  PictureEntry& AddPng(const TBitmap32& b, bool compressed = false) {
    return AddPicture(EncodePng(b), ".png", compressed);
  }
  void AddMusic(std::vector<uint8_t> data, const std::string& ext, bool compressed = false) {
    Item item;
    item.entry.Ext = ext;
    item.data = std::move(data);
    item.compressed = compressed;
    music.push_back(std::move(item));
  }
  int32_t AddMask(std::vector<uint8_t> data, uint8_t format) {
    Mask m;
    m.entry.Format = format;
    m.data = std::move(data);
    masks.push_back(std::move(m));
    return int32_t(masks.size() - 1);
  }

  std::vector<uint8_t> Build() {
    std::vector<uint8_t> payload;
    auto append = [&](const std::vector<uint8_t>& b) {
      payload.insert(payload.end(), b.begin(), b.end());
    };
    trailer.LeadInSize = 0;
    trailer.PreviewSize = int32_t(preview.size());
    append(preview);
    trailer.BannerSize = int32_t(banner.size());
    append(banner);

    const size_t pictureTable = payload.size();
    trailer.PictureCount = int32_t(pictures.size());
    size_t at = pictureTable + pictures.size() * kPictureEntrySize;
    std::vector<std::vector<uint8_t>> stored;
    for (Item& item : pictures) {
      stored.push_back(item.compressed ? Deflate(item.data) : item.data);
      item.entry.Start = int32_t(at);
      item.entry.Size = int32_t(item.data.size());
      item.entry.PackedSize = item.compressed ? int32_t(stored.back().size()) : 0;
      at += stored.back().size();
    }
    for (const Item& item : pictures) append(SerializePictureEntry(item.entry));
    for (const auto& s : stored) append(s);
    trailer.PictureSectionSize = int32_t(payload.size() - pictureTable);

    const size_t maskTable = payload.size();
    trailer.MaskCount = int32_t(masks.size());
    at = maskTable + masks.size() * kMaskEntrySize;
    for (Mask& m : masks) {
      m.entry.Start = int32_t(at);
      m.entry.Size = int32_t(m.data.size());
      m.entry.PackedSize = 0;
      at += m.data.size();
    }
    for (const Mask& m : masks) append(SerializeMaskEntry(m.entry));
    for (const Mask& m : masks) append(m.data);
    trailer.MaskSectionSize = int32_t(payload.size() - maskTable);

    const std::vector<uint8_t> packedBackground = background.empty() ? background
                                                                      : Deflate(background);
    trailer.BackgroundSize = int32_t(packedBackground.size());
    trailer.BackgroundUnpackedSize = int32_t(background.size());
    append(packedBackground);
    // Music: the table, then the tracks; positions count from the table.
    const size_t musicTable = payload.size();
    trailer.MusicCount = int32_t(music.size());
    at = music.size() * kMusicEntrySize;
    std::vector<std::vector<uint8_t>> storedMusic;
    std::vector<MusicEntry> musicEntries;
    for (const Item& track : music) {
      storedMusic.push_back(track.compressed ? Deflate(track.data) : track.data);
      MusicEntry e;
      e.Ext = track.entry.Ext;
      e.Start = int32_t(at);
      e.Size = int32_t(track.data.size());
      e.PackedSize = track.compressed ? int32_t(storedMusic.back().size()) : 0;
      at += storedMusic.back().size();
      musicEntries.push_back(e);
    }
    for (const MusicEntry& e : musicEntries) append(SerializeMusicEntry(e));
    for (const auto& stored : storedMusic) append(stored);
    trailer.MusicSectionSize = int32_t(payload.size() - musicTable);
    const std::vector<uint8_t> extra = SerializeExtraData(text);
    trailer.ExtraDataSize = int32_t(extra.size());
    append(extra);
    trailer.PayloadSize = int32_t(payload.size() + kTrailerAndMagicSize);
    trailer.FileSizeSlot = 0;
    append(SerializeTrailer(trailer));
    append(MagicBytes());

    std::vector<uint8_t> file = player.empty() ? std::vector<uint8_t>(100, 0x90) : player;
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
  }
};

}  // namespace saver::testing
