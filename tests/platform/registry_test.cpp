#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

namespace saver {
namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "saver-reg-XXXXXX").string();
    dir = ::mkdtemp(templ.data());
    path = dir + "/registry.json";
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string FileText() {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir, path;
};

TEST_F(RegistryTest, TypedValuesRoundTripThroughTheFile) {
  FileRegistry reg(path);
  std::string allBytes;
  for (int b = 1; b < 256; ++b) allBytes += char(b);
  reg.WriteValues("\\Software\\Kelvastrom\\Ocean Views",
                  {{"Seconds", RegValue::Dword(-5)},
                   {"Big", RegValue::Dword(int32_t(0xFFFFFFFF))},
                   {"Effect", RegValue::Sz("\x01\x02\x74")},
                   {"Path", RegValue::ExpandSz("%HOME%\\x")},
                   {"Bytes", RegValue::Sz(allBytes)}});

  std::optional<RegValues> v = FileRegistry(path).ReadKey("Software\\Kelvastrom\\Ocean Views");
  ASSERT_TRUE(v);
  EXPECT_EQ(*FindValue(*v, "Seconds"), RegValue::Dword(-5));
  EXPECT_EQ(FindValue(*v, "big")->dword, -1);  // names are case-insensitive
  EXPECT_EQ(*FindValue(*v, "EFFECT"), RegValue::Sz("\x01\x02\x74"));
  EXPECT_EQ(*FindValue(*v, "Path"), RegValue::ExpandSz("%HOME%\\x"));
  EXPECT_EQ(FindValue(*v, "Bytes")->text, allBytes);  // Windows-1252 survives as UTF-8
  EXPECT_EQ(FindValue(*v, "Absent"), nullptr);

  // Human-readable: the type and the data are spelled out.
  std::string text = FileText();
  EXPECT_NE(text.find("\"REG_DWORD\""), std::string::npos);
  EXPECT_NE(text.find("Software\\\\Kelvastrom\\\\Ocean Views"), std::string::npos);
  EXPECT_NE(text.find("\xE2\x82\xAC"), std::string::npos);  // byte 0x80 as the euro sign
}

TEST_F(RegistryTest, NestedKeysAndPathSpelling) {
  FileRegistry reg(path);
  EXPECT_FALSE(reg.ReadKey("Software\\Kelvastrom"));
  reg.WriteValues("\\Software\\Kelvastrom\\A\\B", {{"x", RegValue::Dword(1)}});
  // Keys above are created, empty.
  ASSERT_TRUE(reg.ReadKey("Software"));
  EXPECT_TRUE(reg.ReadKey("\\software\\KELVASTROM\\")->empty());
  EXPECT_FALSE(reg.ReadKey("Software\\Kelvastrom\\B"));
  EXPECT_EQ(FindValue(*reg.ReadKey("Software\\\\Kelvastrom\\a\\b\\"), "x")->dword, 1);

  // Rewriting keeps other values and other keys.
  reg.WriteValues("Software\\Kelvastrom\\Other", {{"y", RegValue::Sz("s")}});
  reg.WriteValues("Software\\Kelvastrom\\A\\B", {{"z", RegValue::Dword(2)}, {"X", RegValue::Dword(3)}});
  RegValues ab = *reg.ReadKey("Software\\Kelvastrom\\A\\B");
  ASSERT_EQ(ab.size(), 2u);
  EXPECT_EQ(FindValue(ab, "x")->dword, 3);
  EXPECT_EQ(FindValue(*reg.ReadKey("Software\\Kelvastrom\\Other"), "y")->text, "s");
  EXPECT_THROW(reg.WriteValues("\\", {{"x", RegValue::Dword(1)}}), RegistryError);
}

TEST_F(RegistryTest, DamagedFileReadsEmptyAndIsKeptAsideOnWrite) {
  { std::ofstream(path) << "{ \"Software\": { \"x\": {\"type\": \"REG_DWORD\", "; }
  FileRegistry reg(path);
  EXPECT_FALSE(reg.ReadKey("Software"));
  reg.WriteValues("Software", {{"x", RegValue::Dword(4)}});
  EXPECT_EQ(FindValue(*reg.ReadKey("Software"), "x")->dword, 4);
  EXPECT_TRUE(std::filesystem::exists(path + ".corrupt"));
  EXPECT_THROW(FileRegistry(dir + "/missing/dir/r.json").WriteValues("K", {}), RegistryError);
}

// A value the store cannot use (unknown type, data that does not fit its
// type) reads as Other and survives writes; the rest of the store stays usable.
TEST_F(RegistryTest, UnusableValuesAreKeptAndDoNotHideTheRest) {
  // A number wider than 32 bits is no DWORD, even one that would wrap to a small value.
  for (const char* data : {"18446744073709551615", "4294967296", "-2147483649", "1.5", "\"no\""}) {
    SCOPED_TRACE(data);
    { std::ofstream(path) << "{ \"K\": { \"x\": {\"type\": \"REG_DWORD\", \"data\": " << data << "} } }"; }
    std::optional<RegValues> k = FileRegistry(path).ReadKey("K");
    ASSERT_TRUE(k);
    EXPECT_EQ(FindValue(*k, "x")->type, RegType::Other);
  }
  { std::ofstream(path) << R"({ "A": { "q": {"type": "REG_QWORD", "data": 7}, "s": {"type": "REG_SZ", "data": "t"} },
                                "B": { "n": {"type": "REG_DWORD", "data": 5} } })"; }
  FileRegistry reg(path);
  EXPECT_EQ(FindValue(*reg.ReadKey("A"), "q")->type, RegType::Other);
  EXPECT_EQ(FindValue(*reg.ReadKey("A"), "s")->text, "t");
  reg.WriteValues("B", {{"n", RegValue::Dword(6)}});
  EXPECT_FALSE(std::filesystem::exists(path + ".corrupt"));
  EXPECT_EQ(FindValue(*reg.ReadKey("B"), "n")->dword, 6);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("REG_QWORD"), std::string::npos) << text;
}

// The store is read only when it is a regular file within the bound; one
// that is not (a link to a device, a pipe, a folder, a grown file) is refused
// before anything is read into memory, and neither a read nor a write
// changes it.
TEST_F(RegistryTest, FilesPastTheBoundOrOfAnotherKindAreRefusedAndLeftAlone) {
  const std::string store = R"({ "K": { "x": {"type": "REG_DWORD", "data": 1} } })";
  auto padded = [&](int64_t size) { return store + std::string(size_t(size) - store.size(), ' '); };
  { std::ofstream(path) << padded(FileRegistry::kMaxFileSize); }
  EXPECT_EQ(FindValue(*FileRegistry(path).ReadKey("K"), "x")->dword, 1) << "a store at the bound";

  struct Case {
    const char* name;
    std::function<void()> make;
  } cases[] = {
      {"a byte past the bound", [&] { std::ofstream(path) << padded(FileRegistry::kMaxFileSize + 1); }},
      {"a link to an endless device", [&] { std::filesystem::create_symlink("/dev/zero", path); }},
      {"a pipe", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
      {"a folder", [&] { std::filesystem::create_directory(path); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(path);
    c.make();
    const auto status = std::filesystem::symlink_status(path);
    const std::string before = status.type() == std::filesystem::file_type::regular ? FileText() : "";
    FileRegistry reg(path);
    EXPECT_THROW(reg.ReadKey("K"), RegistryError);
    EXPECT_THROW(reg.WriteValues("K", {{"x", RegValue::Dword(2)}}), RegistryError);
    EXPECT_EQ(std::filesystem::symlink_status(path).type(), status.type());
    if (!before.empty()) {
      EXPECT_TRUE(FileText() == before);
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".corrupt"));
  }

  // Nor is a store written that the next read would refuse.
  std::filesystem::remove_all(path);
  EXPECT_THROW(FileRegistry(path).WriteValues(
                   "K", {{"x", RegValue::Sz(std::string(size_t(FileRegistry::kMaxFileSize), 'a'))}}),
               RegistryError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

// Within the bound the file is still hostile: names repeat (the later
// member replaces the earlier one in its place) and values nest as deep as
// the bytes allow, which must neither overflow the stack nor pass as a store.
TEST_F(RegistryTest, RepeatedNamesAndDeepNesting) {
  { std::ofstream(path) << R"({ "K": { "x": {"type": "REG_DWORD", "data": 1}, "y": {"type": "REG_SZ", "data": "s"},
                                        "x": {"type": "REG_DWORD", "data": 2} },
                                "L": { "a": {"type": "REG_DWORD", "data": 3} }, "L": {} })"; }
  RegValues k = *FileRegistry(path).ReadKey("K");
  ASSERT_EQ(k.size(), 2u);
  EXPECT_EQ(k[0], (std::pair<std::string, RegValue>{"x", RegValue::Dword(2)}));
  EXPECT_EQ(k[1].first, "y");
  EXPECT_TRUE(FileRegistry(path).ReadKey("L")->empty());

  const size_t depth = size_t(FileRegistry::kMaxFileSize) / 2 - 40;
  { std::ofstream(path) << R"({ "K": { "x": )" << std::string(depth, '[') << std::string(depth, ']') << "} }"; }
  FileRegistry reg(path);
  EXPECT_FALSE(reg.ReadKey("K"));
  reg.WriteValues("K", {{"x", RegValue::Dword(4)}});
  EXPECT_EQ(FindValue(*reg.ReadKey("K"), "x")->dword, 4);
  EXPECT_TRUE(std::filesystem::exists(path + ".corrupt"));
}

// Writers in two processes, two threads each, hammer the store while a
// reader checks that the file is always whole. No write may be lost.
TEST_F(RegistryTest, ConcurrentWritersNeverCorruptOrLoseKeys) {
  FileRegistry(path).WriteValues("Seed", {{"v", RegValue::Dword(0)}});
  constexpr int kRounds = 40;
  auto hammer = [&](const std::string& who) {
    FileRegistry reg(path);
    for (int i = 1; i <= kRounds; ++i)
      reg.WriteValues("Software\\" + who, {{"Round", RegValue::Dword(i)},
                                           {"Text", RegValue::Sz(std::string(size_t(i) * 50, 'q'))}});
  };
  auto runWriters = [&](const std::string& process) {
    std::thread a(hammer, process + "a"), b(hammer, process + "b");
    a.join();
    b.join();
  };

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    runWriters("child");
    _exit(0);
  }
  std::atomic<bool> done{false};
  std::atomic<int> bad{0}, reads{0};
  std::thread reader([&] {
    while (!done) {
      std::ifstream in(path);
      std::string text((std::istreambuf_iterator<char>(in)), {});
      if (!nlohmann::json::accept(text)) ++bad;
      ++reads;
    }
  });
  runWriters("parent");
  int status = 0;
  waitpid(child, &status, 0);
  done = true;
  reader.join();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  EXPECT_EQ(bad, 0) << "of " << reads << " reads";
  FileRegistry reg(path);
  for (const char* who : {"childa", "childb", "parenta", "parentb"}) {
    SCOPED_TRACE(who);
    std::optional<RegValues> v = reg.ReadKey(std::string("Software\\") + who);
    ASSERT_TRUE(v);
    EXPECT_EQ(FindValue(*v, "Round")->dword, kRounds);
  }
  EXPECT_TRUE(reg.ReadKey("Seed"));
}

}  // namespace
}  // namespace saver
