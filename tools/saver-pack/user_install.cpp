#include "user_install.h"

#include <cstdlib>
#include <fstream>

#include "input_file.h"
#include "pack_error.h"
#include "partial_file.h"
#include "saver_file.h"

namespace saver {

namespace fs = std::filesystem;

std::string InstallName(const std::string& fileStem) {
  std::string name;
  for (char c : fileStem) {
    const unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')) name += c;
    else if (u >= 'A' && u <= 'Z') name += char(u - 'A' + 'a');
    else if (!name.empty() && name.back() != '-') name += '-';
  }
  while (!name.empty() && name.back() == '-') name.pop_back();
  return name.empty() ? "saver" : name;
}

fs::path DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') throw PackError("cannot install: neither XDG_DATA_HOME nor HOME is set");
  return fs::path(home) / ".local" / "share";
}

std::string ShellWord(const std::string& path) {
  if (!path.empty() && path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+,:=@%") == std::string::npos)
    return path;
  std::string word = "'";
  for (char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string DesktopExecWord(const std::string& path) {
  // Arguments with reserved characters are double-quoted, with the double
  // quote, backquote, dollar and backslash escaped inside; the value's own
  // escaping then doubles every backslash, and a literal % is written %%.
  std::string word;
  bool quote = path.empty();
  for (char c : path) {
    if (std::string(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string::npos) quote = true;
    if (c == '"' || c == '`' || c == '$' || c == '\\') word += '\\';
    word += c == '%' ? std::string("%%") : std::string(1, c);
  }
  if (quote) word = '"' + word + '"';
  std::string value;
  for (char c : word) value += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return value;
}

namespace {

// A desktop entry value holds one line; the escapes of the string type
// keep what a title could hold.
std::string DesktopString(const std::string& text) {
  std::string value;
  for (char c : text) {
    if (c == '\\') value += "\\\\";
    else if (c == '\n') value += "\\n";
    else if (c == '\t') value += "\\t";
    else if (c == '\r') value += "\\r";
    else value += c;
  }
  return value;
}

void WriteFileAtomically(const fs::path& path, const std::string& text, fs::perms mode) {
  TPartialFile partial(path);
  TSaverFile out(partial);
  out.Write(text.data(), text.size());
  out.Close();
  partial.Commit(mode);
}

void MakeFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) throw PackError("cannot create " + folder.string() + ": " + ec.message());
}

constexpr fs::perms kReadable =
    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
constexpr fs::perms kRunnable = kReadable | fs::perms::owner_exec | fs::perms::group_exec |
                                fs::perms::others_exec;

}  // namespace

std::string ScreenSaverDesktopEntry(const std::string& title, const fs::path& saver) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" + DesktopString(title) + "\n"
         "Comment=A slideshow screen saver\n"
         "TryExec=" + DesktopString(saver.string()) + "\n"
         "Exec=" + DesktopExecWord(saver.string()) + " -root\n"
         "StartupNotify=false\n"
         "Terminal=false\n"
         "Categories=Screensaver;\n"
         "OnlyShowIn=MATE;XFCE;\n";
}

TUserInstall InstallForUser(const fs::path& saver, const std::string& titleUtf8) {
  TUserInstall install;
  install.Name = InstallName(saver.stem().string());
  install.Title = titleUtf8.empty() ? install.Name : titleUtf8;
  const fs::path data = DataHome();
  const fs::path savers = data / "saver" / "savers";
  const fs::path entries = data / "applications" / "screensavers";
  install.Saver = savers / (install.Name + ".scr");
  install.Desktop = entries / ("saver-" + install.Name + ".desktop");
  MakeFolder(savers);
  MakeFolder(entries);
  {
    TPartialFile partial(install.Saver);
    TSaverFile out(partial);
    TFile in = OpenForReading(saver.string());
    out.Copy(in.get(), saver.string(), FileLength(in.get(), saver.string()));
    out.Close();
    partial.Commit(kRunnable);
  }
  WriteFileAtomically(install.Desktop, ScreenSaverDesktopEntry(install.Title, install.Saver),
                      kReadable);
  return install;
}

std::string InstallReport(const TUserInstall& install) {
  const std::string saver = install.Saver.string();
  std::string quotedTitle;
  for (char c : install.Title) quotedTitle += c == '"' ? '\'' : c;
  return "Installed \"" + install.Title + "\" for you:\n"
         "  " + saver + "\n"
         "  " + install.Desktop.string() + "\n"
         "mate-screensaver and xfce4-screensaver list it in their preferences as \"" +
         install.Title + "\"; for mate-screensaver also:\n"
         "  gsettings set org.mate.screensaver mode single\n"
         "  gsettings set org.mate.screensaver themes \"['screensavers-saver-" + install.Name + "']\"\n"
         "XScreenSaver: add this line to the programs: list in ~/.xscreensaver\n"
         "(or run xscreensaver-settings after adding it):\n"
         "  \"" + quotedTitle + "\"  " + ShellWord(saver) + " -root \\n\\\n"
         "xsecurelock: link it among its savers once, as root, and choose it:\n"
         "  ln -sf " + ShellWord(saver) + " /usr/libexec/xsecurelock/saver_" + install.Name + "\n"
         "  XSECURELOCK_SAVER=saver_" + install.Name + " xsecurelock\n";
}

}  // namespace saver
