#include "platform/desktop_wallpaper.h"

#include "doubles/recording_wallpaper_reload.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

#include "platform/scoped_env.h"

namespace saver {
namespace {

using testing::ScopedEnv;
using ::testing::HasSubstr;
using Argv = std::vector<std::string>;
using Calls = std::vector<Argv>;

// Answers each command from a script (success with no output by default)
// and remembers what it was asked to run.
struct ScriptedRunner final : ICommandRunner {
  TCommandResult Run(const Argv& argv) override {
    calls.push_back(argv);
    if (missing.count(argv.at(0))) return {};
    if (failing.count(argv.at(0))) return {true, 1, ""};
    auto it = answers.find(argv);
    return it != answers.end() ? it->second : TCommandResult{true, 0, ""};
  }
  void Answer(const Argv& argv, std::string output, int status = 0) {
    answers[argv] = {true, status, std::move(output)};
  }
  std::map<Argv, TCommandResult> answers;
  std::set<std::string> missing;  // programs that cannot be started
  std::set<std::string> failing;  // programs that exit with status 1
  Calls calls;
};

const std::string kGnome = "org.gnome.desktop.background";
const std::string kCinnamon = "org.cinnamon.desktop.background";
const std::string kMate = "org.mate.background";
const std::string kXfce0 = "/backdrop/screen0/monitor0/workspace0/";
const Argv kListSchemas = {"gsettings", "list-schemas"};
const Argv kListGnomeKeys = {"gsettings", "list-keys", kGnome};
const Argv kListXfce = {"xfconf-query", "-c", "xfce4-desktop", "-l"};

Argv Gset(const std::string& schema, const std::string& key, const std::string& value) {
  return {"gsettings", "set", schema, key, value};
}
Argv Xset(const std::string& property, const std::string& value) {
  return {"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", value};
}

// A desktop that has every setting the saver knows.
ScriptedRunner FullDesktop() {
  ScriptedRunner runner;
  runner.Answer(kListSchemas, "org.gnome.desktop.interface\n" + kGnome + "\n" + kCinnamon +
                                  "\n" + kMate + "\n");
  runner.Answer(kListGnomeKeys, "picture-options\npicture-uri\npicture-uri-dark\n");
  runner.Answer(kListXfce, kXfce0 + "image-style\n" + kXfce0 + "last-image\n");
  return runner;
}

struct Outcome {
  std::string error;  // empty: the desktop took the picture
  Calls calls;
  std::vector<bool> rootBackgrounds;  // stretched, for each root background set
};
Outcome ReloadUnder(std::optional<std::string> desktop, ScriptedRunner runner,
                    const std::string& path = "/w.bmp", bool stretched = true) {
  ScopedEnv env("XDG_CURRENT_DESKTOP", std::move(desktop));
  Outcome o;
  const TBitmap32 picture(2, 1);
  DesktopWallpaperReload reload(runner, [&](const TBitmap32& p, bool s) {
    EXPECT_EQ(p.Width(), 2);
    o.rootBackgrounds.push_back(s);
  });
  try {
    reload.Reload(path, picture, stretched);
  } catch (const WallpaperError& e) {
    o.error = e.what();
  }
  o.calls = runner.calls;
  return o;
}

TEST(DesktopWallpaper, DesktopIsTheFirstEntryKnown) {
  const std::pair<const char*, TDesktopKind> cases[] = {
      {"ubuntu:GNOME", TDesktopKind::Gnome},   {"Budgie:GNOME", TDesktopKind::Gnome},
      {"unity", TDesktopKind::Gnome},          {"X-Cinnamon", TDesktopKind::Cinnamon},
      {"MATE:GNOME", TDesktopKind::Mate},      {"X-Generic:xfce", TDesktopKind::Xfce},
      {"KDE", TDesktopKind::Kde},              {"", TDesktopKind::Unknown},
      {"LXQt", TDesktopKind::Unknown},         {"GNOMEX:KDEX", TDesktopKind::Unknown},
  };
  for (const auto& [xdg, kind] : cases) EXPECT_EQ(DesktopKindOf(xdg), kind) << xdg;

  // Other desktops get the root window's background; a relative path is
  // refused. Neither runs a command.
  for (const auto& [desktop, path] : {std::pair<std::optional<std::string>, std::string>{
                                          std::nullopt, "/w.bmp"},
                                      {"LXQt", "/w.bmp"},
                                      {"GNOME", "w.bmp"}}) {
    SCOPED_TRACE(desktop.value_or("unset") + " " + path);
    for (bool stretched : {true, false}) {
      Outcome o = ReloadUnder(desktop, FullDesktop(), path, stretched);
      EXPECT_TRUE(o.calls.empty());
      if (path == "w.bmp") {
        EXPECT_THAT(o.error, HasSubstr("no absolute path"));
        EXPECT_TRUE(o.rootBackgrounds.empty());
      } else {
        EXPECT_EQ(o.error, "");
        EXPECT_EQ(o.rootBackgrounds, std::vector<bool>{stretched});
      }
    }
  }
  // Without a root background (no X server) an unknown desktop is an error.
  ScopedEnv env("XDG_CURRENT_DESKTOP", "LXDE");
  ScriptedRunner runner;
  EXPECT_THROW(DesktopWallpaperReload(runner).Reload("/w.bmp", TBitmap32(1, 1), true),
               WallpaperError);
}

TEST(DesktopWallpaper, EachDesktopRunsItsSettingCommands) {
  const std::string uri = "'file:///w.bmp'";
  struct Case {
    const char* desktop;
    bool stretched;
    Calls expected;
  } cases[] = {
      {"ubuntu:GNOME", true,
       {kListSchemas, kListGnomeKeys, Gset(kGnome, "picture-options", "'stretched'"),
        Gset(kGnome, "picture-uri", uri), Gset(kGnome, "picture-uri-dark", uri)}},
      {"Budgie:GNOME", false,
       {kListSchemas, kListGnomeKeys, Gset(kGnome, "picture-options", "'centered'"),
        Gset(kGnome, "picture-uri", uri), Gset(kGnome, "picture-uri-dark", uri)}},
      {"X-Cinnamon", true,
       {kListSchemas, Gset(kCinnamon, "picture-options", "'stretched'"),
        Gset(kCinnamon, "picture-uri", uri)}},
      {"X-Cinnamon", false,
       {kListSchemas, Gset(kCinnamon, "picture-options", "'centered'"),
        Gset(kCinnamon, "picture-uri", uri)}},
      {"MATE", true,
       {kListSchemas, Gset(kMate, "picture-options", "'stretched'"),
        Gset(kMate, "picture-filename", "'/w.bmp'")}},
      {"MATE", false,
       {kListSchemas, Gset(kMate, "picture-options", "'centered'"),
        Gset(kMate, "picture-filename", "'/w.bmp'")}},
      {"XFCE", true, {kListXfce, Xset(kXfce0 + "image-style", "3"), Xset(kXfce0 + "last-image", "/w.bmp")}},
      {"XFCE", false, {kListXfce, Xset(kXfce0 + "image-style", "1"), Xset(kXfce0 + "last-image", "/w.bmp")}},
  };
  for (const Case& c : cases) {
    Outcome o = ReloadUnder(c.desktop, FullDesktop(), "/w.bmp", c.stretched);
    EXPECT_EQ(o.error, "") << c.desktop;
    EXPECT_EQ(o.calls, c.expected) << c.desktop << (c.stretched ? " stretched" : " centred");
  }

  // Plasma: one script for every desktop through dbus-send.
  for (bool stretched : {true, false}) {
    Outcome o = ReloadUnder("KDE", FullDesktop(), "/w.bmp", stretched);
    EXPECT_EQ(o.error, "");
    ASSERT_EQ(o.calls.size(), 1u);
    const Argv& argv = o.calls[0];
    EXPECT_EQ(Argv(argv.begin(), argv.end() - 1),
              (Argv{"dbus-send", "--session", "--print-reply", "--dest=org.kde.plasmashell",
                    "--type=method_call", "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript"}));
    EXPECT_EQ(argv.back().rfind("string:var all = desktops();", 0), 0u) << argv.back();
    EXPECT_THAT(argv.back(), HasSubstr("writeConfig(\"Image\", \"file:///w.bmp\")"));
    EXPECT_THAT(argv.back(), HasSubstr(stretched ? "writeConfig(\"FillMode\", 0)"
                                                 : "writeConfig(\"FillMode\", 6)"));
  }
}

TEST(DesktopWallpaper, OptionalSettingsAreUsedOnlyWhereTheyExist) {
  // A schema missing from the list, or no list at all, means no setting known.
  for (const char* desktop : {"GNOME", "X-Cinnamon", "MATE"}) {
    for (int status : {0, 1}) {
      ScriptedRunner runner;
      runner.Answer(kListSchemas, status ? kGnome + "\n" + kCinnamon + "\n" + kMate + "\n"
                                         : "org.cinnamon.desktop.background.slideshow\n",
                    status);
      Outcome o = ReloadUnder(desktop, runner);
      EXPECT_NE(o.error, "") << desktop << " " << status;
      EXPECT_EQ(o.calls, Calls{kListSchemas}) << desktop << " " << status;
    }
  }

  // The dark picture key only where the schema has it.
  ScriptedRunner noDark = FullDesktop();
  noDark.Answer(kListGnomeKeys, "picture-options\npicture-uri\nprimary-color\n");
  Outcome o = ReloadUnder("GNOME", noDark);
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(o.calls, (Calls{kListSchemas, kListGnomeKeys,
                            Gset(kGnome, "picture-options", "'stretched'"),
                            Gset(kGnome, "picture-uri", "'file:///w.bmp'")}));

  // Without dbus-send the same script goes through qdbus.
  ScriptedRunner noDbusSend;
  noDbusSend.missing.insert("dbus-send");
  o = ReloadUnder("KDE", noDbusSend);
  EXPECT_EQ(o.error, "");
  ASSERT_EQ(o.calls.size(), 2u);
  EXPECT_EQ(o.calls[1], (Argv{"qdbus", "org.kde.plasmashell", "/PlasmaShell",
                              "org.kde.PlasmaShell.evaluateScript",
                              o.calls[0].back().substr(7)}));
}

TEST(DesktopWallpaper, XfceSetsEveryMonitorAndWorkspace) {
  const std::string hdmi = "/backdrop/screen0/monitorHDMI-1/";
  const std::string edp = "/backdrop/screen0/monitoreDP-1/";
  const std::string old = "/backdrop/screen0/monitor0/";
  ScriptedRunner runner;
  runner.Answer(kListXfce, hdmi + "workspace0/color-style\n" + hdmi + "workspace0/image-style\n" +
                               hdmi + "workspace0/last-image\n" + hdmi + "workspace1/last-image\n" +
                               edp + "workspace0/image-style\n" + edp + "workspace0/last-image\n" +
                               old + "image-path\n" + old + "image-style\n" +
                               "/backdrop/single-workspace-mode\n/desktop-icons/last-image\n");
  Outcome o = ReloadUnder("XFCE", runner, "/w.bmp", false);
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(o.calls,
            (Calls{kListXfce, Xset(hdmi + "workspace0/image-style", "1"),
                   Xset(hdmi + "workspace0/last-image", "/w.bmp"),
                   {"xfconf-query", "-c", "xfce4-desktop", "-p", hdmi + "workspace1/image-style",
                    "-n", "-t", "int", "-s", "1"},
                   Xset(hdmi + "workspace1/last-image", "/w.bmp"),
                   Xset(edp + "workspace0/image-style", "1"),
                   Xset(edp + "workspace0/last-image", "/w.bmp"), Xset(old + "image-style", "1"),
                   Xset(old + "image-path", "/w.bmp")}));

  // Without any backdrop picture there is nothing to set.
  ScriptedRunner bare;
  bare.Answer(kListXfce, "/backdrop/single-workspace-mode\n/desktop-icons/style\n");
  o = ReloadUnder("XFCE", bare);
  EXPECT_NE(o.error, "");
  EXPECT_EQ(o.calls, Calls{kListXfce});
}

TEST(DesktopWallpaper, AwkwardPathsStayIntactInEveryForm) {
  const std::string path = "/home/u/My Pictures/it's \"q\" caf\xC3\xA9 \\ 100%.bmp";
  const std::string uri =
      "file:///home/u/My%20Pictures/it%27s%20%22q%22%20caf%C3%A9%20%5C%20100%25.bmp";
  EXPECT_EQ(ReloadUnder("GNOME", FullDesktop(), path).calls.at(3).back(), "'" + uri + "'");
  EXPECT_EQ(ReloadUnder("MATE", FullDesktop(), path).calls.at(2).back(),
            "'/home/u/My Pictures/it\\'s \"q\" caf\xC3\xA9 \\\\ 100%.bmp'");
  EXPECT_EQ(ReloadUnder("XFCE", FullDesktop(), path).calls.at(2).back(), path);
  EXPECT_THAT(ReloadUnder("KDE", FullDesktop(), path).calls.at(0).back(),
              HasSubstr("writeConfig(\"Image\", \"" + uri + "\")"));
}

TEST(DesktopWallpaper, AFailingCommandEndsTheReloadWithAnErrorNamingIt) {
  struct Case {
    const char* desktop;
    Argv failing;
    size_t callsMade;
  } cases[] = {
      {"GNOME", kListGnomeKeys, 2},
      {"GNOME", Gset(kGnome, "picture-options", "'stretched'"), 3},
      {"GNOME", Gset(kGnome, "picture-uri-dark", "'file:///w.bmp'"), 5},
      {"XFCE", kListXfce, 1},
      {"XFCE", Xset(kXfce0 + "image-style", "3"), 2},
      {"XFCE", Xset(kXfce0 + "last-image", "/w.bmp"), 3},
  };
  for (const Case& c : cases) {
    ScriptedRunner runner = FullDesktop();
    runner.Answer(c.failing, "", 1);
    Outcome o = ReloadUnder(c.desktop, runner);
    EXPECT_EQ(o.error, "\"" + c.failing[0] + "\" failed with status 1") << c.failing.back();
    EXPECT_EQ(o.calls.size(), c.callsMade) << c.failing.back();
  }
  // Plasma refusing the script is a failure (qdbus is not tried); so is
  // having neither program.
  ScriptedRunner refused;
  refused.failing.insert("dbus-send");
  Outcome o = ReloadUnder("KDE", refused);
  EXPECT_EQ(o.error, "\"dbus-send\" failed with status 1");
  EXPECT_EQ(o.calls.size(), 1u);
  ScriptedRunner nothing;
  nothing.missing = {"dbus-send", "qdbus", "gsettings"};
  EXPECT_THAT(ReloadUnder("KDE", nothing).error, HasSubstr("\"qdbus\" could not be run"));
  EXPECT_THAT(ReloadUnder("GNOME", nothing).error, HasSubstr("\"gsettings\" could not be run"));
  ScriptedRunner slow = FullDesktop();
  slow.answers[kListSchemas] = {true, -1, ""};
  EXPECT_THAT(ReloadUnder("MATE", slow).error, HasSubstr("did not finish"));
}

TEST(DesktopWallpaper, TheRootBackgroundCoversEachMonitorStretchedOrCentred) {
  TBitmap32 picture(4, 2);
  picture.Clear(Color32(200, 0, 0));
  picture.SetPixel(0, 0, 0);  // transparent: black beneath
  const TColor32 red = Color32(200, 0, 0), black = Color32(0, 0, 0);
  const std::vector<TRect> monitors = {{0, 0, 8, 4}, {8, 0, 12, 6}};
  const TBitmap32 stretched = RootBackgroundImage(picture, true, 14, 6, monitors);
  EXPECT_EQ(stretched.Pixel(7, 3), red);
  EXPECT_EQ(stretched.Pixel(3, 5), black);  // below the first monitor
  EXPECT_EQ(stretched.Pixel(8, 5), red);
  EXPECT_EQ(stretched.Pixel(13, 0), black);  // beside every monitor
  const TBitmap32 centred = RootBackgroundImage(picture, false, 14, 6, monitors);
  EXPECT_EQ(centred.Pixel(2, 1), black);
  EXPECT_EQ(centred.Pixel(3, 1), red);
  EXPECT_EQ(centred.Pixel(5, 2), red);
  EXPECT_EQ(centred.Pixel(6, 2), black);
  EXPECT_EQ(centred.Pixel(9, 2), red);
  EXPECT_EQ(centred.Pixel(8, 2), black);  // the picture's transparent corner
  // Without monitors the whole area is one; a picture larger than it is cut.
  const TBitmap32 whole = RootBackgroundImage(TBitmap32(1, 1), true, 3, 3, {});
  EXPECT_EQ(whole.Pixel(2, 2), black);
  EXPECT_EQ(RootBackgroundImage(picture, false, 2, 2, {}).Pixel(1, 1), red);
}

TEST(DesktopWallpaper, ProcessReloaderIsReplaceableAndRestored) {
  EXPECT_NE(dynamic_cast<DesktopWallpaperReload*>(&WallpaperReload()), nullptr);
  RecordingWallpaperReload recorder;
  recorder.failure = "refused";
  SetWallpaperReload(&recorder);
  EXPECT_THROW(WallpaperReload().Reload("/w.bmp", TBitmap32(1, 1), true), WallpaperError);
  SetWallpaperReload(nullptr);
  EXPECT_EQ(recorder.calls, (std::vector<std::pair<std::string, bool>>{{"/w.bmp", true}}));
  EXPECT_NE(dynamic_cast<DesktopWallpaperReload*>(&WallpaperReload()), nullptr);
}

}  // namespace
}  // namespace saver
