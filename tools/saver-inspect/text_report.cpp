#include "text_report.h"

#include <cstdarg>
#include <cstdio>

#include "common/field_names.h"
#include "payload/compose/picture_loader.h"
#include "picture_size.h"
#include "platform/cp1252.h"

namespace saver {
namespace {

using tool::kBackPictureModes;
using tool::kCaptionPositions;
using tool::kDisplayOrders;
using tool::kItemStretchModes;
using tool::kStretchModes;
using tool::NameOf;
using tool::StyleNames;

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[1024];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

// 0x00BBGGRR as #RRGGBB, the way people write colours.
std::string Colour(int32_t bgr) {
  const auto v = uint32_t(bgr);
  if (v > 0xFFFFFF) return Format("0x%08X", v);
  return Format("#%02X%02X%02X", v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

std::string Quoted(const std::string& cp1252) {
  std::string text = Cp1252ToUtf8(cp1252), out = "\"";
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '"') out += "\\\"";
    else out += c;
  }
  return out + "\"";
}

// A flag as the manifest writes it: true or false (a byte flag may hold another value).
std::string Flag(int32_t value) {
  return value == 0 ? "false" : value == 1 ? "true" : std::to_string(value);
}

std::string Stored(int32_t size, int32_t packedSize) {
  return packedSize > 0 ? Format("%d bytes, compressed to %d", size, packedSize)
                        : Format("%d bytes, plain", size);
}

// "1-116" style ranges of the effect numbers in stored order.
std::string EffectRanges(const std::string& effect) {
  if (effect.empty()) return "none";
  std::string out;
  for (size_t i = 0; i < effect.size();) {
    size_t j = i;
    while (j + 1 < effect.size() && uint8_t(effect[j + 1]) == uint8_t(effect[j]) + 1) ++j;
    if (!out.empty()) out += ",";
    out += std::to_string(uint8_t(effect[i]));
    if (j > i) out += "-" + std::to_string(uint8_t(effect[j]));
    i = j + 1;
  }
  return out;
}

}  // namespace

std::string TextReport(const TSaverContents& contents) {
  const PayloadData& d = contents.Data;
  const PayloadTrailer& t = d.Trailer;
  const ExtraData& x = d.Text;
  std::string r;
  r += Format("File size      %lld bytes, payload from %lld (%d bytes)\n",
              (long long)d.FileSize, (long long)d.PayloadStart, t.PayloadSize);
  r += Format("Sections       lead-in %d, preview %d, banner %d, pictures %d, masks %d,\n"
              "               background %d (inflates to %d, %s), music %d, text %d\n",
              t.LeadInSize, t.PreviewSize, t.BannerSize, t.PictureSectionSize, t.MaskSectionSize,
              t.BackgroundSize, t.BackgroundUnpackedSize,
              t.BackPictureExt.empty() ? "no picture" : Cp1252ToUtf8(t.BackPictureExt).c_str(),
              t.MusicSectionSize, t.ExtraDataSize);
  r += "\nText\n";
  r += "  Title        " + Quoted(x.Title) + "\n";
  r += "  Author       " + Quoted(x.Author) + "\n";
  r += "  Website      " + Quoted(x.Website) + "\n";
  r += "  F1link       " + Quoted(x.F1link) + "\n";
  r += "  Exitlink     " + Quoted(x.Exitlink) + "\n";
  r += "  Bannerlink   " + Quoted(x.Bannerlink) + "\n";
  r += "  License      " + Quoted(x.License) + "\n";
  r += "  Readme       " + Quoted(x.Readme) + "\n";
  r += Format("  Effect       %zu effects: ", x.Effect.size()) + EffectRanges(x.Effect) + "\n";
  r += "\nSettings\n";
  r += Format("  Seconds %d, DisplayOrder ", t.Seconds) + NameOf(kDisplayOrders, t.DisplayOrder) +
       ", Stretch " + NameOf(kStretchModes, t.Stretch) + Format(", EffectSpeed %d\n", t.EffectSpeed);
  r += "  Loop " + Flag(t.Loop) + ", Mute " + Flag(t.Mute) + ", ShuffleMelody " + Flag(t.ShuffleMelody) +
       ", PlayOneRandom " + Flag(t.PlayOneRandom) + ", DesktopStart " + Flag(t.DesktopStart) +
       ", StartWithFirst " + Flag(t.StartWithFirst) + "\n";
  r += "  ExitMouseMove " + Flag(t.ExitMouseMove) + ", ExitMouseButton " + Flag(t.ExitMouseButton) +
       ", ExitKeyboard " + Flag(t.ExitKeyboard) + ", ExitESC " + Flag(t.ExitESC) + "\n";
  r += "  Hidden tabs: General " + Flag(t.HideGeneralTab) + ", Position " + Flag(t.HidePositionTab) +
       ", Effects " + Flag(t.HideEffectsTab) + ", Sound " + Flag(t.HideSoundTab) + ", Behavior " +
       Flag(t.HideBehaviorTab) + "\n";
  r += "\nBackground\n";
  r += "  BackColor " + Colour(t.BackColor) + ", BackColor2 " + Colour(t.BackColor2) +
       Format(", GradientStyle %d, BackPictureMode ", t.GradientStyle) +
       NameOf(kBackPictureModes, t.BackPictureMode) + "\n";
  r += "  RandomColors " + Flag(t.RandomColors) + ", RandomGradient " + Flag(t.RandomGradient) +
       ", RepaintBackground " + Flag(t.RepaintBackground) + "\n";

  r += Format("\nPictures (%zu)\n", d.PictureTable.size());
  for (size_t i = 0; i < d.PictureTable.size(); ++i) {
    const PictureEntry& e = d.PictureTable[i];
    std::string size = "video";
    if (!IsVideoExtension(e.Ext)) {
      const auto picture = PictureSizeOf(d, e);
      size = picture ? Format("%d x %d", picture->Width, picture->Height) : "not decodable";
    }
    r += Format("  %2zu  %-5s %s, at %d, ", i, Cp1252ToUtf8(e.Ext).c_str(), size.c_str(), e.Start) +
         Stored(e.Size, e.PackedSize);
    r += Format("; seconds %d, stretch ", e.ItemSeconds) + NameOf(kItemStretchModes, e.ItemStretch) +
         ", mask " + (e.MaskIndex < 0 ? std::string("none") : std::to_string(e.MaskIndex)) + "\n";
    if (!e.Caption.empty()) {
      r += "      caption " + Quoted(e.Caption) + " in " +
           Quoted(e.CaptionFont.empty() ? std::string("Verdana") : e.CaptionFont) +
           Format(" %dpt, style ", e.CaptionFontSize) + StyleNames(e.CaptionStyle) + ", " +
           Colour(e.CaptionColor) + " on " + Colour(e.CaptionBackColor) + ", position " +
           NameOf(kCaptionPositions, e.CaptionPos) + Format(", margin %d, ", e.CaptionMargin) +
           "transparent " + Flag(e.CaptionTransparent) + ", multi-line " + Flag(e.CaptionMultiLine) +
           ", shadow " + Flag(e.CaptionShadow) + "\n";
    }
  }
  r += Format("\nMasks (%zu)\n", d.MaskTable.size());
  for (size_t i = 0; i < d.MaskTable.size(); ++i) {
    const MaskEntry& e = d.MaskTable[i];
    const char* format = e.Format == 0 ? "BMP" : e.Format == 1 ? "PNG" : "GIF";
    r += Format("  %2zu  %-5s at %d, ", i, format, e.Start) + Stored(e.Size, e.PackedSize) + "\n";
  }
  r += Format("\nMusic (%zu)\n", d.MusicTable.size());
  for (size_t i = 0; i < d.MusicTable.size(); ++i) {
    const MusicEntry& e = d.MusicTable[i];
    r += Format("  %2zu  %-5s at %d in the section, ", i, Cp1252ToUtf8(e.Ext).c_str(), e.Start) +
         Stored(e.Size, e.PackedSize) + "\n";
  }
  return r;
}

}  // namespace saver
