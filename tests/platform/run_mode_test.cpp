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
