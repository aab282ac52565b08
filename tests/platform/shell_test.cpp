#include "platform/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "doubles/recording_shell.h"
#include "platform/build_config.h"
#include "platform/scoped_env.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

using testing::ScopedEnv;

bool PollUntil(const std::function<bool()>& done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteScript(const fs::path& path, const std::string& text, fs::perms perms = fs::perms::owner_all) {
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, perms);
}

// True when the test process has no child at all, living or zombie.
bool HasNoChildren() {
  siginfo_t info{};
  return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == -1 && errno == ECHILD;
}

// What one run of the recording opener saw.
struct Record {
  std::string argumentCount;
  std::string standardInput;
  std::string openFiles;  // targets of every descriptor, one a line
  std::string session;
  std::string address;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "saver-shell-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
    fs::create_directory(dir / "bin");
    fs::create_directory(dir / "records");
  }
  void TearDown() override { fs::remove_all(dir); }

  // An xdg-open that writes what it was given into records/ (atomically, one
  // file per run), then stays alive for two seconds and leaves a mark.
  void WriteRecorder(const fs::path& path) {
    std::string records = (dir / "records").string();
    WriteScript(path,
                "#!/bin/sh\n"
                "exec >/dev/null 2>&1\n"  // the test's output pipe is not held open
                "PATH=/usr/bin:/bin\n"
                "out='" + records + "'\n"
                "{\n"
                "  printf '%s\\n' \"$#\"\n"
                "  readlink /proc/$$/fd/0\n"
                "  for f in /proc/$$/fd/*; do readlink \"$f\"; done\n"
                "  printf '%s\\n' --\n"
                "  read -r pid comm state ppid pgrp sid rest < /proc/$$/stat\n"
                "  printf '%s\\n' \"$sid\"\n"
                "  printf '%s' \"$1\"\n"
                "} > \"$out/.run.$$\" && mv \"$out/.run.$$\" \"$out/run.$$\"\n"
                "sleep 2\n"
                "{ : > \"$out/../finished\"; } 2>/dev/null\n");
  }

  std::vector<Record> Records() {
    std::vector<Record> out;
    for (const auto& entry : fs::directory_iterator(dir / "records")) {
      if (entry.path().filename().string().rfind("run.", 0) != 0) continue;
      std::string text = ReadFile(entry.path());
      Record r;
      size_t a = text.find('\n');
      size_t b = text.find('\n', a + 1);
      size_t sep = text.find("\n--\n", b);
      size_t c = text.find('\n', sep + 4);
      if (a == std::string::npos || b == std::string::npos || sep == std::string::npos ||
          c == std::string::npos) {
        ADD_FAILURE() << "malformed record: " << text;
        continue;
      }
      r.argumentCount = text.substr(0, a);
      r.standardInput = text.substr(a + 1, b - a - 1);
      r.openFiles = text.substr(b + 1, sep - b);
      r.session = text.substr(sep + 4, c - sep - 4);
      r.address = text.substr(c + 1);
      out.push_back(r);
    }
    return out;
  }

  fs::path dir;
};

TEST_F(ShellTest, StartsTheOpenerDetachedWithTheAddressAsItsOnlyArgument) {
  WriteRecorder(dir / "bin" / "xdg-open");
  ScopedEnv path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
  // A descriptor the saver holds open without close-on-exec must not reach
  // the opener, nor may the saver's standard input.
  std::string heldPath = (dir / "held-by-the-saver").string();
  int held = ::open(heldPath.c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(held, 0);
  int savedInput = ::dup(STDIN_FILENO);
  ASSERT_GE(savedInput, 0);
  ASSERT_EQ(::dup2(held, STDIN_FILENO), STDIN_FILENO);

  const std::set<std::string> addresses = {
      "https://example.org/page?a=1&b=2#top",
      "https://example.org/it's_a_\"quoted\"_name_$HOME_`x`_;|&<>.html",
      "https://example.org/caf\xC3\xA9/\xE2\x82\xAC/\xE6\x97\xA5\xE6\x9C\xAC",
  };
  XdgShell shell;
  for (const std::string& address : addresses) shell.Open(address);
  ::dup2(savedInput, STDIN_FILENO);
  ::close(savedInput);
  ::close(held);

  // Each opener lives two seconds; had Open waited for one, it would be done.
  EXPECT_FALSE(fs::exists(dir / "finished"));
  // The middle child is reaped and the opener belongs to someone else.
  EXPECT_TRUE(HasNoChildren());

  ASSERT_TRUE(PollUntil([&] { return Records().size() >= addresses.size(); }));
  std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), addresses.size());
  std::set<std::string> seen;
  for (const Record& r : records) {
    seen.insert(r.address);
    EXPECT_EQ(r.argumentCount, "1") << r.address;
    EXPECT_EQ(r.standardInput, "/dev/null") << r.address;
    EXPECT_EQ(r.openFiles.find(heldPath), std::string::npos) << r.openFiles;
    EXPECT_NE(r.session, std::to_string(::getsid(0))) << "the opener keeps the saver's session";
  }
  EXPECT_EQ(seen, addresses);
}

TEST_F(ShellTest, SkipsPathEntriesThatCannotRunTheOpener) {
  // Relative and empty entries would mean the current folder, where a
  // planted opener waits; the others hold an xdg-open that is not a runnable
  // file. Only the last folder's recorder may run.
  fs::create_directories(dir / "cwd" / "bin");
  WriteScript(dir / "cwd" / "xdg-open", "#!/bin/sh\nexit 0\n");
  WriteScript(dir / "cwd" / "bin" / "xdg-open", "#!/bin/sh\nexit 0\n");
  fs::create_directory(dir / "plain");
  WriteScript(dir / "plain" / "xdg-open", "#!/bin/sh\nexit 0\n", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(dir / "folder" / "xdg-open");
  WriteRecorder(dir / "bin" / "xdg-open");

  fs::path oldCwd = fs::current_path();
  fs::current_path(dir / "cwd");
  ScopedEnv path("PATH", std::string("bin::.:") + (dir / "plain").string() + ":" + (dir / "folder").string() +
                             ":" + (dir / "bin").string() + "/:");
  XdgShell().Open("https://example.org/");
  fs::current_path(oldCwd);

  ASSERT_TRUE(PollUntil([&] { return !Records().empty(); }));
  EXPECT_EQ(Records().front().address, "https://example.org/");
}

TEST_F(ShellTest, NothingStartsWithoutAnOpenerOrAnAddress) {
  WriteRecorder(dir / "bin" / "xdg-open");
  fs::create_directory(dir / "empty");
  struct Case {
    std::optional<std::string> path;
    std::string address;
  } cases[] = {
      {(dir / "empty").string(), "https://example.org/"},
      {std::nullopt, "https://example.org/"},
      {"", "https://example.org/"},
      {(dir / "bin").string(), ""},
  };
  // As a subreaper the test adopts every orphan, so anything Open started
  // would show up as a child.
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  for (const Case& c : cases) {
    ScopedEnv path("PATH", c.path);
    XdgShell().Open(c.address);
    EXPECT_TRUE(HasNoChildren()) << (c.path ? *c.path : "(unset)") << " [" << c.address << "]";
  }
  ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// Which addresses reach the opener, on the real shell and on its double
// alike: web and mail addresses, and the program's own built-in ones; never
// a file, a desktop entry or an option from a saver's text.
TEST_F(ShellTest, OpensOnlyWebAndMailAddressesAndTheProgramsOwn) {
  const std::string recorded = (dir / "records" / "opened").string();
  WriteScript(dir / "bin" / "xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + recorded + "'\n");
  ScopedEnv path("PATH", (dir / "bin").string() + ":/usr/bin:/bin");
  const std::vector<std::pair<std::string, std::string>> opened = {
      {"https://example.org/a?b=1#c", "https://example.org/a?b=1#c"},
      {"HTTP://Example.org", "HTTP://Example.org"},
      {"mailto:someone@example.org?subject=Hi", "mailto:someone@example.org?subject=Hi"},
      {" https://example.org/my page\r\n", "https://example.org/my%20page"},
      {kInfoAddress, kInfoAddress},
      {kProjectAddress, kProjectAddress},
  };
  const std::vector<std::string> refused = {
      "file:///etc/passwd", "FILE:///etc/passwd", "/usr/share/applications/evil.desktop",
      "evil.desktop", "--version", "javascript:alert(1)", "https:///etc/passwd",
      "http:example.org", "ftp://example.org/", "smb://host/share", "mailto:",
  };
  std::vector<std::string> expected;
  for (const auto& [address, handedOver] : opened) expected.push_back(handedOver);
  std::sort(expected.begin(), expected.end());

  XdgShell real;
  RecordingShell recording;
  for (IShell* shell : std::initializer_list<IShell*>{&real, &recording}) {
    SCOPED_TRACE(shell == &real ? "xdg-open" : "the double");
    fs::remove(recorded);
    ::testing::internal::CaptureStderr();
    for (const std::string& address : refused) shell->Open(address);
    for (const char* nothing : {"", " \n"}) shell->Open(nothing);
    for (const auto& [address, handedOver] : opened) shell->Open(address);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(size_t(std::count(errors.begin(), errors.end(), '\n')), refused.size()) << errors;
    EXPECT_NE(errors.find("saver: not opening \"--version\""), std::string::npos) << errors;

    std::vector<std::string> seen = recording.opened;
    if (shell == &real) {
      ASSERT_TRUE(PollUntil([&] {
        const std::string text = ReadFile(recorded);
        return size_t(std::count(text.begin(), text.end(), '\n')) >= expected.size();
      }));
      std::istringstream lines(ReadFile(recorded));
      for (std::string line; std::getline(lines, line);) seen.push_back(line);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected);
  }
}

TEST(Shell, ProcessShellIsReplaceableAndRestored) {
  EXPECT_NE(dynamic_cast<XdgShell*>(&Shell()), nullptr);
  RecordingShell recorder;
  SetShell(&recorder);
  Shell().Open("https://example.org/");
  SetShell(nullptr);
  EXPECT_EQ(recorder.opened, std::vector<std::string>{"https://example.org/"});
  EXPECT_NE(dynamic_cast<XdgShell*>(&Shell()), nullptr);
}

}  // namespace
}  // namespace saver
