#pragma once
// Test double of the wallpaper reload: remembers each request and fails
// with `failure` when it is set.
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop_wallpaper.h"

namespace saver {

class RecordingWallpaperReload final : public IWallpaperReload {
 public:
  void Reload(const std::string& path, const TBitmap32& picture, bool stretched) override {
    calls.emplace_back(path, stretched);
    pictures.push_back(picture);
    if (!failure.empty()) throw WallpaperError(failure);
  }
  std::vector<std::pair<std::string, bool>> calls;
  std::vector<TBitmap32> pictures;
  std::string failure;
};

}  // namespace saver
