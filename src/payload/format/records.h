#pragma once
// The payload's fixed records: the trailer, the three item-table entries and
// the ExtraData text fields. Each record has exactly one field description
// (its VisitFields function below) that both parsing and writing walk, so the
// reader and the packer cannot disagree on an offset.
//
// All integers are little-endian. Text is Windows-1252 bytes kept as
// std::string bytes; convert with Cp1252ToUtf8 at a display or path boundary.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace saver {

inline constexpr size_t kTrailerSize = 164;
inline constexpr size_t kMagicSize = 10;
inline constexpr char kMagic[kMagicSize + 1] = "Kelvastrom";
inline constexpr size_t kTrailerAndMagicSize = kTrailerSize + kMagicSize;  // 174
inline constexpr size_t kPictureEntrySize = 572;
inline constexpr size_t kMaskEntrySize = 16;
inline constexpr size_t kMusicEntrySize = 572;
inline constexpr size_t kExtFieldSize = 5;         // ".jpeg" fills it, no terminator
inline constexpr size_t kShortStringSize = 252;    // length byte + 251 characters
inline constexpr size_t kShortStringMaxLength = 251;
inline constexpr size_t kExtraDataCount = 16;
inline constexpr size_t kMaxPrefixedStringLength = 65535;

// Raised for bytes that do not form a valid payload (short reads, bad magic,
// sizes that point outside the file) and for values a record cannot hold.
class PayloadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PayloadTrailer {
  int32_t PayloadSize = 0;
  int32_t FileSizeSlot = 0;
  int32_t PictureCount = 0;
  int32_t MusicCount = 0;
  int32_t MaskCount = 0;
  int32_t Seconds = 0;
  int32_t DisplayOrder = 0;
  int32_t PictureSectionSize = 0;
  int32_t BackgroundSize = 0;
  int32_t BackgroundUnpackedSize = 0;
  int32_t MaskSectionSize = 0;
  int32_t PreviewSize = 0;
  int32_t MusicSectionSize = 0;
  int32_t ExtraDataSize = 0;
  int32_t BannerSize = 0;
  int32_t LeadInSize = 0;
  int32_t BackColor = 0;       // 0x00BBGGRR
  int32_t BackColor2 = 0;      // 0x00BBGGRR
  int32_t GradientStyle = 0;
  int32_t BackPictureMode = 0;
  uint8_t RandomColors = 0;
  uint8_t RandomGradient = 0;
  uint8_t RepaintBackground = 0;
  int32_t Stretch = 0;
  uint8_t Loop = 0;
  uint8_t Mute = 0;
  uint8_t ShuffleMelody = 0;
  uint8_t DesktopStart = 0;
  uint8_t StartWithFirst = 0;
  uint8_t PlayOneRandom = 0;
  uint8_t ExitMouseMove = 0;
  uint8_t ExitMouseButton = 0;
  uint8_t ExitKeyboard = 0;
  uint8_t ExitESC = 0;
  uint8_t HideGeneralTab = 0;
  uint8_t HidePositionTab = 0;
  uint8_t HideEffectsTab = 0;
  uint8_t HideSoundTab = 0;
  uint8_t HideBehaviorTab = 0;
  int32_t EffectSpeed = 0;
  std::string BackPictureExt;                 // at most 5 bytes
  std::array<uint8_t, 51> Reserved{};         // kept so a rewrite is byte-exact

  bool operator==(const PayloadTrailer&) const = default;
};

struct PictureEntry {
  int32_t Start = 0;        // from the payload start
  int32_t Size = 0;
  int32_t PackedSize = 0;   // 0 = stored plain
  std::string Ext;          // at most 5 bytes, with the dot
  int32_t CaptionPos = 0;
  int32_t CaptionColor = 0;
  int32_t CaptionMargin = 0;
  int32_t CaptionBackColor = 0;
  std::string CaptionFont;  // at most 251 bytes; empty = "Verdana"
  int32_t CaptionStyle = 0;
  int32_t CaptionFontSize = 0;
  std::string Caption;      // at most 251 bytes; empty = no caption
  int32_t CaptionTransparent = 0;
  int32_t CaptionMultiLine = 0;
  int32_t CaptionShadow = 0;
  int32_t ItemSeconds = 0;
  int32_t ItemStretch = -1;
  int32_t MaskIndex = -1;

  bool operator==(const PictureEntry&) const = default;
};

struct MaskEntry {
  int32_t Start = 0;        // from the payload start
  int32_t Size = 0;
  int32_t PackedSize = 0;
  uint8_t Format = 0;       // 0 BMP, 1 PNG, other GIF

  bool operator==(const MaskEntry&) const = default;
};

struct MusicEntry {
  int32_t Start = 0;        // from the start of the music section, not the payload
  int32_t Size = 0;
  int32_t PackedSize = 0;
  std::string Ext;
  std::array<uint8_t, 555> Unused{};

  bool operator==(const MusicEntry&) const = default;
};

// The sixteen length-prefixed strings, in their stored order.
struct ExtraData {
  std::string Title;
  std::string Author;
  std::string Website;
  std::array<std::string, 7> Reserved;
  std::string F1link;
  std::string Exitlink;
  std::string Bannerlink;
  std::string License;
  std::string Readme;
  std::string Effect;  // one byte per selected effect number

  bool operator==(const ExtraData&) const = default;
};

// Field visitors. A visitor V provides:
//   I32(offset, int32_t&), U8(offset, uint8_t&), Ext(offset, std::string&),
//   ShortString(offset, std::string&), Bytes(offset, std::array<uint8_t, N>&)
// (const references when the record is const). Offsets not named are padding
// and are written as zero.
template <class Trailer, class V>
void VisitTrailerFields(Trailer& t, V&& v) {
  v.I32(0, t.PayloadSize);
  v.I32(4, t.FileSizeSlot);
  v.I32(8, t.PictureCount);
  v.I32(12, t.MusicCount);
  v.I32(16, t.MaskCount);
  v.I32(20, t.Seconds);
  v.I32(24, t.DisplayOrder);
  v.I32(28, t.PictureSectionSize);
  v.I32(32, t.BackgroundSize);
  v.I32(36, t.BackgroundUnpackedSize);
  v.I32(40, t.MaskSectionSize);
  v.I32(44, t.PreviewSize);
  v.I32(48, t.MusicSectionSize);
  v.I32(52, t.ExtraDataSize);
  v.I32(56, t.BannerSize);
  v.I32(60, t.LeadInSize);
  v.I32(64, t.BackColor);
  v.I32(68, t.BackColor2);
  v.I32(72, t.GradientStyle);
  v.I32(76, t.BackPictureMode);
  v.U8(80, t.RandomColors);
  v.U8(81, t.RandomGradient);
  v.U8(82, t.RepaintBackground);
  v.I32(84, t.Stretch);
  v.U8(88, t.Loop);
  v.U8(89, t.Mute);
  v.U8(90, t.ShuffleMelody);
  v.U8(91, t.DesktopStart);
  v.U8(92, t.StartWithFirst);
  v.U8(93, t.PlayOneRandom);
  v.U8(94, t.ExitMouseMove);
  v.U8(95, t.ExitMouseButton);
  v.U8(96, t.ExitKeyboard);
  v.U8(97, t.ExitESC);
  v.U8(98, t.HideGeneralTab);
  v.U8(99, t.HidePositionTab);
  v.U8(100, t.HideEffectsTab);
  v.U8(101, t.HideSoundTab);
  v.U8(102, t.HideBehaviorTab);
  v.I32(104, t.EffectSpeed);
  v.Ext(108, t.BackPictureExt);
  v.Bytes(113, t.Reserved);
}

template <class Entry, class V>
void VisitPictureEntryFields(Entry& e, V&& v) {
  v.I32(0, e.Start);
  v.I32(4, e.Size);
  v.I32(8, e.PackedSize);
  v.Ext(12, e.Ext);
  v.I32(20, e.CaptionPos);
  v.I32(24, e.CaptionColor);
  v.I32(28, e.CaptionMargin);
  v.I32(32, e.CaptionBackColor);
  v.ShortString(36, e.CaptionFont);
  v.I32(288, e.CaptionStyle);
  v.I32(292, e.CaptionFontSize);
  v.ShortString(296, e.Caption);
  v.I32(548, e.CaptionTransparent);
  v.I32(552, e.CaptionMultiLine);
  v.I32(556, e.CaptionShadow);
  v.I32(560, e.ItemSeconds);
  v.I32(564, e.ItemStretch);
  v.I32(568, e.MaskIndex);
}

template <class Entry, class V>
void VisitMaskEntryFields(Entry& e, V&& v) {
  v.I32(0, e.Start);
  v.I32(4, e.Size);
  v.I32(8, e.PackedSize);
  v.U8(12, e.Format);
}

template <class Entry, class V>
void VisitMusicEntryFields(Entry& e, V&& v) {
  v.I32(0, e.Start);
  v.I32(4, e.Size);
  v.I32(8, e.PackedSize);
  v.Ext(12, e.Ext);
  v.Bytes(17, e.Unused);
}

// Parsing takes exactly the record's size in bytes (PayloadError otherwise).
// Serializing raises PayloadError when a text does not fit its field.
PayloadTrailer ParseTrailer(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializeTrailer(const PayloadTrailer& t);
PictureEntry ParsePictureEntry(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializePictureEntry(const PictureEntry& e);
MaskEntry ParseMaskEntry(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializeMaskEntry(const MaskEntry& e);
MusicEntry ParseMusicEntry(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializeMusicEntry(const MusicEntry& e);

// Length-prefixed string: u16 byte count, then the bytes.
void AppendPrefixedString(std::vector<uint8_t>& out, const std::string& text);
// Reads one length-prefixed string at pos and advances pos past it.
std::string ParsePrefixedString(std::span<const uint8_t> bytes, size_t& pos);

// The sixteen strings back to back. Parse consumes exactly the strings and
// reports how many bytes they took in *consumed when it is given.
ExtraData ParseExtraData(std::span<const uint8_t> bytes, size_t* consumed = nullptr);
std::vector<uint8_t> SerializeExtraData(const ExtraData& x);

// The ten magic bytes, no terminator.
std::vector<uint8_t> MagicBytes();
bool IsMagic(std::span<const uint8_t> bytes);

}  // namespace saver
