#include "json_report.h"

#include "platform/cp1252.h"

namespace saver {
namespace {

using nlohmann::ordered_json;

ordered_json TrailerJson(const PayloadTrailer& t) {
  ordered_json j;
  j["PayloadSize"] = t.PayloadSize;
  j["FileSizeSlot"] = t.FileSizeSlot;
  j["PictureCount"] = t.PictureCount;
  j["MusicCount"] = t.MusicCount;
  j["MaskCount"] = t.MaskCount;
  j["Seconds"] = t.Seconds;
  j["DisplayOrder"] = t.DisplayOrder;
  j["PictureSectionSize"] = t.PictureSectionSize;
  j["BackgroundSize"] = t.BackgroundSize;
  j["BackgroundUnpackedSize"] = t.BackgroundUnpackedSize;
  j["MaskSectionSize"] = t.MaskSectionSize;
  j["PreviewSize"] = t.PreviewSize;
  j["MusicSectionSize"] = t.MusicSectionSize;
  j["ExtraDataSize"] = t.ExtraDataSize;
  j["BannerSize"] = t.BannerSize;
  j["LeadInSize"] = t.LeadInSize;
  j["BackColor"] = t.BackColor;
  j["BackColor2"] = t.BackColor2;
  j["GradientStyle"] = t.GradientStyle;
  j["BackPictureMode"] = t.BackPictureMode;
  j["RandomColors"] = t.RandomColors;
  j["RandomGradient"] = t.RandomGradient;
  j["RepaintBackground"] = t.RepaintBackground;
  j["Stretch"] = t.Stretch;
  j["Loop"] = t.Loop;
  j["Mute"] = t.Mute;
  j["ShuffleMelody"] = t.ShuffleMelody;
  j["DesktopStart"] = t.DesktopStart;
  j["StartWithFirst"] = t.StartWithFirst;
  j["PlayOneRandom"] = t.PlayOneRandom;
  j["ExitMouseMove"] = t.ExitMouseMove;
  j["ExitMouseButton"] = t.ExitMouseButton;
  j["ExitKeyboard"] = t.ExitKeyboard;
  j["ExitESC"] = t.ExitESC;
  j["HideGeneralTab"] = t.HideGeneralTab;
  j["HidePositionTab"] = t.HidePositionTab;
  j["HideEffectsTab"] = t.HideEffectsTab;
  j["HideSoundTab"] = t.HideSoundTab;
  j["HideBehaviorTab"] = t.HideBehaviorTab;
  j["EffectSpeed"] = t.EffectSpeed;
  j["BackPictureExt"] = Cp1252ToUtf8(t.BackPictureExt);
  return j;
}

ordered_json TextJson(const ExtraData& x) {
  ordered_json j;
  j["Title"] = Cp1252ToUtf8(x.Title);
  j["Author"] = Cp1252ToUtf8(x.Author);
  j["Website"] = Cp1252ToUtf8(x.Website);
  j["F1link"] = Cp1252ToUtf8(x.F1link);
  j["Exitlink"] = Cp1252ToUtf8(x.Exitlink);
  j["Bannerlink"] = Cp1252ToUtf8(x.Bannerlink);
  j["License"] = Cp1252ToUtf8(x.License);
  j["Readme"] = Cp1252ToUtf8(x.Readme);
  ordered_json effect = ordered_json::array();
  for (char c : x.Effect) effect.push_back(int(uint8_t(c)));
  j["Effect"] = effect;
  return j;
}

ordered_json PictureJson(const PictureEntry& e) {
  ordered_json j;
  j["Start"] = e.Start;
  j["Size"] = e.Size;
  j["PackedSize"] = e.PackedSize;
  j["Ext"] = Cp1252ToUtf8(e.Ext);
  j["CaptionPos"] = e.CaptionPos;
  j["CaptionColor"] = e.CaptionColor;
  j["CaptionMargin"] = e.CaptionMargin;
  j["CaptionBackColor"] = e.CaptionBackColor;
  j["CaptionFont"] = Cp1252ToUtf8(e.CaptionFont);
  j["CaptionStyle"] = e.CaptionStyle;
  j["CaptionFontSize"] = e.CaptionFontSize;
  j["Caption"] = Cp1252ToUtf8(e.Caption);
  j["CaptionTransparent"] = e.CaptionTransparent;
  j["CaptionMultiLine"] = e.CaptionMultiLine;
  j["CaptionShadow"] = e.CaptionShadow;
  j["ItemSeconds"] = e.ItemSeconds;
  j["ItemStretch"] = e.ItemStretch;
  j["MaskIndex"] = e.MaskIndex;
  return j;
}

ordered_json MaskJson(const MaskEntry& e) {
  ordered_json j;
  j["Start"] = e.Start;
  j["Size"] = e.Size;
  j["PackedSize"] = e.PackedSize;
  j["Format"] = e.Format;
  return j;
}

ordered_json MusicJson(const MusicEntry& e) {
  ordered_json j;
  j["Start"] = e.Start;
  j["Size"] = e.Size;
  j["PackedSize"] = e.PackedSize;
  j["Ext"] = Cp1252ToUtf8(e.Ext);
  return j;
}

template <class Entry, class F>
ordered_json ArrayOf(const std::vector<Entry>& entries, F&& toJson) {
  ordered_json a = ordered_json::array();
  for (const Entry& e : entries) a.push_back(toJson(e));
  return a;
}

}  // namespace

ordered_json JsonReport(const TSaverContents& contents) {
  const PayloadData& d = contents.Data;
  ordered_json j;
  j["payload_start"] = d.PayloadStart;
  j["file_size"] = d.FileSize;
  j["trailer"] = TrailerJson(d.Trailer);
  j["text"] = TextJson(d.Text);
  j["pictures"] = ArrayOf(d.PictureTable, PictureJson);
  j["masks"] = ArrayOf(d.MaskTable, MaskJson);
  j["music"] = ArrayOf(d.MusicTable, MusicJson);
  return j;
}

}  // namespace saver
