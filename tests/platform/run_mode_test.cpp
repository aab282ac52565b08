#include "platform/run_mode.h"

#include <gtest/gtest.h>

#include <vector>

namespace saver {
namespace {

RunModeInfo Detect(std::vector<std::string> args) { return DetectRunMode(args); }

TEST(RunMode, SecondCharacterOfArgumentOneIsTheModeLetter) {
  struct Case {
    std::vector<std::string> args;
    RunMode mode;
    char letter;
  } cases[] = {
      {{}, RunMode::Config, '\0'},
      {{"/s"}, RunMode::Saver, 'S'},
      {{"/S"}, RunMode::Saver, 'S'},
      {{"-s"}, RunMode::Saver, 'S'},
      {{"/screen"}, RunMode::Saver, 'S'},
      {{"xs"}, RunMode::Saver, 'S'},
      {{"s"}, RunMode::Config, '\0'},  // one character: no letter
      {{""}, RunMode::Config, '\0'},
      {{"/c:1234"}, RunMode::Config, 'C'},
      {{"/C"}, RunMode::Config, 'C'},
      {{"-c"}, RunMode::Config, 'C'},
      {{"/x"}, RunMode::Config, 'X'},
      {{"/p", "1234"}, RunMode::Preview, 'P'},
      {{"/a", "1234"}, RunMode::Password, 'A'},
      {{"s/"}, RunMode::Config, '/'},
      // The first character is dropped whole, however many bytes of UTF-8 it takes.
      {{"\xE2\x80\x94s"}, RunMode::Saver, 'S'},      // an em dash
      {{"\xE2\x80\x93P", "77"}, RunMode::Preview, 'P'},  // an en dash
      {{"\xC2\xB7" "a"}, RunMode::Password, 'A'},
      {{"\xF0\x9F\x98\x80s"}, RunMode::Saver, 'S'},
      {{"\xE2\x80\x94"}, RunMode::Config, '\0'},  // the dash alone
      {{"\xE2\x80s"}, RunMode::Saver, 'S'},         // a cut sequence ends early
      {{"\x80s"}, RunMode::Saver, 'S'},              // a stray byte is one character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    RunModeInfo info = Detect(c.args);
    EXPECT_EQ(info.mode, c.mode);
    EXPECT_EQ(info.letter, c.letter);
  }
}

TEST(RunMode, ParentHandleOnlyForPreviewAndPassword) {
  EXPECT_EQ(Detect({"/p", "1234"}).parent, 1234u);
  EXPECT_EQ(Detect({"/A", "77"}).parent, 77u);
  EXPECT_EQ(Detect({"/p", "4294967295"}).parent, 4294967295u);
  EXPECT_EQ(Detect({"/p", "0x1e00005"}).parent, 0x1e00005u);  // as xwininfo prints it
  EXPECT_EQ(Detect({"/p", "0X4D2"}).parent, 1234u);
  EXPECT_FALSE(Detect({"/p", "0x"}).parent);
  EXPECT_FALSE(Detect({"/p:1234"}).parent);  // the colon form leaves no parent
  EXPECT_FALSE(Detect({"/p"}).parent);
  EXPECT_FALSE(Detect({"/p", "12ab"}).parent);
  EXPECT_FALSE(Detect({"/p", "-5"}).parent);
  EXPECT_FALSE(Detect({"/p", ""}).parent);
  EXPECT_FALSE(Detect({"/s", "1234"}).parent);
  EXPECT_FALSE(Detect({"/c", "1234"}).parent);
}

}  // namespace
}  // namespace saver

namespace saver {
namespace {

TEST(RunMode, DaemonWindowFollowsTheDaemonsConventions) {
  struct Case {
    std::vector<std::string> args;
    const char* env;  // XSCREENSAVER_WINDOW
    bool requested;
    uint64_t window;
    std::string id, source;  // as an error would name them
  } cases[] = {
      {{"-window-id", "12345"}, nullptr, true, 12345, "12345", "-window-id"},
      {{"--window-id", "0x2a00007"}, "99", true, 0x2a00007, "0x2a00007", "-window-id"},
      {{"-window-id", "nonsense"}, nullptr, true, 0, "nonsense", "-window-id"},
      {{"-window-id"}, nullptr, true, 0, "", "-window-id"},
      {{"-root"}, nullptr, true, 777, "", ""},  // the root window
      {{"--root"}, "0X1C00003", true, 0x1c00003, "0X1C00003", "XSCREENSAVER_WINDOW"},
      {{}, "4242", true, 4242, "4242", "XSCREENSAVER_WINDOW"},  // the variable alone
      {{"/s"}, "4242", false, 0, "", ""},                       // a switch wins over the variable
      {{"/c"}, nullptr, false, 0, "", ""},
      {{}, nullptr, false, 0, "", ""},
      {{}, "", false, 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.args.empty() ? std::string("(none)") : c.args[0]) + " env " +
                 (c.env ? c.env : "unset"));
    const TDaemonWindow d = DaemonWindow(c.args, c.env, 777);
    EXPECT_EQ(d.requested, c.requested);
    EXPECT_EQ(d.window, c.window);
    EXPECT_EQ(d.id, c.id);
    EXPECT_EQ(d.source, c.source);
  }
}

}  // namespace
}  // namespace saver
