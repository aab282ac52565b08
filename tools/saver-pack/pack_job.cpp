#include "pack_job.h"

#include <cctype>
#include <filesystem>

namespace saver {

std::string AllEffects() {
  std::string all;
  for (int n = 1; n <= 116; ++n) all += char(n);
  return all;
}

std::string ExtensionOf(const std::string& path) {
  return std::filesystem::path(path).extension().string();
}

std::string LowerExtensionOf(const std::string& path) {
  std::string ext = ExtensionOf(path);
  for (char& c : ext) c = char(std::tolower(uint8_t(c)));
  return ext;
}

TPackJob DefaultPackJob() {
  TPackJob job;
  PayloadTrailer& t = job.Trailer;
  t.Seconds = 10;
  t.DisplayOrder = 0;
  t.Stretch = 0;
  t.EffectSpeed = 5;
  t.BackPictureMode = 1;
  t.Loop = 1;
  t.ExitMouseMove = 1;
  t.ExitMouseButton = 1;
  t.ExitKeyboard = 1;
  t.ExitESC = 1;
  job.Text.Effect = AllEffects();

  PictureEntry& c = job.PictureDefaults;
  c.CaptionPos = 5;                // bottom centre
  c.CaptionColor = 0x00FFFFFF;
  c.CaptionBackColor = 0x00000000;
  c.CaptionMargin = 20;
  c.CaptionFontSize = 18;
  c.CaptionTransparent = 1;
  c.CaptionShadow = 1;
  c.ItemSeconds = 0;
  c.ItemStretch = -1;
  c.MaskIndex = -1;
  return job;
}

}  // namespace saver
