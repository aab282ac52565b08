#pragma once
// Makes the running desktop show a picture file as its wallpaper, through
// the desktop's own settings tools, or as the root window's background where
// the desktop has none the saver knows.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "platform/command_runner.h"

namespace saver {

// The one-line reason a wallpaper could not be set.
class WallpaperError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IWallpaperReload {
 public:
  virtual ~IWallpaperReload() = default;
  // Makes the running desktop show the picture file (absolute UTF-8 path;
  // picture is what it holds), stretched over the screen or centred
  // unscaled. Raises WallpaperError when the desktop did not take it.
  virtual void Reload(const std::string& path, const TBitmap32& picture, bool stretched) = 0;
};

// Makes the X server's root window show a picture (what the desktop shows
// where no desktop program draws one); raises WallpaperError.
using TRootBackground = std::function<void(const TBitmap32& picture, bool stretched)>;

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
// Any other desktop (LXQt, LXDE, a bare window manager, none named) gets
// the picture as the root window's background. A GSettings schema that is
// not installed, an Xfce without backdrop properties, a relative path, a
// command that fails and, without a root background, an unknown desktop
// raise WallpaperError naming what failed.
class DesktopWallpaperReload final : public IWallpaperReload {
 public:
  explicit DesktopWallpaperReload(ICommandRunner& runner, TRootBackground rootBackground = {})
      : runner_(runner), rootBackground_(std::move(rootBackground)) {}
  void Reload(const std::string& path, const TBitmap32& picture, bool stretched) override;

 private:
  ICommandRunner& runner_;
  TRootBackground rootBackground_;
};

// The root window's picture: width x height pixels, black, with the
// picture stretched over each monitor (screen coordinates) or centred on it
// at its own size; the whole area counts as one monitor when none is given.
TBitmap32 RootBackgroundImage(const TBitmap32& picture, bool stretched, int32_t width,
                              int32_t height, const std::vector<TRect>& monitors);

// The process's reloader: a DesktopWallpaperReload running real commands
// (5 seconds each at most), with the root background the desktop backend
// offers, unless a test set another.
IWallpaperReload& WallpaperReload();
void SetWallpaperReload(IWallpaperReload* reload);  // nullptr restores the default
// Set by the desktop backend on an X11 display; empty: none.
void SetRootBackground(TRootBackground rootBackground);

}  // namespace saver
