#include "settings/settings_store.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "payload/format/log_line.h"

namespace saver {

std::string SettingsKeyPath(const std::string& title) { return "\\Software\\Kelvastrom\\" + title; }

namespace {

constexpr int kEffectCount = 116;

int32_t ReadInteger(const RegValues& values, const char* name, int32_t fallback) {
  const RegValue* v = FindValue(values, name);
  if (!v) return fallback;
  if (v->type != RegType::Dword) throw SettingsError(std::string(name) + " is not a DWORD");
  return v->dword;
}

void ReadBoolean(const RegValues& values, const char* name, uint8_t& field) {
  if (FindValue(values, name)) field = ReadInteger(values, name, 0) != 0 ? 1 : 0;
}

void ReadStoredSettings(IRegistry& registry, const std::string& title, PayloadTrailer& t,
                        std::string& effect) {
  std::optional<RegValues> key;
  try {
    key = registry.ReadKey(SettingsKeyPath(title));
  } catch (const RegistryError& e) {
    LogLine(std::string("Settings not read: ") + e.what());
    return;  // a key that cannot be opened leaves the defaults
  }
  if (!key) return;
  const RegValues& v = *key;
  t.Seconds = ReadInteger(v, "Seconds", t.Seconds);
  t.Stretch = ReadInteger(v, "Stretch", t.Stretch);
  t.DisplayOrder = ReadInteger(v, "DisplayOrder", t.DisplayOrder);
  ReadBoolean(v, "DesktopStart", t.DesktopStart);
  ReadBoolean(v, "Loop", t.Loop);
  ReadBoolean(v, "Mute", t.Mute);
  ReadBoolean(v, "ShuffleMelody", t.ShuffleMelody);
  if (const RegValue* e = FindValue(v, "Effect")) {
    if (e->type != RegType::Sz && e->type != RegType::ExpandSz)
      throw SettingsError("Effect is not a string");
    effect = e->text.substr(0, e->text.find('\0'));
  }
  t.EffectSpeed = ReadInteger(v, "EffectSpeed", t.EffectSpeed);
  ReadBoolean(v, "PlayOneRandom", t.PlayOneRandom);
  ReadBoolean(v, "ExitMouseMove", t.ExitMouseMove);
  ReadBoolean(v, "ExitMouseButton", t.ExitMouseButton);
  ReadBoolean(v, "ExitKeyboard", t.ExitKeyboard);
  ReadBoolean(v, "ExitESC", t.ExitESC);
}

}  // namespace

void KeepAnExitCondition(PayloadTrailer& t) {
  if (!t.ExitMouseMove && !t.ExitMouseButton && !t.ExitKeyboard && !t.ExitESC) t.ExitESC = 1;
}

void ReadSettings(IRegistry& registry, const std::string& title, PayloadTrailer& t,
                  std::string& effect) {
  ReadStoredSettings(registry, title, t, effect);
  KeepAnExitCondition(t);
}

void ReadSettings(PayloadData& data) {
  IRegistry* registry = nullptr;
  try {
    registry = &Registry();
  } catch (const std::exception&) {
    // No store folder (for instance a read-only home): the defaults stay.
    KeepAnExitCondition(data.Trailer);
    return;
  }
  ReadSettings(*registry, data.Text.Title, data.Trailer, data.Text.Effect);
}

std::string EffectSelectionString(const std::vector<bool>& checked) {
  std::string s;
  for (size_t i = 0; i < checked.size() && i < size_t(kEffectCount); ++i)
    if (checked[i]) s += char(i + 1);
  return s;
}

int SecondsFromText(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(begin, &end);
  while (end && (*end == ' ' || *end == '\t')) ++end;
  bool number = end != begin && end && *end == '\0' && errno == 0 && std::isfinite(v) &&
                std::strpbrk(begin, "xXpPnN") == nullptr;  // no hex, infinities or NaN
  if (!number || std::fabs(v) >= double(std::numeric_limits<int>::max())) return 1;
  return int(std::trunc(v));
}

void WriteSettings(IRegistry& registry, const std::string& title, const SettingsControls& c) {
  auto flag = [](bool b) { return RegValue::Dword(b ? 1 : 0); };
  int stretch = c.sizeCode == 2 ? 2 + c.positionCode : c.sizeCode;
  registry.WriteValues(SettingsKeyPath(title),
                       {{"Seconds", RegValue::Dword(SecondsFromText(c.secondsText))},
                        {"Stretch", RegValue::Dword(stretch)},
                        {"DisplayOrder", RegValue::Dword(c.displayOrder)},
                        {"DesktopStart", flag(c.desktopStart)},
                        {"Loop", flag(c.loop)},
                        {"Mute", flag(c.mute)},
                        {"ShuffleMelody", flag(c.shuffleMelody)},
                        {"Effect", RegValue::Sz(EffectSelectionString(c.effectChecked))},
                        {"EffectSpeed", RegValue::Dword(c.effectSpeed)},
                        {"PlayOneRandom", flag(c.playOneRandom)},
                        {"ExitMouseMove", flag(c.exitMouseMove)},
                        {"ExitMouseButton", flag(c.exitMouseButton)},
                        {"ExitKeyboard", flag(c.exitKeyboard)},
                        {"ExitESC", flag(c.exitESC)}});
}

void WriteSettings(const std::string& title, const SettingsControls& c) {
  IRegistry* registry = nullptr;
  try {
    registry = &Registry();
  } catch (const std::exception& e) {
    throw RegistryError(std::string("no settings store: ") + e.what());
  }
  WriteSettings(*registry, title, c);
}

}  // namespace saver
