#include "platform/display_choice.h"

#include <vector>

namespace saver {

namespace {

std::string PluginOf(const std::string& platform) { return platform.substr(0, platform.find(':')); }

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> out;
  for (size_t start = 0; start <= list.size();) {
    const size_t end = std::min(list.find(';', start), list.size());
    if (end > start) out.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string Describe(const std::string& platform, const TDisplayEnvironment& env) {
  if (IsWaylandPlatform(platform)) return "Wayland " + Quoted(env.waylandDisplay) + ", natively";
  if (PluginOf(platform) == "xcb") return "X11 " + Quoted(env.x11Display);
  return "Qt's platform " + Quoted(platform);
}

}  // namespace

bool IsWaylandPlatform(const std::string& platform) {
  return PluginOf(platform).rfind("wayland", 0) == 0;
}

TDisplayChoice ChooseDisplayPlatform(const TDisplayEnvironment& env, TDisplayNeed need,
                                     const TDisplayProbe& probe) {
  const bool ids = need == TDisplayNeed::WindowIds;
  std::vector<std::string> candidates;
  std::string why;
  if (!env.qtPlatform.empty()) {
    for (const std::string& p : Split(env.qtPlatform))
      if (!ids || !IsWaylandPlatform(p)) candidates.push_back(p);
    why = "as QT_QPA_PLATFORM says";
    if (candidates.empty()) {
      candidates = {"xcb"};
      why = "QT_QPA_PLATFORM names Wayland, but the mode needs X11 window ids";
    }
  } else if (ids || env.waylandDisplay.empty()) {
    candidates = {"xcb"};
    if (ids && !env.waylandDisplay.empty()) why = "the mode needs X11 window ids";
  } else {
    candidates = {"wayland"};
    if (!env.x11Display.empty()) {
      candidates.push_back("xcb");
      why = "DISPLAY is set too; the mode needs no window ids";
    }
  }

  TDisplayChoice choice;
  std::string failures;
  for (const std::string& platform : candidates) {
    const std::string plugin = PluginOf(platform);
    std::string error;
    if (!probe.installed(plugin)) {
      error = "Qt's platform plugin " + Quoted(plugin) + " is not installed";
      if (IsWaylandPlatform(plugin)) error += " (package qt6-wayland)";
    } else if (probe.opens(platform, &error)) {
      choice.platform = platform;
      // A platform chosen after another failed says why the first did not serve.
      if (!failures.empty()) why = failures;
      choice.reason = "Display: " + Describe(platform, env) + (why.empty() ? "" : " (" + why + ")");
      return choice;
    }
    failures += (failures.empty() ? "" : "; ") + error;
  }
  choice.error = failures;
  if (ids && !env.waylandDisplay.empty() && env.x11Display.empty())
    choice.error += "; drawing into another window needs X11, which a Wayland session offers "
                    "through XWayland";
  return choice;
}

}  // namespace saver
