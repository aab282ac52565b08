#include "platform/command_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/scoped_env.h"

namespace saver {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;

// True when the test process has no child at all, living or zombie.
bool HasNoChildren() {
  siginfo_t info{};
  return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

class CommandRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "saver-runner-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
    fs::create_directory(dir / "bin");
  }
  void TearDown() override { fs::remove_all(dir); }

  void Script(const std::string& name, const std::string& body,
              fs::perms perms = fs::perms::owner_all) {
    fs::path path = dir / "bin" / name;
    std::ofstream(path, std::ios::binary) << "#!/bin/sh\nPATH=/usr/bin:/bin\n" << body;
    fs::permissions(path, perms);
  }
  std::string BinPath() const { return (dir / "bin").string() + ":/usr/bin:/bin"; }

  fs::path dir;
};

TEST_F(CommandRunnerTest, RunsTheProgramFromPathAndCapturesItsOutputAndStatus) {
  Script("tool",
         "printf '%s|' \"$#\" \"$@\"\n"
         "echo\n"
         "readlink /proc/$$/fd/0 /proc/$$/fd/2\n"
         "for f in /proc/$$/fd/*; do readlink \"$f\"; done\n"
         "echo 'on stderr' >&2\n"
         "exit 3\n");
  ScopedEnv path("PATH", BinPath());
  // A descriptor the test holds without close-on-exec must not reach the program.
  int held = ::open((dir / "held").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(held, 0);
  TCommandResult r = ProcessRunner().Run(
      {"tool", "two words", "it's \"quoted\" $HOME `x` ;|&", "", "caf\xC3\xA9"});
  ::close(held);

  EXPECT_TRUE(r.Started);
  EXPECT_EQ(r.ExitStatus, 3);
  EXPECT_FALSE(r.Succeeded());
  // Arguments arrive one by one, untouched by any shell; standard input and
  // error are /dev/null.
  const std::string head =
      "4|two words|it's \"quoted\" $HOME `x` ;|&||caf\xC3\xA9|\n"
      "/dev/null\n/dev/null\n";
  EXPECT_EQ(r.Output.substr(0, head.size()), head);
  EXPECT_EQ(r.Output.find((dir / "held").string()), std::string::npos) << r.Output;
}

TEST_F(CommandRunnerTest, LongOutputIsReadWhileTheProgramRuns) {
  Script("chatty", "head -c 300000 /dev/zero | tr '\\0' x\nexit 0\n");
  ScopedEnv path("PATH", BinPath());
  TCommandResult r = ProcessRunner().Run({"chatty"});
  EXPECT_TRUE(r.Succeeded());
  EXPECT_EQ(r.Output, std::string(300000, 'x'));
}

TEST_F(CommandRunnerTest, OnlyRunnableFilesInAbsolutePathFoldersStart) {
  // Relative and empty PATH entries would mean the current folder, where
  // "planted" waits; the absolute folder has "plain", which may not run.
  Script("planted", "echo planted\n");
  fs::create_directory(dir / "other");
  std::ofstream(dir / "other" / "plain") << "#!/bin/sh\necho plain\n";
  fs::permissions(dir / "other" / "plain", fs::perms::owner_read | fs::perms::owner_write);
  fs::path oldCwd = fs::current_path();
  fs::current_path(dir / "bin");
  {
    ScopedEnv path("PATH", std::string("bin::.:../bin:") + (dir / "other").string());
    for (const char* name : {"planted", "plain", "no-such-program"})
      EXPECT_FALSE(ProcessRunner().Run({name}).Started) << name;
    EXPECT_FALSE(ProcessRunner().Run({}).Started);
  }
  fs::current_path(oldCwd);
  // A path with a slash runs as given.
  TCommandResult direct = ProcessRunner().Run({(dir / "bin" / "planted").string()});
  EXPECT_TRUE(direct.Succeeded());
  EXPECT_EQ(direct.Output, "planted\n");
}

TEST_F(CommandRunnerTest, AProgramThatHangsIsKilledWithWhatItStarted) {
  // The shell waits for a child that holds the output pipe open, so neither
  // the end of the output nor the shell's exit comes within the time.
  const std::string pidFile = (dir / "child.pid").string();
  Script("hangs", "echo started\nsleep 30 &\necho $! > '" + pidFile + "'\nwait\necho never\n");
  ScopedEnv path("PATH", BinPath());
  // As a subreaper the test adopts the orphaned child and learns how it ended.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  TCommandResult r = ProcessRunner(std::chrono::seconds(2)).Run({"hangs"});
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);  // the orphan is already ours
  EXPECT_TRUE(r.Started);
  EXPECT_EQ(r.ExitStatus, -1);
  EXPECT_FALSE(r.Succeeded());
  EXPECT_EQ(r.Output, "started\n");

  pid_t child = 0;
  std::ifstream(pidFile) >> child;
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child was not killed";
  EXPECT_TRUE(HasNoChildren());
}

TEST_F(CommandRunnerTest, AProgramEndedByASignalFails) {
  Script("crashes", "echo before\nkill -TERM $$\n");
  ScopedEnv path("PATH", BinPath());
  TCommandResult r = ProcessRunner().Run({"crashes"});
  EXPECT_TRUE(r.Started);
  EXPECT_EQ(r.ExitStatus, -1);
  EXPECT_EQ(r.Output, "before\n");
}

}  // namespace
}  // namespace saver
