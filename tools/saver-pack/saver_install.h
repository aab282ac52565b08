#pragma once
// Installing a saver where the screen-saver daemons find it, for the
// current user or (as root) for every user, listing what is installed and
// removing it again. mate-screensaver (and xfce4-screensaver) list the
// desktop entries under applications/screensavers/ but run only programs in
// their own folders and /usr/libexec/xscreensaver, so an entry runs the
// saver through a link there; xsecurelock runs savers named saver_NAME.
// The configuration of XScreenSaver and xsecurelock stays the user's own:
// saver-pack prints the lines to give them.
#include <filesystem>
#include <string>

namespace saver {

// The folder of XScreenSaver's programs, where mate-screensaver runs them from.
inline constexpr char kDaemonFolder[] = "/usr/libexec/xscreensaver";

struct TInstallPlace {
  bool System = false;
  std::filesystem::path Stage;    // $DESTDIR of a staged system install; empty = none
  std::filesystem::path Savers;   // the savers, NAME.scr
  std::filesystem::path Entries;  // their desktop entries, saver-NAME.desktop
  std::filesystem::path Locker;   // where xsecurelock's saver_NAME goes; empty = none
};

// $XDG_DATA_HOME/saver/savers (xsecurelock's link beside the saver) and
// $XDG_DATA_HOME/applications/screensavers; XDG_DATA_HOME defaults to
// ~/.local/share. Throws PackError when neither is set.
TInstallPlace UserPlace();
// /usr/local/libexec/saver and /usr/local/share/applications/screensavers,
// and /usr/libexec/xsecurelock when xsecurelock is installed; everything
// under $DESTDIR when that is set. Throws PackError when changes are to be
// made without root and nothing is staged.
TInstallPlace SystemPlace(bool changes = true);

struct TInstalledSaver {
  std::string Name;                   // "quiet-places": file names are made from it
  std::string Title;                  // "Quiet Places" (UTF-8), what the daemons list
  std::filesystem::path Saver;        // the installed copy
  std::filesystem::path Desktop;      // its desktop entry
  std::filesystem::path DaemonLink;   // kDaemonFolder/saver-NAME
  std::filesystem::path LockerLink;   // saver_NAME for xsecurelock; empty = none made
  bool Replaced = false;              // a saver of the same name was installed before
  bool DaemonLinked = false;          // DaemonLink leads to Saver
};

// "Quiet Places.scr" -> "quiet-places": lower-case letters, digits and
// single dashes; "saver" when nothing is left.
std::string InstallName(const std::string& fileStem);

// The desktop entry of a screen saver: the daemons run `run` with
// XSCREENSAVER_WINDOW set to the window to draw in; its Settings action
// opens the saver's settings.
std::string ScreenSaverDesktopEntry(const std::string& title, const std::filesystem::path& run,
                                    const std::filesystem::path& saver);

// A command line word for sh and for a desktop entry's Exec key: the path
// as it is when it holds no character either treats specially, else quoted.
std::string ShellWord(const std::string& path);
std::string DesktopExecWord(const std::string& path);

// Copies the saver and writes its desktop entry and links (each through a
// temporary file), replacing an earlier install of the same name. Only a
// system install links into kDaemonFolder. titleUtf8 empty: the name.
TInstalledSaver InstallSaver(const TInstallPlace& place, const std::filesystem::path& saver,
                             const std::string& titleUtf8);
// What to tell the user: where it went and how to choose it in each daemon.
std::string InstallReport(const TInstallPlace& place, const TInstalledSaver& installed);

// Removes what InstallSaver put in place for the name (a file name or title
// is made into one) and says what it removed. Throws PackError when no
// saver is installed under it.
std::string UninstallSaver(const TInstallPlace& place, const std::string& name);

// One line per installed saver: its name, title and file.
std::string InstalledSavers(const TInstallPlace& place);

}  // namespace saver
