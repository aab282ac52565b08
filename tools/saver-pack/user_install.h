#pragma once
// Installing a saver for the current user where the screen-saver daemons
// find it: the saver under $XDG_DATA_HOME/saver/savers/, a desktop entry
// under $XDG_DATA_HOME/applications/screensavers/ for mate-screensaver and
// xfce4-screensaver, and the lines to give XScreenSaver and xsecurelock
// (their configuration stays the user's own to edit).
#include <filesystem>
#include <string>

namespace saver {

struct TUserInstall {
  std::string Name;                // "quiet-places": file names are made from it
  std::string Title;               // "Quiet Places" (UTF-8), what the daemons list
  std::filesystem::path Saver;     // the installed copy
  std::filesystem::path Desktop;   // its desktop entry
};

// "Quiet Places.scr" -> "quiet-places": lower-case letters, digits and
// single dashes; "saver" when nothing is left.
std::string InstallName(const std::string& fileStem);

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share.
// Throws PackError when neither can be found.
std::filesystem::path DataHome();

// The desktop entry of a screen saver: the daemons run Exec with
// XSCREENSAVER_WINDOW set to the window to draw in.
std::string ScreenSaverDesktopEntry(const std::string& title, const std::filesystem::path& saver);

// A command line word for sh and for a desktop entry's Exec key: the path
// as it is when it holds no character either treats specially, else quoted.
std::string ShellWord(const std::string& path);
std::string DesktopExecWord(const std::string& path);

// Copies the saver (through a temporary file) and writes its desktop entry,
// replacing an earlier install of the same name. titleUtf8 empty: the name.
TUserInstall InstallForUser(const std::filesystem::path& saver, const std::string& titleUtf8);

// What to tell the user: where it went and the line for each daemon.
std::string InstallReport(const TUserInstall& install);

}  // namespace saver
