#pragma once
// The run mode from the command line. Argument 1 is a switch character of
// any kind followed by the mode letter, in either case; the rest of it is
// ignored (/s, -S, /Screen, /c:1234). Argument 2 is the parent window handle
// (ParseHandleArgument), used for preview and password change.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace saver {

enum class RunMode {
  Preview,   // P: draw into the control panel's preview window
  Saver,     // S: the full-screen show
  Password,  // A: change the legacy password
  Config,    // any other letter, or none: the settings dialog
};

struct RunModeInfo {
  RunMode mode = RunMode::Config;
  char letter = '\0';             // the upper-case mode letter; '\0' when none
  std::optional<uint64_t> parent;  // argument 2 for P and A, when it is a handle of 0 or more
};

// args are the command-line arguments after the program name.
RunModeInfo DetectRunMode(std::span<const std::string> args);

// A window handle on the command line: a decimal number (with its sign: -1
// means none) or hexadecimal after 0x, as xwininfo prints it; nullopt for
// anything else.
std::optional<int64_t> ParseHandleArgument(const std::string& text);

// The window a screen-saver daemon hands over for the show, by the daemons'
// conventions: `-window-id ID` or `--window-id ID`; `-root` or `--root`
// (the window named by xscreensaverWindow when given, else rootWindow); or,
// with no argument at all, the window named by xscreensaverWindow (the
// environment variable XSCREENSAVER_WINDOW). Ids are decimal or 0x-hex.
struct TDaemonWindow {
  bool requested = false;  // one of the conventions was used
  uint64_t window = 0;     // 0: no id, or one that is not a number
  std::string id;          // the id as given (empty for none, and for the root window)
  std::string source;      // where the id came from: "-window-id" or "XSCREENSAVER_WINDOW"
};
TDaemonWindow DaemonWindow(std::span<const std::string> args, const char* xscreensaverWindow,
                           uint64_t rootWindow);

}  // namespace saver
