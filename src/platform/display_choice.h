#pragma once
// Which display the player starts on, and through which of the toolkit's
// platforms: X11, Wayland natively, or what QT_QPA_PLATFORM names.
#include <functional>
#include <string>

namespace saver {

// What the player's windows need of the display.
enum class TDisplayNeed {
  OwnWindows,  // the show and the settings: windows of its own (native Wayland serves)
  WindowIds,   // drawing into another program's window, or a dialog owned by one:
               // X11 window ids (XWayland in a Wayland session)
};

// The environment the choice is made from (empty: not set).
struct TDisplayEnvironment {
  std::string qtPlatform;      // QT_QPA_PLATFORM: a platform or a ';' list, options after ':'
  std::string x11Display;      // DISPLAY
  std::string waylandDisplay;  // WAYLAND_DISPLAY
};

// Whether a platform can start: its plugin is installed (by plugin name,
// "wayland"), and its display opens (by platform as given, options
// included; on failure one line in *error).
struct TDisplayProbe {
  std::function<bool(const std::string& plugin)> installed;
  std::function<bool(const std::string& platform, std::string* error)> opens;
};

struct TDisplayChoice {
  std::string platform;  // the toolkit's platform to start; empty when none can
  std::string reason;    // one line for the log: the display and why
  std::string error;     // when none can: one line saying why
};

// Without QT_QPA_PLATFORM the show and the settings run natively on Wayland
// when WAYLAND_DISPLAY is set, else (or when Wayland cannot start) on X11;
// what needs window ids runs on X11. QT_QPA_PLATFORM is followed, in its
// order, except that Wayland is left out for what needs window ids. The
// first platform that can start is chosen.
TDisplayChoice ChooseDisplayPlatform(const TDisplayEnvironment& env, TDisplayNeed need,
                                     const TDisplayProbe& probe);

// Whether a platform (options allowed) is one of Qt's Wayland platforms.
bool IsWaylandPlatform(const std::string& platform);

}  // namespace saver
