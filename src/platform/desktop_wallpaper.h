#pragma once
// Makes the running desktop show a picture file as its wallpaper, through
// the desktop's own settings tools.
#include <string>
#include <utility>
#include <vector>

#include "platform/command_runner.h"

namespace saver {

class IWallpaperReload {
 public:
  virtual ~IWallpaperReload() = default;
  // Makes the running desktop show the picture file (absolute UTF-8 path), stretched over the
  // screen or centred unscaled. Returns false when this desktop has no setting the saver knows.
  virtual bool Reload(const std::string& path, bool stretched) = 0;
};

// The desktops whose wallpaper setting the saver knows.
enum class TDesktopKind {
  Unknown,
  Gnome,     // GNOME, Budgie, Unity, Pantheon: org.gnome.desktop.background
  Cinnamon,  // org.cinnamon.desktop.background
  Mate,      // org.mate.background
  Xfce,      // the xfce4-desktop channel of xfconf
  Kde,       // Plasma's scripting interface on the session bus
};

// The desktop named by an XDG_CURRENT_DESKTOP value: a colon-separated list
// whose first entry the saver knows wins, compared case-insensitively.
TDesktopKind DesktopKindOf(const std::string& xdgCurrentDesktop);

// "file://" + the path with every byte but unreserved characters and '/'
// percent-encoded.
std::string FileUri(const std::string& path);

// The desktop's reloader: chooses the desktop from XDG_CURRENT_DESKTOP at
// each call and runs its settings commands through the runner:
// - GNOME and relatives: gsettings sets picture-options, picture-uri and,
//   when the schema has it, picture-uri-dark;
// - Cinnamon: gsettings sets picture-options and picture-uri;
// - MATE: gsettings sets picture-options and picture-filename (the path);
// - Xfce: xfconf-query sets image-style and the picture of every
//   monitor and workspace listed under /backdrop;
// - KDE Plasma: a desktop script through dbus-send (qdbus when there is no
//   dbus-send) sets every desktop's image wallpaper.
// A GSettings schema that is not installed, an Xfce without backdrop
// properties, an unknown desktop, a relative path and any command that fails
// all make Reload return false.
class DesktopWallpaperReload final : public IWallpaperReload {
 public:
  explicit DesktopWallpaperReload(ICommandRunner& runner) : runner_(runner) {}
  bool Reload(const std::string& path, bool stretched) override;

 private:
  ICommandRunner& runner_;
};

// Test double: remembers each request and answers `result`.
class RecordingWallpaperReload final : public IWallpaperReload {
 public:
  bool Reload(const std::string& path, bool stretched) override {
    calls.emplace_back(path, stretched);
    return result;
  }
  std::vector<std::pair<std::string, bool>> calls;
  bool result = true;
};

// The process's reloader: a DesktopWallpaperReload running real commands
// (5 seconds each at most) unless a test set another.
IWallpaperReload& WallpaperReload();
void SetWallpaperReload(IWallpaperReload* reload);  // nullptr restores the default

}  // namespace saver
