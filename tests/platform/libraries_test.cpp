#include "platform/libraries.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/scoped_env.h"

namespace saver {
namespace {

namespace fs = std::filesystem;

using testing::ScopedEnv;

const std::string kSystem = SAVER_TEST_SYSTEM_DIR;

class LibrariesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "saver-libs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(templ.data()), nullptr);
    dir = templ;
    log.emplace("SAVER_TEST_LIBRARY_LOG", (dir / "calls.log").string());
  }
  void TearDown() override {
    log.reset();
    fs::remove_all(dir);
  }
  std::string Calls() {
    std::ifstream in(dir / "calls.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path dir;
  std::optional<ScopedEnv> log;
  SharedObjectLibraries libs;
};

TEST_F(LibrariesTest, PasswordCheckIsCalledThroughItsType) {
  void* lib = libs.Load(kSystem + "/PASSWORD.CPL");
  ASSERT_NE(lib, nullptr);
  auto verify = reinterpret_cast<TVerifyScreenSavePwd>(libs.Symbol(lib, "VerifyScreenSavePwd"));
  ASSERT_NE(verify, nullptr);

  struct Case {
    std::optional<std::string> result;
    uint64_t window;
    int32_t expected;
  } cases[] = {
      {std::nullopt, 12345, 1},
      {"0", 0x123456789ABCDEF0ull, 0},  // all 64 bits of the window arrive
      {"-2", 7, -2},
  };
  std::string expectedLog;
  for (const Case& c : cases) {
    ScopedEnv result("SAVER_TEST_PASSWORD_RESULT", c.result);
    EXPECT_EQ(verify(c.window), c.expected) << c.window;
    expectedLog += "VerifyScreenSavePwd " + std::to_string(c.window) + "\n";
  }
  EXPECT_EQ(Calls(), expectedLog);
  libs.Free(lib);
}

TEST_F(LibrariesTest, PasswordChangeIsCalledThroughItsType) {
  void* lib = libs.Load(kSystem + "/MPR.DLL");
  ASSERT_NE(lib, nullptr);
  auto change = reinterpret_cast<TPwdChangePasswordA>(libs.Symbol(lib, "PwdChangePasswordA"));
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(change("SCRSAVE", 77, 0, 0), 0u);
  EXPECT_EQ(change("SCRSAVE", 0xFFFFFFFFFFull, 0xFFFFFFFFu, 3), 0u);
  EXPECT_EQ(Calls(),
            "PwdChangePasswordA SCRSAVE 77 0 0\n"
            "PwdChangePasswordA SCRSAVE 1099511627775 4294967295 3\n");
  libs.Free(lib);
}

TEST(SystemFolder, FollowsTheEnvironmentWithoutATrailingSeparator) {
  std::string built;
  {
    ScopedEnv unset("SAVER_SYSTEM_DIR", std::nullopt);
    built = SystemFolder();
  }
  ASSERT_FALSE(built.empty());
  EXPECT_EQ(built.front(), '/');
  EXPECT_NE(built.back(), '/');

  struct Case {
    std::optional<std::string> env;
    std::string expected;
  } cases[] = {
      {"/opt/saver/system", "/opt/saver/system"},
      {"/opt/saver/system/", "/opt/saver/system"},
      {"/opt/my system//", "/opt/my system"},
      {"/", "/"},
      {"", built},  // empty counts as unset
  };
  for (const Case& c : cases) {
    ScopedEnv env("SAVER_SYSTEM_DIR", c.env);
    EXPECT_EQ(SystemFolder(), c.expected) << *c.env;
  }
}

TEST(Libraries, ProcessLibrariesAreReplaceableAndRestored) {
  EXPECT_NE(dynamic_cast<SharedObjectLibraries*>(&Libraries()), nullptr);
  SharedObjectLibraries other;
  SetLibraries(&other);
  EXPECT_EQ(&Libraries(), &other);
  SetLibraries(nullptr);
  EXPECT_NE(&Libraries(), &other);
  EXPECT_NE(dynamic_cast<SharedObjectLibraries*>(&Libraries()), nullptr);
}

}  // namespace
}  // namespace saver
