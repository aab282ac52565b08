#include "saver_install.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

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

void CopyFileAtomically(const fs::path& from, const fs::path& to, fs::perms mode) {
  TPartialFile partial(to);
  TSaverFile out(partial);
  TFile in = OpenForReading(from.string());
  out.Copy(in.get(), from.string(), FileLength(in.get(), from.string()));
  out.Close();
  partial.Commit(mode);
}

// Where a path of the installed system lies while it is staged under $DESTDIR.
fs::path Staged(const TInstallPlace& place, const fs::path& path) {
  return place.Stage.empty() ? path : place.Stage / path.relative_path();
}

// Whether link is a symbolic link whose text is target.
bool LinksTo(const fs::path& link, const fs::path& target) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec) == target && !ec;
}

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// Puts a symbolic link at `link`, replacing one that is there.
void MakeLink(const fs::path& target, const fs::path& link) {
  const fs::path temporary = link.parent_path() / ("." + link.filename().string() + ".new");
  std::error_code ec;
  fs::remove(temporary, ec);
  fs::create_symlink(target, temporary, ec);
  if (!ec) fs::rename(temporary, link, ec);
  if (ec) throw PackError("cannot link " + link.string() + ": " + ec.message());
}

void Remove(const fs::path& path, std::vector<std::string>& removed, const std::string& shown) {
  std::error_code ec;
  if (!fs::remove(path, ec) && ec) throw PackError("cannot remove " + path.string() + ": " + ec.message());
  removed.push_back(shown);
}

// The Name of a desktop entry written by ScreenSaverDesktopEntry.
std::string EntryTitle(const fs::path& entry) {
  std::vector<uint8_t> bytes;
  try {
    bytes = ReadWholeFile(entry.string());
  } catch (const PackError&) {
    return "";
  }
  const std::string text(bytes.begin(), bytes.end());
  const size_t at = text.find("\nName=");
  if (at == std::string::npos) return "";
  std::string title;
  for (size_t i = at + 6; i < text.size() && text[i] != '\n'; ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char c = text[++i];
      title += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    } else {
      title += text[i];
    }
  }
  return title;
}

std::string NameOf(const std::string& given) {
  std::string name = given;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".scr") == 0) name.resize(name.size() - 4);
  return InstallName(fs::path(name).filename().string());
}

// The places of a saver's files for a name.
TInstalledSaver Layout(const TInstallPlace& place, const std::string& name) {
  TInstalledSaver s;
  s.Name = name;
  s.Saver = place.Savers / (name + ".scr");
  s.Desktop = place.Entries / ("saver-" + name + ".desktop");
  s.DaemonLink = fs::path(kDaemonFolder) / ("saver-" + name);
  if (!place.Locker.empty()) s.LockerLink = place.Locker / ("saver_" + name);
  return s;
}

// What xsecurelock's link holds: beside the saver it names it alone.
fs::path LockerTarget(const TInstallPlace& place, const TInstalledSaver& s) {
  return place.System ? s.Saver : s.Saver.filename();
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

std::string ScreenSaverDesktopEntry(const std::string& title, const fs::path& run, const fs::path& saver) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" + DesktopString(title) + "\n"
         "Comment=A slideshow screen saver\n"
         "TryExec=" + DesktopString(run.string()) + "\n"
         "Exec=" + DesktopExecWord(run.string()) + " -root\n"
         "StartupNotify=false\n"
         "Terminal=false\n"
         "Categories=Screensaver;\n"
         "OnlyShowIn=MATE;XFCE;\n"
         "Actions=Settings;\n"
         "\n"
         "[Desktop Action Settings]\n"
         "Name=Settings\n"
         "Exec=" + DesktopExecWord(saver.string()) + " /c\n";
}

TInstallPlace UserPlace() {
  fs::path data;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && xdg[0] == '/') data = xdg;
  else if (home && home[0] == '/') data = fs::path(home) / ".local" / "share";
  else throw PackError("cannot install: neither XDG_DATA_HOME nor HOME is set");
  TInstallPlace place;
  place.Savers = data / "saver" / "savers";
  place.Entries = data / "applications" / "screensavers";
  place.Locker = place.Savers;
  return place;
}

TInstallPlace SystemPlace(bool changes) {
  TInstallPlace place;
  place.System = true;
  if (const char* stage = std::getenv("DESTDIR"); stage && stage[0]) place.Stage = stage;
  if (changes && place.Stage.empty() && geteuid() != 0)
    throw PackError("--system changes what every user has: run it as root (sudo)");
  place.Savers = "/usr/local/libexec/saver";
  place.Entries = "/usr/local/share/applications/screensavers";
  std::error_code ec;
  if (fs::is_directory(Staged(place, "/usr/libexec/xsecurelock"), ec))
    place.Locker = "/usr/libexec/xsecurelock";
  return place;
}

TInstalledSaver InstallSaver(const TInstallPlace& place, const fs::path& saver, const std::string& titleUtf8) {
  TInstalledSaver s = Layout(place, InstallName(saver.stem().string()));
  s.Title = titleUtf8.empty() ? s.Name : titleUtf8;
  // The links must not take another program's name: not the system's (a
  // user's desktop entry would run that program), nor xsecurelock's own.
  for (const auto& [link, target] :
       {std::pair{s.DaemonLink, s.Saver}, std::pair{s.LockerLink, LockerTarget(place, s)}})
    if (!link.empty() && Exists(Staged(place, link)) && !LinksTo(Staged(place, link), target))
      throw PackError(link.string() + " is another program's; give the saver another file name");
  s.Replaced = Exists(Staged(place, s.Saver));
  MakeFolder(Staged(place, place.Savers));
  MakeFolder(Staged(place, place.Entries));
  CopyFileAtomically(saver, Staged(place, s.Saver), kRunnable);
  if (place.System) {
    MakeFolder(Staged(place, kDaemonFolder));
    MakeLink(s.Saver, Staged(place, s.DaemonLink));
  }
  if (!s.LockerLink.empty()) MakeLink(LockerTarget(place, s), Staged(place, s.LockerLink));
  s.DaemonLinked = LinksTo(Staged(place, s.DaemonLink), s.Saver);
  WriteFileAtomically(Staged(place, s.Desktop), ScreenSaverDesktopEntry(s.Title, s.DaemonLink, s.Saver),
                      kReadable);
  return s;
}

std::string InstallReport(const TInstallPlace& place, const TInstalledSaver& s) {
  const std::string saver = s.Saver.string(), link = s.DaemonLink.string();
  std::string quotedTitle;
  for (char c : s.Title) quotedTitle += c == '"' ? '\'' : c;
  std::string r = "Installed \"" + s.Title + "\" " + (place.System ? "for every user" : "for you") +
                  (s.Replaced ? ", replacing the saver installed as " + s.Name : "") + ":\n";
  r += "  " + saver + "\n";
  if (place.System) r += "  " + link + " (how mate-screensaver and XScreenSaver run it)\n";
  if (!s.LockerLink.empty()) r += "  " + s.LockerLink.string() + " (for xsecurelock)\n";
  r += "  " + s.Desktop.string() + "\n";
  if (!s.DaemonLinked)
    r += "mate-screensaver runs savers only from its own folders and " + std::string(kDaemonFolder) +
         ";\nthis one runs there, and shows in its preferences, once root has run:\n"
         "  sudo mkdir -p " + kDaemonFolder + " && sudo ln -sf " + ShellWord(saver) + " " +
         ShellWord(link) + "\n";
  r += "mate-screensaver and xfce4-screensaver list it in their preferences as \"" + s.Title +
       "\"; for mate-screensaver also:\n"
       "  gsettings set org.mate.screensaver mode single\n"
       "  gsettings set org.mate.screensaver themes \"['screensavers-saver-" + s.Name + "']\"\n"
       "XScreenSaver: add this line to the programs: list in ~/.xscreensaver\n"
       "(or run xscreensaver-settings after adding it):\n"
       "  \"" + quotedTitle + "\"  " + ShellWord(place.System ? link : saver) + " -root \\n\\\n";
  if (!s.LockerLink.empty())
    r += "xsecurelock: choose it with\n  XSECURELOCK_SAVER=" +
         ShellWord(place.System ? s.LockerLink.filename().string() : s.LockerLink.string()) + " xsecurelock\n";
  r += "Its settings: " + ShellWord(saver) + " /c (the desktop entry's Settings action).\n";
  return r;
}

std::string UninstallSaver(const TInstallPlace& place, const std::string& given) {
  const TInstalledSaver s = Layout(place, NameOf(given));
  const std::string title = EntryTitle(Staged(place, s.Desktop));
  std::vector<std::string> removed;
  if (Exists(Staged(place, s.Saver))) Remove(Staged(place, s.Saver), removed, s.Saver.string());
  if (!s.LockerLink.empty() && LinksTo(Staged(place, s.LockerLink), LockerTarget(place, s)))
    Remove(Staged(place, s.LockerLink), removed, s.LockerLink.string());
  if (place.System && LinksTo(Staged(place, s.DaemonLink), s.Saver))
    Remove(Staged(place, s.DaemonLink), removed, s.DaemonLink.string());
  if (Exists(Staged(place, s.Desktop))) Remove(Staged(place, s.Desktop), removed, s.Desktop.string());
  if (removed.empty())
    throw PackError("no saver is installed as \"" + s.Name + "\"" +
                    (place.System ? " for every user" : "") + " (saver-pack --list-installed" +
                    (place.System ? " --system" : "") + " lists them)");
  std::string r = "Removed \"" + (title.empty() ? s.Name : title) + "\" (" + s.Name + "):\n";
  for (const std::string& path : removed) r += "  " + path + "\n";
  if (!place.System && LinksTo(s.DaemonLink, s.Saver))
    r += "The link mate-screensaver ran it through stays until root removes it:\n"
         "  sudo rm " + ShellWord(s.DaemonLink.string()) + "\n";
  return r;
}

std::string InstalledSavers(const TInstallPlace& place) {
  std::vector<fs::path> savers;
  std::error_code ec;
  for (fs::directory_iterator it(Staged(place, place.Savers), ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".scr" && it->is_regular_file()) savers.push_back(it->path());
  std::sort(savers.begin(), savers.end());
  std::string r;
  for (const fs::path& path : savers) {
    const TInstalledSaver s = Layout(place, path.stem().string());
    const std::string title = EntryTitle(Staged(place, s.Desktop));
    r += s.Name + "  " + (title.empty() ? "(no desktop entry)" : "\"" + title + "\"") + "  " +
         s.Saver.string() + "\n";
  }
  return r;
}

}  // namespace saver
