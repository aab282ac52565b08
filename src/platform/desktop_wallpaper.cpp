#include "platform/desktop_wallpaper.h"

#include <cstdlib>
#include <set>
#include <string_view>

namespace saver {
namespace {

const std::string kGsettings = "gsettings";
const std::string kXfconf = "xfconf-query";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool HasLine(const std::string& text, const std::string& wanted) {
  for (const std::string& line : Lines(text))
    if (line == wanted) return true;
  return false;
}

// A GVariant text string, so gsettings takes the value verbatim whatever
// characters it holds.
std::string GVariantString(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\\' || c == '\'') out += '\\';
    out += c;
  }
  return out + "'";
}

// A double-quoted script string literal.
std::string ScriptString(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x80' &&
               (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
      // U+2028 and U+2029 end a line inside older script strings.
      out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

class Backends {
 public:
  explicit Backends(ICommandRunner& runner) : runner_(runner) {}

  bool Ok(const std::vector<std::string>& argv) { return runner_.Run(argv).Succeeded(); }

  bool SchemaInstalled(const std::string& schema) {
    TCommandResult r = runner_.Run({kGsettings, "list-schemas"});
    return r.Succeeded() && HasLine(r.Output, schema);
  }

  bool GsetString(const std::string& schema, const std::string& key, const std::string& value) {
    return Ok({kGsettings, "set", schema, key, GVariantString(value)});
  }

  // picture-options, then the picture itself (and the optional keys that
  // take the same value).
  bool Gsettings(const std::string& schema, const std::string& pictureKey,
                 const std::string& picture, bool stretched,
                 const std::vector<std::string>& optionalKeys = {}) {
    if (!SchemaInstalled(schema)) return false;
    std::vector<std::string> keys = {pictureKey};
    if (!optionalKeys.empty()) {
      TCommandResult listed = runner_.Run({kGsettings, "list-keys", schema});
      if (!listed.Succeeded()) return false;
      for (const std::string& key : optionalKeys)
        if (HasLine(listed.Output, key)) keys.push_back(key);
    }
    if (!GsetString(schema, "picture-options", stretched ? "stretched" : "centered")) return false;
    for (const std::string& key : keys)
      if (!GsetString(schema, key, picture)) return false;
    return true;
  }

  bool Xfce(const std::string& path, bool stretched) {
    TCommandResult listed = runner_.Run({kXfconf, "-c", "xfce4-desktop", "-l"});
    if (!listed.Succeeded()) return false;
    const std::vector<std::string> properties = Lines(listed.Output);
    const std::set<std::string> known(properties.begin(), properties.end());
    std::set<std::string> styled;
    bool any = false;
    for (const std::string& property : properties) {
      const size_t slash = property.rfind('/');
      if (!IsBackdropPicture(property)) continue;
      const std::string folder = property.substr(0, slash + 1);
      if (styled.insert(folder).second) {
        const std::string style = folder + "image-style";
        std::vector<std::string> argv = {kXfconf, "-c", "xfce4-desktop", "-p", style};
        if (!known.count(style)) argv.insert(argv.end(), {"-n", "-t", "int"});
        argv.insert(argv.end(), {"-s", stretched ? "3" : "1"});
        if (!Ok(argv)) return false;
      }
      if (!Ok({kXfconf, "-c", "xfce4-desktop", "-p", property, "-s", path})) return false;
      any = true;
    }
    return any;
  }

  bool Kde(const std::string& uri, bool stretched) {
    const std::string script =
        "var all = desktops(); "
        "for (var i = 0; i < all.length; ++i) { "
        "var d = all[i]; "
        "d.wallpaperPlugin = \"org.kde.image\"; "
        "d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"]; "
        "d.writeConfig(\"Image\", " + ScriptString(uri) + "); "
        "d.writeConfig(\"FillMode\", " + (stretched ? "0" : "6") + "); }";
    TCommandResult sent = runner_.Run({"dbus-send", "--session", "--print-reply",
                                       "--dest=org.kde.plasmashell", "--type=method_call",
                                       "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                                       "string:" + script});
    if (sent.Started) return sent.Succeeded();
    return Ok({"qdbus", "org.kde.plasmashell", "/PlasmaShell",
               "org.kde.PlasmaShell.evaluateScript", script});
  }

 private:
  // /backdrop/screenS/monitorM[/workspaceW]/last-image or .../image-path.
  static bool IsBackdropPicture(const std::string& property) {
    std::vector<std::string_view> parts;
    std::string_view rest(property);
    while (!rest.empty()) {
      size_t slash = rest.find('/');
      parts.push_back(rest.substr(0, slash));
      rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    if (parts.size() != 5 && parts.size() != 6) return false;
    if (!parts[0].empty() || parts[1] != "backdrop" || !parts[2].starts_with("screen") ||
        !parts[3].starts_with("monitor"))
      return false;
    if (parts.size() == 6 && !parts[4].starts_with("workspace")) return false;
    return parts.back() == "last-image" || parts.back() == "image-path";
  }

  ICommandRunner& runner_;
};

}  // namespace

TDesktopKind DesktopKindOf(const std::string& xdgCurrentDesktop) {
  std::string_view rest(xdgCurrentDesktop);
  while (true) {
    size_t colon = rest.find(':');
    const std::string name = Lower(rest.substr(0, colon));
    if (name == "gnome" || name == "budgie" || name == "unity" || name == "pantheon")
      return TDesktopKind::Gnome;
    if (name == "x-cinnamon" || name == "cinnamon") return TDesktopKind::Cinnamon;
    if (name == "mate") return TDesktopKind::Mate;
    if (name == "xfce") return TDesktopKind::Xfce;
    if (name == "kde") return TDesktopKind::Kde;
    if (colon == std::string_view::npos) return TDesktopKind::Unknown;
    rest.remove_prefix(colon + 1);
  }
}

std::string FileUri(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                       (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                       c == '/';
    if (plain) {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool DesktopWallpaperReload::Reload(const std::string& path, bool stretched) {
  if (path.empty() || path.front() != '/') return false;
  const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
  Backends backends(runner_);
  switch (DesktopKindOf(desktop ? desktop : "")) {
    case TDesktopKind::Gnome:
      return backends.Gsettings("org.gnome.desktop.background", "picture-uri", FileUri(path),
                                stretched, {"picture-uri-dark"});
    case TDesktopKind::Cinnamon:
      return backends.Gsettings("org.cinnamon.desktop.background", "picture-uri", FileUri(path),
                                stretched);
    case TDesktopKind::Mate:
      return backends.Gsettings("org.mate.background", "picture-filename", path, stretched);
    case TDesktopKind::Xfce:
      return backends.Xfce(path, stretched);
    case TDesktopKind::Kde:
      return backends.Kde(FileUri(path), stretched);
    case TDesktopKind::Unknown:
      break;
  }
  return false;
}

namespace {
IWallpaperReload* g_reload = nullptr;
}  // namespace

IWallpaperReload& WallpaperReload() {
  if (g_reload) return *g_reload;
  static ProcessRunner runner(std::chrono::seconds(5));
  static DesktopWallpaperReload fallback(runner);
  return fallback;
}

void SetWallpaperReload(IWallpaperReload* reload) { g_reload = reload; }

}  // namespace saver
