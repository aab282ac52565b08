// The real player among hostile files and links: a settings store it must
// not read, exit links it must not open, and starts that fail for a reason.
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include "app/player_fixture.h"
#include "platform/build_config.h"

namespace saver {
namespace {

using namespace saver::e2e;
using namespace saver::testing;
namespace fs = std::filesystem;

// The peak resident size of a running process, in MiB.
long PeakMiB(pid_t pid) { return long(PeakBytes(pid) >> 20); }

// A viewable top-level window of that name, with its place on the screen.
std::optional<TRect> WindowNamed(const std::string& display, const std::string& name) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return std::nullopt;
  std::optional<TRect> found;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n);
  for (unsigned i = 0; i < n && !found; ++i) {
    char* title = nullptr;
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
        XFetchName(d, children[i], &title) && title && name == title)
      found = TRect{a.x, a.y, a.x + a.width, a.y + a.height};
    if (title) XFree(title);
  }
  if (children) XFree(children);
  XCloseDisplay(d);
  return found;
}

// A folder in which nothing can be created, not even by root: immutable
// where the file system allows it, else without write permission (which
// root ignores). Undone by Writable.
bool MakeUnwritable(const std::string& folder) {
  fs::create_directories(folder);
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  const bool immutable = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
  if (fd >= 0) ::close(fd);
  if (!immutable) ::chmod(folder.c_str(), 0555);
  return immutable || ::geteuid() != 0;
}

void Writable(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  int flags = 0;
  if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  if (fd >= 0) ::close(fd);
  ::chmod(folder.c_str(), 0755);
}

class HostilePlayer : public Player {
 protected:
  void TearDown() override {
    unsetenv("SAVER_LOG");
    Player::TearDown();
  }
  // Shows the first picture, then ends on a key; the player's exit status.
  int ShowAndEnd(const std::string& saver, const std::function<void()>& whileShowing = [] {}) {
    Launch(saver, {"/s"});
    EXPECT_TRUE(ScreenShows(Composed(saver, 0))) << "the first picture";
    whileShowing();
    Xdo("key x");
    return WaitExit();
  }
  std::string RegistryPath() { return scratch.Path("config/saver/registry.json"); }
};

// A store that is a link to an endless device, a pipe, or a file far past
// any sane size is not read: the show starts at once with the saver's own
// settings, in the memory it takes without a store (a sanitized player
// takes far more than a plain one, so the bound is that run's own peak),
// and the file is left as it was.
TEST_F(HostilePlayer, SettingsItCannotReadLeaveTheDefaultsAndTheFileAlone) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  const std::string log = scratch.Path("reader.log");
  setenv("SAVER_LOG", log.c_str(), 1);
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"a link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
      {"a pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"a file of 200 MB", [](const std::string& p) {
         std::ofstream(p) << R"({ "Software\\Kelvastrom\\Player Test": {} })";
         fs::resize_file(p, 200 << 20);
       }},
  };
  fs::create_directories(scratch.Path("config/saver"));
  long usual = 0;
  EXPECT_EQ(ShowAndEnd(saver, [&] { usual = PeakMiB(pid_); }), 0) << output;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(RegistryPath());
    fs::remove(log);
    c.make(RegistryPath());
    const auto kind = fs::symlink_status(RegistryPath()).type();
    long peak = 0;
    EXPECT_EQ(ShowAndEnd(saver, [&] { peak = PeakMiB(pid_); }), 0) << output;
    EXPECT_LT(peak, usual + 32) << "MiB at the peak";
    EXPECT_EQ(fs::symlink_status(RegistryPath()).type(), kind);
    if (kind == fs::file_type::regular) {
      EXPECT_EQ(fs::file_size(RegistryPath()), 200u << 20);
    }
    EXPECT_NE(ReadText(log).find("Settings not read: cannot read " + RegistryPath()), std::string::npos)
        << ReadText(log);
  }
}

// The exit link opens only when it is a web or mail address; anything else
// is named on standard error and not opened. F1's own page opens as built.
TEST_F(HostilePlayer, TheExitLinkOpensOnlyWebAndMailAddresses) {
  struct Case {
    const char* exitLink;
    const char* opened;  // what the opener is given, "" for nothing
    const char* key = "x";
  } cases[] = {
      {"https://example.com/goodbye", "https://example.com/goodbye"},
      {"mailto:author@example.com", "mailto:author@example.com"},
      {"file:///etc/passwd", ""},
      {"/usr/share/applications/debian-xterm.desktop", ""},
      {"--version", ""},
      {"file:///etc/passwd", kInfoAddress, "F1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.exitLink) + " " + c.key);
    SaverBuilder b = Saver(false, false, true, false);
    b.text.Exitlink = c.exitLink;
    const std::string saver = Write(b);
    fs::remove(scratch.Path("opened.txt"));
    Launch(saver, {"/s"});
    ASSERT_TRUE(ScreenShows(Composed(saver, 0)));
    Xdo(std::string("key ") + c.key);
    EXPECT_EQ(WaitExit(), 0) << output;
    if (*c.opened) {
      EXPECT_TRUE(WaitUntil([&] { return ReadText(scratch.Path("opened.txt")) == std::string(c.opened) + "\n"; }))
          << ReadText(scratch.Path("opened.txt"));
    } else {
      EXPECT_FALSE(fs::exists(scratch.Path("opened.txt"))) << ReadText(scratch.Path("opened.txt"));
      EXPECT_NE(output.find(std::string("saver: not opening \"") + c.exitLink + "\""), std::string::npos)
          << output;
    }
  }
}

// A start that cannot go on shows the system's message with its reason,
// logs the reason, and ends when the message is dismissed.
TEST_F(HostilePlayer, AFailedStartShowsAndLogsItsReason) {
  SaverBuilder b = Saver(false, false, true, false);
  const std::string saver = Write(b);
  std::vector<uint8_t> bytes = ScratchDir::Read(saver);
  bytes.resize(bytes.size() - 100);
  const std::string cut = scratch.Write("cut.scr", bytes);
  fs::permissions(cut, fs::perms::owner_all);
  const std::string linked = scratch.Path("linked"), readOnly = scratch.Path("read-only");
  fs::create_directories(linked);
  fs::create_directory_symlink(scratch.Path("elsewhere"), linked + "/saver-" + std::to_string(geteuid()));
  const bool unwritable = MakeUnwritable(readOnly);
  struct Case {
    const char* name;
    std::string saver, tempFolder, caption, because;
  } cases[] = {
      {"a saver file cut short", cut, scratch.Path(""), "Screen Saver", "cut short"},
      {"a link as the temporary folder", saver, linked, "Player Test", "is a symbolic link"},
      {"a temporary folder that cannot be made", saver, readOnly, "Player Test", "cannot create the temporary folder"},
  };
  const std::string log = scratch.Path("reader.log");
  setenv("SAVER_LOG", log.c_str(), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.tempFolder == readOnly && !unwritable) continue;  // root, on a file system without flags
    fs::remove(log);
    setenv("TMPDIR", c.tempFolder.c_str(), 1);
    Launch(c.saver, {"/s"});
    setenv("TMPDIR", scratch.Path("").c_str(), 1);
    std::optional<TRect> box;
    EXPECT_TRUE(WaitUntil([&] { return (box = WindowNamed(x->Name(), c.caption)).has_value(); })) << "the message";
    const std::string text = ReadText(log);
    const size_t failure = text.rfind("Failure: ");
    ASSERT_NE(failure, std::string::npos) << text;
    EXPECT_NE(text.find(c.because, failure), std::string::npos) << text;
    if (box) Xdo("mousemove " + std::to_string((box->Left + box->Right) / 2) + " " +
                 std::to_string((box->Top + box->Bottom) / 2) + " key Return");
    EXPECT_EQ(WaitExit(), 0) << output;
  }
  Writable(readOnly);
}

}  // namespace
}  // namespace saver
