#include "platform/display_choice.h"

#include <gtest/gtest.h>

#include <set>

namespace saver {
namespace {

constexpr auto Own = TDisplayNeed::OwnWindows;
constexpr auto Ids = TDisplayNeed::WindowIds;

TEST(DisplayChoice, EachModeGetsThePlatformThatServesItAndSaysWhy) {
  struct Case {
    const char* name;
    TDisplayEnvironment env;
    TDisplayNeed need;
    std::set<std::string> installed, opens;  // plugins; platforms as given
    std::string platform, reason, error;     // reason and error: what they contain
  } cases[] = {
      {"an X11 session", {"", ":0", ""}, Own, {"xcb", "wayland"}, {"xcb"}, "xcb", "X11 \":0\""},
      {"a Wayland session", {"", "", "wayland-1"}, Own, {"xcb", "wayland"}, {"wayland"},
       "wayland", "Wayland \"wayland-1\", natively"},
      {"both, the show", {"", ":0", "wayland-1"}, Own, {"xcb", "wayland"}, {"xcb", "wayland"},
       "wayland", "DISPLAY is set too; the mode needs no window ids"},
      {"both, a window id", {"", ":0", "wayland-1"}, Ids, {"xcb", "wayland"},
       {"xcb", "wayland"}, "xcb", "the mode needs X11 window ids"},
      {"both, no Wayland plugin", {"", ":0", "wayland-1"}, Own, {"xcb"}, {"xcb", "wayland"},
       "xcb", "Qt's platform plugin \"wayland\" is not installed (package qt6-wayland)"},
      {"both, no compositor", {"", ":0", "gone"}, Own, {"xcb", "wayland"}, {"xcb"}, "xcb",
       "(cannot open wayland)"},
      {"Wayland alone, no plugin", {"", "", "wayland-1"}, Own, {"xcb"}, {"wayland"}, "", "",
       "Qt's platform plugin \"wayland\" is not installed (package qt6-wayland)"},
      {"Wayland alone, a window id", {"", "", "wayland-1"}, Ids, {"xcb", "wayland"},
       {"wayland"}, "", "", "cannot open xcb; drawing into another window needs X11"},
      {"nothing works", {"", ":0", "wayland-1"}, Own, {"xcb", "wayland"}, {}, "", "",
       "cannot open wayland; cannot open xcb"},
      {"QT_QPA_PLATFORM is followed", {"offscreen:configfile=x", "", "wayland-1"}, Own,
       {"offscreen", "wayland"}, {"offscreen:configfile=x"}, "offscreen:configfile=x",
       "as QT_QPA_PLATFORM says"},
      {"QT_QPA_PLATFORM in its order", {"wayland;xcb", ":0", "wayland-1"}, Own,
       {"xcb", "wayland"}, {"xcb"}, "xcb", "X11 \":0\" (cannot open wayland)"},
      {"QT_QPA_PLATFORM=wayland and a window id", {"wayland", ":0", "wayland-1"}, Ids,
       {"xcb", "wayland"}, {"xcb", "wayland"}, "xcb",
       "QT_QPA_PLATFORM names Wayland, but the mode needs X11 window ids"},
      {"QT_QPA_PLATFORM names no plugin", {"nosuch", ":0", ""}, Own, {"xcb"}, {"nosuch"}, "",
       "", "Qt's platform plugin \"nosuch\" is not installed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TDisplayProbe probe{
        [&](const std::string& plugin) { return c.installed.count(plugin) > 0; },
        [&](const std::string& platform, std::string* error) {
          *error = "cannot open " + platform;
          return c.opens.count(platform) > 0;
        }};
    const TDisplayChoice choice = ChooseDisplayPlatform(c.env, c.need, probe);
    EXPECT_EQ(choice.platform, c.platform);
    if (!c.platform.empty()) {
      EXPECT_EQ(choice.reason.rfind("Display: ", 0), 0u) << choice.reason;
      EXPECT_NE(choice.reason.find(c.reason), std::string::npos) << choice.reason;
      EXPECT_EQ(choice.error, "");
    } else {
      EXPECT_EQ(choice.error.rfind(c.error, 0), 0u) << choice.error;
    }
  }
}

}  // namespace
}  // namespace saver
