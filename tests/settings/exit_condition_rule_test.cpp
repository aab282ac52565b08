// Settings read from anywhere keep a way to end the show.
#include <gtest/gtest.h>

#include "payload/reader_test_file.h"
#include "settings/settings_store.h"

namespace saver {
namespace {

using namespace saver::testing;

struct Exits {
  uint8_t move, button, keyboard, esc;
  bool operator==(const Exits&) const = default;
};

Exits Of(const PayloadTrailer& t) {
  return {t.ExitMouseMove, t.ExitMouseButton, t.ExitKeyboard, t.ExitESC};
}

TEST(ExitConditionRule, EveryWayOffInTheSaverOrTheStoreLeavesEsc) {
  struct Case {
    const char* name;
    Exits defaults;
    RegValues stored;  // empty: no key at all
    Exits expected;
  };
  const auto off = RegValue::Dword(0);
  const Case cases[] = {
      {"a saver with every way off", {0, 0, 0, 0}, {}, {0, 0, 0, 1}},
      {"a store with every way off",
       {1, 1, 1, 0},
       {{"ExitMouseMove", off}, {"ExitMouseButton", off}, {"ExitKeyboard", off}, {"ExitESC", off}},
       {0, 0, 0, 1}},
      {"one way left on", {0, 0, 0, 0}, {{"ExitMouseButton", RegValue::Dword(1)}}, {0, 1, 0, 0}},
      {"Esc alone", {0, 0, 0, 1}, {}, {0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir scratch;
    FileRegistry registry(scratch.Path("registry.json"));
    if (!c.stored.empty()) registry.WriteValues("Software\\Kelvastrom\\T", c.stored);
    PayloadTrailer t;
    t.ExitMouseMove = c.defaults.move;
    t.ExitMouseButton = c.defaults.button;
    t.ExitKeyboard = c.defaults.keyboard;
    t.ExitESC = c.defaults.esc;
    std::string effect;
    ReadSettings(registry, "T", t, effect);
    EXPECT_EQ(Of(t), c.expected);
  }
}

TEST(ExitConditionRule, HoldsWhenTheStoreCannotBeReached) {
  ScratchDir scratch;
  const std::string blocker = scratch.Write("not-a-folder", {});
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", (blocker + "/config").c_str(), 1);
  SetRegistry(nullptr);
  PayloadData data;
  ReadSettings(data);
  if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(Of(data.Trailer), (Exits{0, 0, 0, 1}));
}

}  // namespace
}  // namespace saver
