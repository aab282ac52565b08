// Feeds arbitrary bytes to the settings store as its JSON file: a saver's
// settings are read from it, one value is written and must read back, and
// whatever the file held must neither crash nor leak.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/registry.h"
#include "settings/settings_store.h"

namespace {

// The store lives in memory-backed storage where there is one: every write
// flushes the file to disk.
const std::string& StorePath() {
  static const std::string path = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = std::string(base) + "/fuzz-settings-XXXXXX";
    return std::string(mkdtemp(templ.data())) + "/registry.json";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string& path = StorePath();
  std::remove((path + ".corrupt").c_str());
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes, 1, size, f);
    std::fclose(f);
  }
  saver::FileRegistry registry(path);
  for (const char* title : {"Ocean Views", "", "a\\b"}) {
    saver::PayloadTrailer trailer;
    std::string effect;
    try {
      saver::ReadSettings(registry, title, trailer, effect);
    } catch (const saver::SettingsError&) {
    } catch (const saver::RegistryError&) {
    }
  }
  // A write keeps what it cannot use and must always read back.
  const std::string key = saver::SettingsKeyPath("Ocean Views");
  registry.WriteValues(key, {{"Seconds", saver::RegValue::Dword(7)}});
  const auto values = registry.ReadKey(key);
  const saver::RegValue* seconds = values ? saver::FindValue(*values, "Seconds") : nullptr;
  if (!seconds || *seconds != saver::RegValue::Dword(7)) __builtin_trap();
  return 0;
}
