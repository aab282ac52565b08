#include "platform/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "payload/reader_test_file.h"
#include "platform/scoped_env.h"

namespace saver {
namespace {

using testing::ScopedEnv;
using testing::ScratchDir;
namespace fs = std::filesystem;

TEST(RuntimeFolder, AFolderTheToolkitWouldRefuseIsReplacedAndTheCompositorStillFound) {
  ScratchDir scratch;  // the temporary folder
  const std::string good = scratch.Path("good"), open = scratch.Path("open"),
                    link = scratch.Path("link");
  fs::create_directory(good);
  fs::create_directory(open);
  chmod(good.c_str(), 0700);
  chmod(open.c_str(), 0755);
  fs::create_directory_symlink(good, link);
  // Where a session without a runtime folder gets one: the session's own
  // when the machine has it, else the saver's.
  const std::string session = "/run/user/" + std::to_string(geteuid());
  const std::string fallback = UsableRuntimeFolder(session)
                                   ? session
                                   : scratch.Path("saver-" + std::to_string(geteuid()) + "-runtime");
  struct Case {
    const char* name;
    std::optional<std::string> given, wayland;
    std::string folder;
    std::optional<std::string> waylandAfter;
  } cases[] = {
      {"a private folder of this user stays", good, "wayland-1", good, "wayland-1"},
      {"none (a daemon dropped it)", std::nullopt, std::nullopt, fallback, std::nullopt},
      {"one others may enter", open, "wayland-1", fallback, open + "/wayland-1"},
      {"a link", link, "/abs/wayland-1", fallback, "/abs/wayland-1"},
      {"one that is not there (another user's, after su)", scratch.Path("gone"), std::nullopt,
       fallback, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedEnv runtime("XDG_RUNTIME_DIR", c.given), wayland("WAYLAND_DISPLAY", c.wayland);
    EXPECT_EQ(EnsureRuntimeFolder(), c.folder);
    EXPECT_EQ(std::getenv("XDG_RUNTIME_DIR"), c.folder);
    EXPECT_TRUE(UsableRuntimeFolder(c.folder));
    const char* after = std::getenv("WAYLAND_DISPLAY");
    EXPECT_EQ(after ? std::optional<std::string>(after) : std::nullopt, c.waylandAfter);
  }
}

}  // namespace
}  // namespace saver
