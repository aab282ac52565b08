#include "platform/desktop_wallpaper.h"

#include <cstdlib>
#include <set>
#include <string_view>
#include <utility>

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

// Runs the desktops' commands; the first that fails ends the reload with a
// WallpaperError naming it.
class Backends {
 public:
  explicit Backends(ICommandRunner& runner) : runner_(runner) {}

  TCommandResult Must(const std::vector<std::string>& argv) {
    return Check(argv, runner_.Run(argv));
  }

  static TCommandResult Check(const std::vector<std::string>& argv, TCommandResult r) {
    if (r.Succeeded()) return r;
    const std::string program = "\"" + argv.at(0) + "\"";
    if (!r.Started) throw WallpaperError(program + " could not be run (is it installed?)");
    if (r.ExitStatus < 0) throw WallpaperError(program + " did not finish");
    throw WallpaperError(program + " failed with status " + std::to_string(r.ExitStatus));
  }

  void RequireSchema(const std::string& schema) {
    if (!HasLine(Must({kGsettings, "list-schemas"}).Output, schema))
      throw WallpaperError("the desktop setting " + schema + " is not installed");
  }

  void GsetString(const std::string& schema, const std::string& key, const std::string& value) {
    Must({kGsettings, "set", schema, key, GVariantString(value)});
  }

  // picture-options, then the picture itself (and the optional keys that
  // take the same value).
  void Gsettings(const std::string& schema, const std::string& pictureKey,
                 const std::string& picture, bool stretched,
                 const std::vector<std::string>& optionalKeys = {}) {
    RequireSchema(schema);
    std::vector<std::string> keys = {pictureKey};
    if (!optionalKeys.empty()) {
      const std::string listed = Must({kGsettings, "list-keys", schema}).Output;
      for (const std::string& key : optionalKeys)
        if (HasLine(listed, key)) keys.push_back(key);
    }
    GsetString(schema, "picture-options", stretched ? "stretched" : "centered");
    for (const std::string& key : keys) GsetString(schema, key, picture);
  }

  void Xfce(const std::string& path, bool stretched) {
    const std::vector<std::string> properties =
        Lines(Must({kXfconf, "-c", "xfce4-desktop", "-l"}).Output);
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
        Must(argv);
      }
      Must({kXfconf, "-c", "xfce4-desktop", "-p", property, "-s", path});
      any = true;
    }
    if (!any) throw WallpaperError("Xfce lists no backdrop to set");
  }

  void Kde(const std::string& uri, bool stretched) {
    const std::string script =
        "var all = desktops(); "
        "for (var i = 0; i < all.length; ++i) { "
        "var d = all[i]; "
        "d.wallpaperPlugin = \"org.kde.image\"; "
        "d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"]; "
        "d.writeConfig(\"Image\", " + ScriptString(uri) + "); "
        "d.writeConfig(\"FillMode\", " + (stretched ? "0" : "6") + "); }";
    const std::vector<std::string> sent = {"dbus-send", "--session", "--print-reply",
                                           "--dest=org.kde.plasmashell", "--type=method_call",
                                           "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                                           "string:" + script};
    if (TCommandResult r = runner_.Run(sent); r.Started) {
      Check(sent, std::move(r));
      return;
    }
    Must({"qdbus", "org.kde.plasmashell", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
          script});
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

void DesktopWallpaperReload::Reload(const std::string& path, const TBitmap32& picture,
                                    bool stretched) {
  if (path.empty() || path.front() != '/')
    throw WallpaperError("the wallpaper file has no absolute path: " + path);
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
  if (!rootBackground_)
    throw WallpaperError(std::string("no way to set the wallpaper is known for the desktop \"") +
                         (desktop ? desktop : "") + "\"");
  rootBackground_(picture, stretched);
}

TBitmap32 RootBackgroundImage(const TBitmap32& picture, bool stretched, int32_t width,
                              int32_t height, const std::vector<TRect>& monitors) {
  TBitmap32 image(width, height);
  image.Clear(Color32(0, 0, 0));
  std::vector<TRect> areas = monitors;
  if (areas.empty()) areas.push_back(image.BoundsRect());
  for (const TRect& m : areas) {
    const int32_t left = m.Left + (m.Width() - picture.Width()) / 2;
    const int32_t top = m.Top + (m.Height() - picture.Height()) / 2;
    const TRect placed =
        stretched ? m : TRect{left, top, left + picture.Width(), top + picture.Height()};
    // Transparent parts show the black beneath.
    picture.DrawTo(image, placed, picture.BoundsRect(), m, TDrawMode::Blend);
  }
  image.ResetAlpha(255);
  return image;
}

namespace {
IWallpaperReload* g_reload = nullptr;
TRootBackground g_rootBackground;
}  // namespace

IWallpaperReload& WallpaperReload() {
  if (g_reload) return *g_reload;
  static ProcessRunner runner(std::chrono::seconds(5));
  static DesktopWallpaperReload fallback(runner, [](const TBitmap32& picture, bool stretched) {
    if (!g_rootBackground)
      throw WallpaperError("no way to set the wallpaper is known for this desktop");
    g_rootBackground(picture, stretched);
  });
  return fallback;
}

void SetWallpaperReload(IWallpaperReload* reload) { g_reload = reload; }

void SetRootBackground(TRootBackground rootBackground) {
  g_rootBackground = std::move(rootBackground);
}

}  // namespace saver
