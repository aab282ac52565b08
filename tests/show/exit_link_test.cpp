// The exit link opens only when the user's input ends the full-screen show.
#include <gtest/gtest.h>

#include <functional>

#include "show/show_harness.h"

namespace saver {
namespace {

using namespace saver::testing;

// A box that is up while `during` runs: what arrives then comes from its loop.
struct BoxUpWhile final : IMessageBox {
  std::function<void()> during;
  void Show(const std::string&, const std::string&, MessageIcon) override { during(); }
};

TEST(ExitLink, OpensOnlyWhenTheUsersInputEndsTheShow) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    TWindowHandle daemonWindow;
    std::function<void(ShowHarness&)> end;
    bool opened;
  };
  const Case cases[] = {
      {"a key", {"/s"}, 0, [](ShowHarness& s) { s.Send(msg::KeyDown, 'A'); }, true},
      {"a termination request", {"/s"}, 0, [](ShowHarness& s) { s.w->EndOnRequest(); }, false},
      {"a key, then a termination request before the transition stopped",
       {"/s"},
       0,
       [](ShowHarness& s) {
         ASSERT_TRUE(s.desk.ws.FireNextTimer());
         ASSERT_TRUE(TransitionRunning);
         s.Send(msg::KeyDown, 'A');
         s.w->EndOnRequest();
         s.Settle();
       },
       false},
      {"a daemon's window ending", {"/s"}, 0x5000, [](ShowHarness& s) { s.w->EndOnRequest(); }, false},
      {"the preview's window going away", {"/p", "1234"}, 0, [](ShowHarness& s) { s.Fake().Close(); }, false},
      {"a key while an error box is up",
       {"/s"},
       0,
       [](ShowHarness& s) {
         BoxUpWhile box;
         box.during = [&] { s.Send(msg::KeyDown, 'A'); };
         SetMessageBoxService(&box);
         MessageBoxService().Show("The wallpaper could not be set", "Show Test", MessageIcon::Error);
         SetMessageBoxService(&s.desk.box);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowHarness show(2);
    show.b.text.Exitlink = "https://example.com/goodbye";
    show.path = show.desk.scratch.Write("show.scr", show.b.Build());
    show.w = std::make_unique<TSSWindow>(c.args, show.path, c.daemonWindow);
    show.desk.ws.Run(show.w->Window());
    show.WaitForLookAhead();
    c.end(show);
    EXPECT_TRUE(show.Fake().closed);
    EXPECT_EQ(show.desk.shell.opened.size(), c.opened ? 1u : 0u);
  }
}

}  // namespace
}  // namespace saver
