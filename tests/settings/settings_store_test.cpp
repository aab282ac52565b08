#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "payload/format/reader.h"
#include "payload/reader_test_file.h"
#include "platform/message_box.h"

namespace saver {
namespace {

using namespace saver::testing;

// The payload defaults the tests start from.
PayloadTrailer Defaults() {
  PayloadTrailer t;
  t.Seconds = 10;
  t.Stretch = 1;
  t.DisplayOrder = 2;
  t.Mute = 0;
  t.Loop = 1;
  t.EffectSpeed = 4;
  t.ExitESC = 1;
  return t;
}

class SettingsTest : public ::testing::Test {
 protected:
  ScratchDir scratch;
  FileRegistry registry{scratch.Path("registry.json")};
};

TEST_F(SettingsTest, StoredValuesOverrideOnlyTheirOwnDefaults) {
  PayloadTrailer t = Defaults();
  std::string effect = "\x01\x02";
  ReadSettings(registry, "Ocean Views", t, effect);  // no key: all defaults
  EXPECT_EQ(t, Defaults());
  EXPECT_EQ(effect, "\x01\x02");

  registry.WriteValues("Software\\Kelvastrom\\Ocean Views",
                       {{"Mute", RegValue::Dword(1)}, {"Loop", RegValue::Dword(0)}});
  ReadSettings(registry, "Ocean Views", t, effect);
  PayloadTrailer expected = Defaults();
  expected.Mute = 1;
  expected.Loop = 0;
  EXPECT_EQ(t, expected);
  EXPECT_EQ(effect, "\x01\x02");

  // Numbers come unchecked, booleans are any non-zero value, an empty
  // selection replaces the default one.
  registry.WriteValues("Software\\Kelvastrom\\Ocean Views",
                       {{"Seconds", RegValue::Dword(90)}, {"EffectSpeed", RegValue::Dword(-3)},
                        {"ExitKeyboard", RegValue::Dword(2)}, {"Effect", RegValue::Sz("")}});
  ReadSettings(registry, "Ocean Views", t, effect);
  EXPECT_EQ(t.Seconds, 90);
  EXPECT_EQ(t.EffectSpeed, -3);
  EXPECT_EQ(t.ExitKeyboard, 1);
  EXPECT_EQ(effect, "");

  // An expandable string is taken as written, up to a zero byte.
  registry.WriteValues("Software\\Kelvastrom\\Ocean Views",
                       {{"Effect", RegValue::ExpandSz(std::string("%A%\x05\0\x06", 5))}});
  ReadSettings(registry, "Ocean Views", t, effect);
  EXPECT_EQ(effect, "%A%\x05");
}

// A store whose folder cannot be made (here it would sit under a plain file)
// is a key that cannot be opened: the payload defaults stay on reading, and
// writing reports the store's own error.
TEST_F(SettingsTest, UnreachableStoreLeavesTheDefaults) {
  std::string blocker = scratch.Write("not-a-folder", {});
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", (blocker + "/config").c_str(), 1);
  SetRegistry(nullptr);
  PayloadData data;
  data.Trailer = Defaults();
  data.Text.Effect = "\x05";
  EXPECT_NO_THROW(ReadSettings(data));
  EXPECT_THROW(WriteSettings("T", SettingsControls{}), RegistryError);  // reported, not a crash
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(data.Trailer, Defaults());
  EXPECT_EQ(data.Text.Effect, "\x05");
}

TEST_F(SettingsTest, WrongTypesAreFailures) {
  registry.WriteValues("Software\\Kelvastrom\\T", {{"Seconds", RegValue::Sz("5")}});
  PayloadTrailer t;
  std::string effect;
  EXPECT_THROW(ReadSettings(registry, "T", t, effect), SettingsError);
  registry.WriteValues("Software\\Kelvastrom\\U", {{"Effect", RegValue::Dword(5)}});
  EXPECT_THROW(ReadSettings(registry, "U", t, effect), SettingsError);
  registry.WriteValues("Software\\Kelvastrom\\V", {{"Mute", RegValue::ExpandSz("1")}});
  EXPECT_THROW(ReadSettings(registry, "V", t, effect), SettingsError);
  // A type this store does not know, and a number wider than a DWORD.
  registry.WriteValues("Software\\Kelvastrom\\W",
                       {{"Loop", RegValue{RegType::Other, 0, R"({"type":"REG_QWORD","data":1})"}}});
  EXPECT_THROW(ReadSettings(registry, "W", t, effect), SettingsError);
  registry.WriteValues("Software\\Kelvastrom\\X",
                       {{"Seconds", RegValue{RegType::Other, 0, R"({"type":"REG_DWORD","data":4294967296})"}}});
  EXPECT_THROW(ReadSettings(registry, "X", t, effect), SettingsError);
}

TEST_F(SettingsTest, TitleNamesTheKey) {
  EXPECT_EQ(SettingsKeyPath("Ocean Views"), "\\Software\\Kelvastrom\\Ocean Views");
  SettingsControls c;
  c.secondsText = "3";
  WriteSettings(registry, "", c);  // an empty title is the Kelvastrom key itself
  EXPECT_EQ(FindValue(*registry.ReadKey("Software\\Kelvastrom"), "Seconds")->dword, 3);
  WriteSettings(registry, "Sea\\Deep", c);  // a backslash nests
  EXPECT_TRUE(registry.ReadKey("Software\\Kelvastrom\\Sea\\Deep"));
  EXPECT_TRUE(registry.ReadKey("Software\\Kelvastrom\\Sea")->empty());
}

TEST_F(SettingsTest, WriteStoresEveryValueFromTheControls) {
  SettingsControls c;
  c.secondsText = "12";
  c.sizeCode = 2;
  c.positionCode = 1;
  c.displayOrder = 1;
  c.mute = true;
  c.effectChecked = std::vector<bool>(120, false);
  c.effectChecked[0] = c.effectChecked[1] = c.effectChecked[115] = true;
  c.effectChecked[117] = true;  // no such row: dropped
  c.effectSpeed = 10;
  c.exitESC = true;
  WriteSettings(registry, "W", c);

  RegValues v = *registry.ReadKey("Software\\Kelvastrom\\W");
  std::vector<std::string> names;
  for (auto& [n, value] : v) names.push_back(n);
  EXPECT_EQ(names, (std::vector<std::string>{"Seconds", "Stretch", "DisplayOrder", "DesktopStart",
                                             "Loop", "Mute", "ShuffleMelody", "Effect",
                                             "EffectSpeed", "PlayOneRandom", "ExitMouseMove",
                                             "ExitMouseButton", "ExitKeyboard", "ExitESC"}));
  EXPECT_EQ(*FindValue(v, "Seconds"), RegValue::Dword(12));
  EXPECT_EQ(*FindValue(v, "Stretch"), RegValue::Dword(3));
  EXPECT_EQ(*FindValue(v, "Effect"), RegValue::Sz("\x01\x02\x74"));
  EXPECT_EQ(*FindValue(v, "Mute"), RegValue::Dword(1));
  EXPECT_EQ(*FindValue(v, "Loop"), RegValue::Dword(0));

  // The position option only counts with the keep-size option.
  c.sizeCode = 0;
  WriteSettings(registry, "W", c);
  EXPECT_EQ(FindValue(*registry.ReadKey("Software\\Kelvastrom\\W"), "Stretch")->dword, 0);

  PayloadTrailer t;
  std::string effect = "x";
  ReadSettings(registry, "W", t, effect);
  EXPECT_EQ(t.Seconds, 12);
  EXPECT_EQ(t.EffectSpeed, 10);
  EXPECT_EQ(effect, "\x01\x02\x74");
}

TEST(SettingsSeconds, IntegerPartOrOne) {
  EXPECT_EQ(SecondsFromText("60"), 60);
  EXPECT_EQ(SecondsFromText(" 7 "), 7);
  EXPECT_EQ(SecondsFromText("7.9"), 7);
  EXPECT_EQ(SecondsFromText("-2"), -2);
  for (const char* bad : {"", "abc", "5s", "0x10", "nan", "inf", "1e99"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(SecondsFromText(bad), 1);
  }
}

// The reader with the settings store behind its hook.
class StoreHost : public IReaderHost {
 public:
  explicit StoreHost(IRegistry& r) : registry(r) {}
  void ReadSettings(PayloadData& d) override {
    saver::ReadSettings(registry, d.Text.Title, d.Trailer, d.Text.Effect);
  }
  IMessageBox* MessageBox() override { return &box; }
  IRegistry& registry;
  RecordingMessageBox box;
};

TEST_F(SettingsTest, ReaderMergesTheStoreAndFailsOnAWrongType) {
  SaverFile file;
  file.extra[0] = "Ocean Views";
  file.extra[15] = "\x01\x02\x03";
  PutI32At(file.trailer, kOffSeconds, 10);
  std::string path = scratch.Write("saver.scr", file.Bytes());

  registry.WriteValues("Software\\Kelvastrom\\Ocean Views",
                       {{"Effect", RegValue::Sz("")}, {"Seconds", RegValue::Dword(30)}});
  StoreHost host(registry);
  PayloadData data;
  ASSERT_TRUE(ReadData(data, path, true, host));
  EXPECT_EQ(data.Text.Effect, "");
  EXPECT_EQ(data.Trailer.Seconds, 30);

  registry.WriteValues("Software\\Kelvastrom\\Ocean Views", {{"Seconds", RegValue::Sz("30")}});
  StoreHost failing(registry);
  EXPECT_FALSE(ReadData(data, path, false, failing));
  ASSERT_EQ(failing.box.shown.size(), 1u);
  EXPECT_EQ(failing.box.shown[0].caption, "Screen Saver");  // failed before the title was set
}

}  // namespace
}  // namespace saver
