// The settings store at the sizes and value counts the plain settings target
// never reaches: the input is a fragment and a count, and the store file is
// the fragment repeated up to twice the store's bound, either as that many
// values of one key or as that many levels of nesting.
//
// Input: byte 0 the shape (bit 0: nesting rather than values; bit 1: the
// values take the fourteen settings' names in turn, so names repeat), bytes
// 1-3 the count, the rest the fragment (for nesting: the opening part, a zero
// byte, the closing part).
//
// What must hold: a file past the bound is refused (and only such a file),
// and a write either reads back or is refused leaving the file as it was.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/registry.h"
#include "settings/settings_store.h"

namespace {

constexpr const char* kSettingNames[] = {
    "Seconds",       "Stretch",       "DisplayOrder",    "DesktopStart", "Loop",
    "Mute",          "ShuffleMelody", "Effect",          "EffectSpeed",  "PlayOneRandom",
    "ExitMouseMove", "ExitMouseButton", "ExitKeyboard", "ExitESC"};

const std::string& StorePath() {
  static const std::string path = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string templ = std::string(base) + "/fuzz-settings-scale-XXXXXX";
    return std::string(mkdtemp(templ.data())) + "/registry.json";
  }();
  return path;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string MakeStore(const uint8_t* bytes, size_t size) {
  const uint8_t shape = bytes[0];
  const size_t count = size_t(bytes[1]) | size_t(bytes[2]) << 8 | size_t(bytes[3]) << 16;
  const std::string fragment(reinterpret_cast<const char*>(bytes + 4), size - 4);
  const size_t limit = 2 * size_t(saver::FileRegistry::kMaxFileSize);
  std::string text = R"({"Software\\Kelvastrom\\Ocean Views":{)";
  if (shape & 1) {
    const size_t zero = fragment.find('\0');
    const std::string open = fragment.substr(0, zero);
    const std::string close = zero == std::string::npos ? "" : fragment.substr(zero + 1);
    std::string tail;
    text += "\"Seconds\":";
    for (size_t i = 0; i < count && text.size() + tail.size() < limit; ++i) {
      text += open;
      tail += close;
    }
    text += tail;
  } else {
    for (size_t i = 0; i < count && text.size() < limit; ++i) {
      if (i) text += ',';
      text += '"';
      text += (shape & 2) ? kSettingNames[i % std::size(kSettingNames)] : "V" + std::to_string(i);
      text += "\":" + fragment;
    }
  }
  return text + "}}";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 4) return 0;
  const std::string& path = StorePath();
  std::remove((path + ".corrupt").c_str());
  const std::string text = MakeStore(bytes, size);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  const std::string key = saver::SettingsKeyPath("Ocean Views");
  saver::FileRegistry registry(path);

  bool refused = false;
  try {
    registry.ReadKey(key);
  } catch (const saver::RegistryError&) {
    refused = true;
  }
  if (refused != (int64_t(text.size()) > saver::FileRegistry::kMaxFileSize)) __builtin_trap();

  saver::PayloadTrailer trailer;
  std::string effect;
  try {
    saver::ReadSettings(registry, "Ocean Views", trailer, effect);
  } catch (const saver::SettingsError&) {
  }

  try {
    registry.WriteValues(key, {{"Seconds", saver::RegValue::Dword(7)}});
  } catch (const saver::RegistryError&) {
    if (FileText(path) != text) __builtin_trap();  // a refused write changes nothing
    return 0;
  }
  const auto values = registry.ReadKey(key);
  const saver::RegValue* seconds = values ? saver::FindValue(*values, "Seconds") : nullptr;
  if (!seconds || *seconds != saver::RegValue::Dword(7)) __builtin_trap();
  return 0;
}
