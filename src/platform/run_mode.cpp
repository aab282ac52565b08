#include "platform/run_mode.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace saver {
namespace {

// A window id as daemons write it: decimal, or hexadecimal after 0x.
uint64_t ParseWindowId(const char* text) {
  const std::optional<int64_t> id = text ? ParseHandleArgument(text) : std::nullopt;
  return id && *id > 0 ? uint64_t(*id) : 0;
}

// Bytes of the UTF-8 character text starts with: 1 for ASCII and for bytes
// that cannot start a sequence, else what the lead byte says, within text.
size_t Utf8CharacterLength(const std::string& text) {
  if (text.empty()) return 0;
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
  if (lead >= 0xF5) length = 1;
  for (size_t i = 1; i < length; ++i)
    if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return i;
  return length;
}

}  // namespace

std::optional<int64_t> ParseHandleArgument(const std::string& text) {
  std::string_view t(text);
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    t.remove_prefix(2);
    base = 16;
  }
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value, base);
  if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return std::nullopt;
  return value;
}

TDaemonWindow DaemonWindow(std::span<const std::string> args, const char* xscreensaverWindow,
                           uint64_t rootWindow) {
  TDaemonWindow d;
  const auto given = [&d](const std::string& id, const char* source) {
    d.requested = true;
    d.id = id;
    d.source = source;
    d.window = ParseWindowId(id.c_str());
    return d;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-window-id" || args[i] == "--window-id")
      return given(i + 1 < args.size() ? args[i + 1] : std::string(), "-window-id");
  }
  for (const std::string& a : args)
    if (a == "-root" || a == "--root") {
      if (xscreensaverWindow) return given(xscreensaverWindow, "XSCREENSAVER_WINDOW");
      d.requested = true;
      d.window = rootWindow;
      return d;
    }
  if (args.empty() && xscreensaverWindow && *xscreensaverWindow)
    return given(xscreensaverWindow, "XSCREENSAVER_WINDOW");
  return d;
}

RunModeInfo DetectRunMode(std::span<const std::string> args) {
  RunModeInfo info;
  // Upper-case argument 1, drop its first character, keep one. The first
  // character may take several bytes of UTF-8 (a dash such as "—s").
  if (!args.empty()) {
    const size_t first = Utf8CharacterLength(args[0]);
    if (args[0].size() > first)
      info.letter = char(std::toupper(static_cast<unsigned char>(args[0][first])));
  }
  switch (info.letter) {
    case 'P': info.mode = RunMode::Preview; break;
    case 'S': info.mode = RunMode::Saver; break;
    case 'A': info.mode = RunMode::Password; break;
    default: info.mode = RunMode::Config; break;
  }
  if ((info.mode == RunMode::Preview || info.mode == RunMode::Password) && args.size() >= 2)
    if (std::optional<int64_t> handle = ParseHandleArgument(args[1]); handle && *handle >= 0)
      info.parent = uint64_t(*handle);
  return info;
}

}  // namespace saver
