// The host component on the in-memory desktop: what each mode does to its
// form and to the system, the password check and the destruction steps.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/screen_saver.h"
#include "show/fake_desktop.h"

namespace saver {
namespace {

using namespace saver::testing;

// What the scripted password libraries were called with.
struct LibraryCalls {
  std::vector<uint64_t> verified;
  std::vector<std::string> changed;
  int32_t verifyResult = 1;
};
LibraryCalls g_calls;

int32_t Verify(uint64_t window) {
  g_calls.verified.push_back(window);
  return g_calls.verifyResult;
}
uint32_t Change(const char* provider, uint64_t parent, uint32_t r1, uint32_t r2) {
  g_calls.changed.push_back(std::string(provider) + " " + std::to_string(parent) + " " +
                            std::to_string(r1) + " " + std::to_string(r2));
  return 0;
}

class ScreenSaverTest : public ::testing::Test {
 protected:
  ScreenSaverTest() {
    g_calls = {};
    owner = desk.ws.CreateWindow();
    fake = static_cast<FakeWindow*>(owner.get());
    owner->SetBounds(TRect{0, 0, 640, 480});
    panel = &owner->AddPanel("CfgBox", TRect{8, 64, 513, 445});
    other = &owner->AddPanel("PanelDisplay", TRect{0, 0, 10, 10});
    picture = &owner->AddPicture("Image32", TRect{0, 0, 640, 480});
    desk.ws.monitors = {TRect{0, 0, 1280, 1024}};
  }
  std::unique_ptr<TScreenSaver> Make(std::vector<std::string> args, bool withPanel = true) {
    auto s = std::make_unique<TScreenSaver>(*owner, std::move(args));
    if (withPanel) {
      s->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;
      s->ConfigurationBoxPanel = panel;
    }
    s->OnPreviewActive = [this] { events += "P"; };
    s->OnMainSaverActive = [this] { events += "S"; };
    s->OnConfigBoxActive = [this] { events += "C"; };
    s->OnPasswordSet = [this] { events += "A"; };
    return s;
  }
  void InstallPasswordLibraries(bool withVerify = true) {
    FakeLibraries::Exports exports;
    if (withVerify) exports["VerifyScreenSavePwd"] = reinterpret_cast<void*>(&Verify);
    desk.libs.Add(desk.SystemFile("PASSWORD.CPL"), exports);
    desk.libs.Add(desk.SystemFile("MPR.DLL"),
                  {{"PwdChangePasswordA", reinterpret_cast<void*>(&Change)}});
  }
  void StorePasswordFlag(RegValue v) {
    desk.registry.WriteValues(kDesktopKey, {{kUsePasswordValue, v}});
  }

  FakeDesktop desk;
  std::unique_ptr<IWindow> owner;
  FakeWindow* fake = nullptr;
  IControl *panel = nullptr, *other = nullptr;
  IPictureControl* picture = nullptr;
  std::string events;
};

TEST_F(ScreenSaverTest, FullScreenMakesTheFormATopmostBorderlessSaverAndDestructionUndoesIt) {
  // Only our own window with the application's title is hidden.
  auto title = desk.ws.CreateWindow();
  title->SetTitle("Screen Saver");
  title->Show();
  const TWindowHandle foreign = desk.ws.AddOtherWindow("Screen Saver");
  desk.ws.appTitle = "Screen Saver";
  {
    auto s = Make({"/s"});
    s->Loaded();
    EXPECT_EQ(events, "S");
    EXPECT_FALSE(panel->Visible());  // the configuration panel is hidden at load
    EXPECT_FALSE(title->Visible());
    EXPECT_TRUE(desk.ws.others[foreign].visible);
    EXPECT_TRUE(desk.ws.screenSaverRunning);
    EXPECT_EQ(desk.ws.cursorCount, -1);
    EXPECT_EQ(fake->WindowState(), TWindowState::Maximized);
    EXPECT_EQ(fake->Bounds(), (TRect{0, 0, 1280, 1024}));
    EXPECT_EQ(fake->borderStyle, TBorderStyle::None);
    EXPECT_TRUE(fake->stayOnTop);
    EXPECT_TRUE(s->Hooked());
  }
  EXPECT_FALSE(desk.ws.screenSaverRunning);
  EXPECT_EQ(desk.ws.cursorCount, 0);
  // The original procedure is back: the start command passes again.
  TMessage m{.Msg = msg::SysCommand, .WParam = msg::ScScreenSave, .Result = 7};
  int passed = 0;
  owner->SetWindowProc([&](TMessage&) { ++passed; });
  owner->Perform(m);
  EXPECT_EQ(passed, 1);
}

TEST_F(ScreenSaverTest, TheHookSwallowsOnlyTheScreenSaverStartCommand) {
  std::vector<uint64_t> passedOn;
  owner->SetWindowProc([&](TMessage& m) {
    passedOn.push_back(m.WParam);
    m.Result = 42;
  });
  auto s = Make({"/s"});
  s->Loaded();
  TMessage start{.Msg = msg::SysCommand, .WParam = 0xF140, .Result = 9};
  owner->Perform(start);
  EXPECT_EQ(start.Result, 0);
  TMessage other{.Msg = msg::SysCommand, .WParam = 0xF141};
  owner->Perform(other);
  EXPECT_EQ(other.Result, 42);
  TMessage key{.Msg = msg::KeyDown, .WParam = vk::Escape};
  owner->Perform(key);
  EXPECT_EQ(passedOn, (std::vector<uint64_t>{0xF141, vk::Escape}));
}

TEST_F(ScreenSaverTest, PreviewFillsItsParentAsADisabledScaledChildAndSkipsOnlyMissingHandles) {
  desk.ws.others[1234] = {.title = "preview", .rect = TRect{20, 30, 420, 330}};
  struct Case {
    std::vector<std::string> args;
    bool embedded;
    TWindowHandle parent;
    TRect bounds, scaled;  // the form's, and the other panel's scaled with it
  };
  const TRect kept{640, 256, 1280, 512};
  // Scaled by the parent's width / 1280, the screen's width the form took first.
  for (const Case& c : {Case{{"/p", "1234"}, true, 1234, {0, 0, 400, 300}, {200, 80, 400, 160}},
                        Case{{"/p", "0x4d2"}, true, 1234, {0, 0, 400, 300}, {200, 80, 400, 160}},
                        Case{{"/p", "0"}, true, 0, {0, 0, 152, 112}, {76, 30, 152, 61}},
                        Case{{"/p", "-1"}, false, 77, {0, 0, 640, 480}, kept},
                        Case{{"/p", "abc"}, false, 77, {0, 0, 640, 480}, kept},
                        Case{{"/p:1234"}, false, 77, {0, 0, 640, 480}, kept}}) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    owner->SetBounds(TRect{0, 0, 640, 480});
    other->SetBounds(kept);
    fake->enabled = true;
    fake->parent = 77;
    events.clear();
    auto s = Make(c.args);
    s->Loaded();
    EXPECT_EQ(events, "P");
    EXPECT_EQ(desk.ws.appExStyle, 0x88u);
    EXPECT_EQ(fake->parent, c.parent);
    EXPECT_EQ(fake->enabled, !c.embedded);
    EXPECT_EQ(fake->Bounds(), c.bounds);
    EXPECT_EQ(other->Bounds(), c.scaled);
  }
}

TEST_F(ScreenSaverTest, ConfigurationShowsOnlyThePanelCentredAndDisablesDisplaySettingsForC) {
  auto displayWindow = desk.ws.CreateWindow();
  displayWindow->SetTitle(kDisplayPropertiesTitle);
  auto& display = static_cast<FakeWindow&>(*displayWindow);
  const TWindowHandle foreign = desk.ws.AddOtherWindow(kDisplayPropertiesTitle);
  {
    auto s = Make({"/c:1234"});
    s->Loaded();
    EXPECT_EQ(events, "C");
    EXPECT_TRUE(panel->Visible());
    EXPECT_FALSE(other->Visible());
    EXPECT_EQ(panel->Bounds(), (TRect{0, 0, 505, 381}));
    EXPECT_EQ(fake->borderStyle, TBorderStyle::Dialog);
    const int32_t left = (1280 - 505) / 2, top = (1024 - 381) / 2;
    EXPECT_EQ(fake->Bounds(), (TRect{left, top, left + 505, top + 381}));
    EXPECT_FALSE(display.enabled);
    EXPECT_EQ(desk.ws.foreground, display.Handle());
    EXPECT_TRUE(desk.ws.others[foreign].enabled);  // another program's is left alone
  }
  EXPECT_TRUE(display.enabled);
  // Destruction in any mode restores what full screen would have changed.
  EXPECT_EQ(desk.ws.cursorCount, 1);
  EXPECT_FALSE(desk.ws.screenSaverRunning);

  // Without the letter C the display settings window is left alone.
  desk.ws.calls.clear();
  auto plain = Make({});
  plain->Loaded();
  for (const std::string& call : desk.ws.calls) EXPECT_EQ(call.find("EnableWindow"), std::string::npos);
}

TEST_F(ScreenSaverTest, WithoutItsPanelConfigurationFallsBackToTheMessageBox) {
  auto display = desk.ws.CreateWindow();
  display->SetTitle(kDisplayPropertiesTitle);
  auto s = Make({"/c"}, /*withPanel=*/false);
  s->ConfigurationBoxStyle = TConfigBoxStyle::cbsPanel;  // but no panel given
  s->ConfigurationBoxPanel = picture;                    // a picture is not a panel
  s->Loaded();
  EXPECT_EQ(s->ConfigurationBoxStyle, TConfigBoxStyle::cbsMessageDlg);
  EXPECT_EQ(s->ConfigurationBoxPanel, nullptr);
  ASSERT_EQ(desk.box.shown.size(), 1u);
  EXPECT_EQ(desk.box.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(events, "CC");  // inside the box's handling and once more at the end
  EXPECT_TRUE(desk.ui.TerminateRequested());
  EXPECT_LT(fake->Bounds().Right, 0);  // moved off screen
  EXPECT_TRUE(static_cast<FakeWindow&>(*display).enabled);
}

TEST_F(ScreenSaverTest, PasswordChangeCallsTheProviderWithTheOwnerAndEnds) {
  InstallPasswordLibraries();
  struct Case {
    std::vector<std::string> args;
    std::string call;
  };
  for (const Case& c : {Case{{"/a", "4321"}, "SCRSAVE 4321 0 0"}, Case{{"-A", "x"}, "SCRSAVE 0 0 0"},
                        Case{{"/a"}, "SCRSAVE 0 0 0"}}) {
    g_calls = {};
    events.clear();
    auto s = Make(c.args);
    s->Loaded();
    EXPECT_EQ(g_calls.changed, std::vector<std::string>{c.call});
    EXPECT_EQ(events, "A");
    EXPECT_EQ(fake->WindowState(), TWindowState::Minimized);
  }
  EXPECT_EQ(desk.libs.loads.back(), desk.SystemFile("MPR.DLL"));
  EXPECT_EQ(desk.libs.frees, 3);
  EXPECT_TRUE(desk.ui.TerminateRequested());
}

TEST_F(ScreenSaverTest, VerifyPasswordAsksOnlyWhenTheStoreSaysSoAndTheServiceExists) {
  desk.ws.foreground = desk.ws.AddOtherWindow("an editor");
  struct Case {
    const char* name;
    std::optional<RegValue> flag;
    bool libraries, verifyExport;
    int32_t answer;
    bool expected;
    size_t verifications;
  };
  const Case cases[] = {
      {"no setting", std::nullopt, true, true, 0, true, 0},
      {"setting 0", RegValue::Dword(0), true, true, 0, true, 0},
      {"setting text 0", RegValue::Sz("0"), true, true, 0, true, 0},
      {"no library", RegValue::Dword(1), false, true, 0, true, 0},
      {"no function", RegValue::Dword(1), true, false, 0, true, 0},
      {"right password", RegValue::Dword(1), true, true, 1, true, 1},
      {"wrong password", RegValue::Sz("1"), true, true, 0, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDesktop& d = desk;
    std::filesystem::remove(d.registry.Path());
    d.registry.WriteValues(kDesktopKey, {{"Wallpaper", RegValue::Sz("")}});
    if (c.flag) StorePasswordFlag(*c.flag);
    d.libs = FakeLibraries();
    if (c.libraries) InstallPasswordLibraries(c.verifyExport);
    g_calls = {};
    g_calls.verifyResult = c.answer;
    auto s = Make({"/s"});
    s->Loaded();  // the cursor is hidden: -1
    const int32_t before = d.ws.cursorCount;
    EXPECT_EQ(s->VerifyPassword(), c.expected);
    ASSERT_EQ(g_calls.verified.size(), c.verifications);
    if (c.verifications) {
      EXPECT_EQ(g_calls.verified[0], d.ws.foreground);
    }
    // Shown for the check, hidden again only when it failed.
    EXPECT_EQ(d.ws.cursorCount, before + (c.expected ? 1 : 0));
    EXPECT_EQ(d.libs.frees, int(d.libs.loads.size()) - (c.libraries ? 0 : 1));
  }
  // Outside full screen there is never a check.
  StorePasswordFlag(RegValue::Dword(1));
  InstallPasswordLibraries();
  g_calls = {};
  g_calls.verifyResult = 0;
  auto config = Make({"/c"});
  EXPECT_TRUE(config->VerifyPassword());
  EXPECT_TRUE(g_calls.verified.empty());
}

}  // namespace
}  // namespace saver
