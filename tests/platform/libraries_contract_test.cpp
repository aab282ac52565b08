// One contract for the libraries service, held against the double and
// against dlopen with the test password libraries: what the host component
// relies on when it looks for the password services. Where the two differ,
// the double is wrong.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "doubles/fake_libraries.h"
#include "payload/reader_test_file.h"

namespace saver {
namespace {

int32_t VerifyStandIn(uint64_t) { return 1; }
uint32_t ChangeStandIn(const char*, uint64_t, uint32_t, uint32_t) { return 0; }

// Each side's libraries and the folder its two password libraries are in.
struct FakeSide {
  FakeSide() {
    libs.Add(folder + "/PASSWORD.CPL",
             {{"VerifyScreenSavePwd", reinterpret_cast<void*>(&VerifyStandIn)}});
    libs.Add(folder + "/MPR.DLL", {{"PwdChangePasswordA", reinterpret_cast<void*>(&ChangeStandIn)}});
  }
  std::string folder = "/opt/saver/system";
  FakeLibraries libs;
};

struct SharedObjectSide {
  std::string folder = SAVER_TEST_SYSTEM_DIR;
  SharedObjectLibraries libs;
};

template <class Side>
class LibrariesContract : public ::testing::Test {
 protected:
  Side side;
  ILibraries& libs = side.libs;
  testing::ScratchDir scratch;
};

struct SideNames {
  template <class T>
  static std::string GetName(int) {
    return std::is_same_v<T, FakeSide> ? "Fake" : "SharedObject";
  }
};

using Sides = ::testing::Types<FakeSide, SharedObjectSide>;
TYPED_TEST_SUITE(LibrariesContract, Sides, SideNames);

TYPED_TEST(LibrariesContract, EachLibraryExportsItsOneFunctionByExactName) {
  ILibraries& libs = this->libs;
  void* password = libs.Load(this->side.folder + "/PASSWORD.CPL");
  void* mpr = libs.Load(this->side.folder + "/MPR.DLL");
  ASSERT_NE(password, nullptr);
  ASSERT_NE(mpr, nullptr);
  auto verify = reinterpret_cast<TVerifyScreenSavePwd>(libs.Symbol(password, "VerifyScreenSavePwd"));
  auto change = reinterpret_cast<TPwdChangePasswordA>(libs.Symbol(mpr, "PwdChangePasswordA"));
  ASSERT_NE(verify, nullptr);
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(verify(0x123456789ABCDEF0ull), 1);
  EXPECT_EQ(change("SCRSAVE", 77, 0, 0), 0u);
  EXPECT_EQ(libs.Symbol(password, "verifyscreensavepwd"), nullptr);
  EXPECT_EQ(libs.Symbol(password, "PwdChangePasswordA"), nullptr);  // the other library's
  EXPECT_EQ(libs.Symbol(password, ""), nullptr);
  libs.Free(password);
  libs.Free(mpr);
}

TYPED_TEST(LibrariesContract, WhatIsNoLibraryLoadsAsNothing) {
  ILibraries& libs = this->libs;
  const std::string text = this->scratch.Path("TEXT.DLL");
  std::ofstream(text) << "not a shared object\n";
  EXPECT_EQ(libs.Load(this->side.folder + "/NOSUCH.DLL"), nullptr);
  EXPECT_EQ(libs.Load(text), nullptr);
  EXPECT_EQ(libs.Load(this->side.folder), nullptr);  // a folder
  // An empty path must not hand out the saver's own program, nor a missing
  // library turn a lookup into a search of every loaded one.
  EXPECT_EQ(libs.Load(""), nullptr);
  EXPECT_EQ(libs.Symbol(nullptr, "malloc"), nullptr);
  libs.Free(nullptr);
}

}  // namespace
}  // namespace saver
