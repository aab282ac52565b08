// What input ends the show, and what closing the window does, in every mode.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/build_config.h"
#include "settings/settings_store.h"
#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

int32_t g_verifyAnswer = 1;
int32_t Verify(uint64_t) { return g_verifyAnswer; }

struct ExitFlags {
  bool move, button, keyboard, esc;
};

TEST(ShowExit, TheExitSettingsDecideWhichInputEndsTheShow) {
  struct Case {
    const char* name;
    ExitFlags flags;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
    bool closes;
  };
  // The mouse was at (10, 10) when the show began.
  const Case cases[] = {
      {"move within 5 pixels", {true, false, false, false}, msg::MouseMove, 0, MouseLParam(15, 15), false},
      {"move 6 pixels right", {true, false, false, false}, msg::MouseMove, 0, MouseLParam(16, 10), true},
      {"move 6 pixels up", {true, false, false, false}, msg::MouseMove, 0, MouseLParam(10, 4), true},
      {"move without the setting", {false, true, true, true}, msg::MouseMove, 0, MouseLParam(40, 40), false},
      {"any key", {false, false, true, false}, msg::KeyDown, 'A', 0, true},
      {"any key up", {false, false, true, false}, msg::KeyUp, vk::Shift, 0, true},
      {"Alt with a key", {false, false, true, false}, msg::SysKeyDown, 'X', 0, true},
      {"Esc alone", {false, false, false, true}, msg::KeyDown, vk::Escape, 0, true},
      {"another key with Esc alone", {false, false, false, true}, msg::KeyDown, 'A', 0, false},
      {"F1 with Esc alone", {false, false, false, true}, msg::KeyDown, vk::F1, 0, false},
      {"F2 with Esc alone", {false, false, false, true}, msg::KeyDown, vk::F2, 0, false},
      {"Esc up with Esc alone", {false, false, false, true}, msg::KeyUp, vk::Escape, 0, false},
      {"left button", {false, true, false, false}, msg::LButtonDown, 0, 0, true},
      {"right button", {false, true, false, false}, msg::RButtonDown, 0, 0, true},
      {"middle button", {false, true, false, false}, msg::MButtonDown, 0, 0, true},
      {"another window activated", {false, true, false, false}, msg::Activate, 0, 0, true},
      {"button without the setting", {true, false, true, true}, msg::LButtonDown, 0, 0, false},
      {"a message no rule names", {true, true, true, true}, 0x000F, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    show.b.trailer.ExitMouseMove = c.flags.move;
    show.b.trailer.ExitMouseButton = c.flags.button;
    show.b.trailer.ExitKeyboard = c.flags.keyboard;
    show.b.trailer.ExitESC = c.flags.esc;
    show.desk.ws.cursorPos = TPoint{10, 10};
    show.Start();
    show.Send(c.message, c.wParam, c.lParam);
    EXPECT_EQ(show.Fake().closed, c.closes);
    EXPECT_EQ(show.Fake().Visible(), !c.closes);
  }
}

TEST(ShowExit, MovingWithoutTheSettingShowsTheCursorEachTime) {
  ShowHarness show(2);
  show.desk.ws.cursorPos = TPoint{10, 10};
  show.Start();
  EXPECT_EQ(show.desk.ws.cursorCount, -1);
  show.Send(msg::MouseMove, 0, MouseLParam(30, 30));
  show.Send(msg::MouseMove, 0, MouseLParam(31, 30));
  show.Send(msg::MouseMove, 0, MouseLParam(12, 12));  // within the threshold
  EXPECT_EQ(show.desk.ws.cursorCount, 1);
  EXPECT_FALSE(show.Fake().closed);
}

TEST(ShowExit, WithTwoMonitorsMovementIsJudgedFromTheCursorOnTheScreen) {
  ShowHarness show(2);
  show.b.trailer.ExitMouseMove = 1;
  show.desk.ws.monitors = {TRect{0, 0, 64, 48}, TRect{64, 0, 128, 48}};
  show.desk.ws.cursorPos = TPoint{100, 10};
  show.Start();
  // Client coordinates that would count as far away, the cursor has not moved.
  show.desk.ws.Send(*show.w->MonitorWindows()[1].Window, TMessage{.Msg = msg::MouseMove, .LParam = MouseLParam(36, 10)});
  EXPECT_FALSE(show.Fake().closed);
  show.desk.ws.cursorPos = TPoint{106, 10};
  show.desk.ws.Send(*show.w->MonitorWindows()[1].Window, TMessage{.Msg = msg::MouseMove, .LParam = MouseLParam(36, 10)});
  EXPECT_TRUE(show.Fake().closed);
}

// Where the display cannot say where the pointer is as the show begins
// (Wayland), the first place it is seen is where movement is judged from.
TEST(ShowExit, APointerUnknownAtTheStartIsJudgedFromWhereItIsFirstSeen) {
  for (bool twoMonitors : {false, true}) {
    SCOPED_TRACE(twoMonitors ? "two monitors" : "one monitor");
    ShowHarness show(2);
    show.b.trailer.ExitMouseMove = 1;
    if (twoMonitors) show.desk.ws.monitors = {TRect{0, 0, 64, 48}, TRect{64, 0, 128, 48}};
    show.desk.ws.cursorPos = std::nullopt;
    show.Start();
    const auto moveTo = [&](int32_t x, int32_t y) {
      show.desk.ws.cursorPos = TPoint{x, y};
      show.Send(msg::MouseMove, 0, MouseLParam(x, y));
    };
    moveTo(40, 30);
    EXPECT_FALSE(show.Fake().closed);
    moveTo(45, 35);
    EXPECT_FALSE(show.Fake().closed);
    moveTo(46, 30);
    EXPECT_TRUE(show.Fake().closed);
  }
}

TEST(ShowExit, F2DownKeepsTheShowAndItsReleaseEndsIt) {
  ShowHarness show(2);
  show.b.text.Exitlink = "https://example.com/thanks";
  show.Start();
  show.Send(msg::KeyDown, vk::F2);
  EXPECT_FALSE(show.Fake().closed);
  show.Send(msg::KeyUp, vk::F2);
  EXPECT_TRUE(show.Fake().closed);
  EXPECT_EQ(show.desk.shell.opened, std::vector<std::string>{"https://example.com/thanks"});
}

TEST(ShowExit, F1EndsTheShowAndOpensTheInformationPageInsteadOfTheExitLink) {
  ShowHarness info(2);
  info.b.text.Exitlink = "https://example.com/thanks";
  info.Start();
  info.Send(msg::KeyDown, vk::F1);
  EXPECT_TRUE(info.Fake().closed);
  EXPECT_EQ(info.desk.shell.opened, std::vector<std::string>{kInfoAddress});
}

TEST(ShowExit, InputDuringATransitionStopsItWithoutItsLastFrameThenCloses) {
  ShowHarness show(2);
  show.Start();
  ASSERT_TRUE(show.desk.ws.FireNextTimer());
  ASSERT_TRUE(TransitionRunning);  // waiting for its first paint
  show.Send(msg::KeyDown, 'Q');
  EXPECT_FALSE(show.Fake().closed);  // the close waits for the transition
  EXPECT_TRUE(AbortTransition);
  show.Settle();
  EXPECT_TRUE(show.Fake().closed);
  EXPECT_NE(show.OnScreen(), 1);  // the incoming picture was not finished
}

TEST(ShowExit, AWrongPasswordKeepsTheShowGoing) {
  ShowHarness show(2);
  show.desk.registry.WriteValues("Control Panel\\Desktop",
                                 {{"ScreenSaveUsePassword", RegValue::Dword(1)}});
  show.desk.libs.Add(show.desk.SystemFile("PASSWORD.CPL"),
                     {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&Verify)}});
  g_verifyAnswer = 0;
  show.Start();
  show.Send(msg::KeyDown, 'A');
  EXPECT_FALSE(show.Fake().closed);
  EXPECT_EQ(show.desk.ws.cursorCount, -1);  // hidden again
  EXPECT_TRUE(show.ShowTimer().Enabled());
  EXPECT_FALSE(show.w->Suspended);
  ASSERT_TRUE(show.Tick());
  EXPECT_EQ(show.OnScreen(), 1);

  g_verifyAnswer = 1;
  show.Send(msg::KeyDown, 'A');
  EXPECT_TRUE(show.Fake().closed);
}

TEST(ShowClose, ClosingRestoresTheDesktopRemovesFilesAndOpensTheExitLinkLast) {
  ShowHarness show(3);
  show.b.text.Exitlink = "https://example.com/caf\xe9";  // Windows-1252 text
  show.Start();
  ASSERT_TRUE(show.Tick());
  const std::string temp = show.desk.scratch.Path("saver-" + std::to_string(geteuid()));
  std::ofstream(temp + "/SSDATA.DAT") << "x";
  bool visibleWhenOpened = true;
  struct WatchingShell final : IShell {
    std::function<void(const std::string&)> onOpen;
    void Launch(const std::string& a) override { onOpen(a); }
  } shell;
  std::vector<std::string> opened;
  shell.onOpen = [&](const std::string& a) {
    visibleWhenOpened = show.Fake().Visible();
    opened.push_back(a);
  };
  SetShell(&shell);
  show.Send(msg::KeyDown, vk::Space);
  SetShell(&show.desk.shell);
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/caf\xc3\xa9"});
  EXPECT_FALSE(visibleWhenOpened);
  EXPECT_FALSE(show.desk.ws.screenSaverRunning);
  EXPECT_GE(show.desk.ws.cursorCount, 0);
  EXPECT_FALSE(show.desk.ws.HasMessageFilter());
  EXPECT_FALSE(show.ShowTimer().Enabled());
  EXPECT_EQ(show.w->ScreenSaver(), nullptr);
  EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST(ShowModes, ConfigurationIsACentredDialogThatSavesItsSettingsWhenClosed) {
  ShowHarness show(2);
  show.desk.ws.monitors = {TRect{0, 0, 1024, 768}};
  show.b.text.Exitlink = "https://example.com/thanks";
  show.b.trailer.Seconds = 75;  // more than the panel allows
  show.b.trailer.ExitKeyboard = 0;
  show.b.trailer.ExitESC = 1;
  show.Start({"/c"});
  // Centred at the panel's size, then lower by the banner strip this saver lacks.
  EXPECT_EQ(show.Fake().Bounds(), (TRect{259, 193, 259 + 505, 193 + 381 - 69}));
  EXPECT_EQ(show.Fake().borderStyle, TBorderStyle::Dialog);
  EXPECT_TRUE(show.w->CfgBox().Visible());
  EXPECT_TRUE(show.Fake().Visible());
  EXPECT_EQ(show.Fake().Title(), "Show Test");
  // A window of its own on the task bar, with the saver's picture (here a
  // sample picture: the saver has no preview picture) fitted into its icon.
  EXPECT_EQ(show.desk.ws.appExStyle & kWsExToolWindow, 0u);
  EXPECT_EQ(show.desk.ws.appIcon.Width(), 64);
  EXPECT_EQ(AlphaOf(show.desk.ws.appIcon.Pixel(32, 32)), 255);
  EXPECT_EQ(AlphaOf(show.desk.ws.appIcon.Pixel(32, 0)), 0);
  show.Send(msg::KeyDown, 'A');
  EXPECT_FALSE(show.Fake().closed);
  show.Send(msg::KeyDown, vk::Escape);
  EXPECT_TRUE(show.Fake().closed);
  EXPECT_TRUE(show.desk.shell.opened.empty());
  PayloadTrailer stored;
  std::string effect;
  ReadSettings(show.desk.registry, "Show Test", stored, effect);
  EXPECT_EQ(stored.Seconds, 60);
  EXPECT_EQ(stored.Stretch, 1);
  EXPECT_EQ(stored.ExitESC, 1);
  EXPECT_EQ(stored.ExitKeyboard, 0);  // a lone Esc setting stays alone
  EXPECT_EQ(effect, "\x01");
}

TEST(ShowModes, InADaemonsWindowTheShowLeavesInputToTheDaemonAndFollowsItsSize) {
  ShowHarness show(2);
  show.desk.registry.WriteValues("Control Panel\\Desktop",
                                 {{"ScreenSaveUsePassword", RegValue::Dword(1)}});
  show.desk.libs.Add(show.desk.SystemFile("PASSWORD.CPL"),
                     {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&Verify)}});
  g_verifyAnswer = 0;
  show.path = show.desk.scratch.Write("show.scr", show.b.Build());
  show.w = std::make_unique<TSSWindow>(std::vector<std::string>{"/s"}, show.path, 0x5000);
  show.desk.ws.Run(show.w->Window());
  FakeWindow& w = show.Fake();
  EXPECT_EQ(w.parent, 0x5000u);
  EXPECT_FALSE(w.enabled);
  EXPECT_FALSE(show.desk.ws.HasMessageFilter());
  EXPECT_FALSE(show.desk.ws.screenSaverRunning);
  EXPECT_EQ(show.desk.ws.cursorCount, 0);
  EXPECT_NE(w.WindowState(), TWindowState::Maximized);
  EXPECT_EQ(show.OnScreen(), 0);
  // The daemon's window grows: the picture on screen is composed again at the new size.
  w.SetBounds(TRect{0, 0, 96, 72});
  EXPECT_EQ(show.w->Image32().Surface().Width(), 96);
  EXPECT_EQ(ShowHarness::Showing(show.w->Image32()), 0);
  EXPECT_EQ(static_cast<FakePictureControl&>(show.w->Image32()).Screen().Pixel(90, 70) | 0xFF000000u,
            PictureColor(0));
  // Asked to end, it ends without a password (the daemon has its own).
  show.w->EndOnRequest();
  EXPECT_TRUE(w.closed);
}

TEST(ShowModes, PasswordChangeEndsBeforeTheWindowIsShown) {
  ShowHarness show(2);
  show.Start({"/a", "99"});
  EXPECT_TRUE(show.desk.ui.TerminateRequested());
  EXPECT_EQ(show.Fake().showCount, 0);
}

}  // namespace
}  // namespace saver
