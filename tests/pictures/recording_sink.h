#pragma once
// A picture sink that records what the loader handed to the show.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/compose/picture_loader.h"

namespace saver::test {

struct RecordingSink : IPictureSink {
  void ShowStep(int32_t index, TBitmap32& working, bool fromDesktop) override {
    shown.push_back(index);
    desktop = fromDesktop;
    frame = working;
  }
  void SetWindowImage(const TBitmap32& working) override { windowImage = working; }
  void PlayVideo(int32_t index, const std::string& path, TBitmap32&) override {
    videos.push_back(index);
    videoPath = path;
  }
  std::vector<int32_t> shown, videos;
  bool desktop = false;
  TBitmap32 frame, windowImage;
  std::string videoPath;
};

}  // namespace saver::test
