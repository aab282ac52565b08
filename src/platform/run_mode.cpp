#include "platform/run_mode.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace saver {
namespace {

std::optional<uint64_t> ParseHandle(const std::string& text) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// A window id as daemons write it: decimal, or hexadecimal after 0x.
uint64_t ParseWindowId(const char* text) {
  if (!text) return 0;
  std::string_view t(text);
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    t.remove_prefix(2);
    base = 16;
  }
  uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), value, base);
  if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return 0;
  return value;
}

}  // namespace

TDaemonWindow DaemonWindow(std::span<const std::string> args, const char* xscreensaverWindow,
                           uint64_t rootWindow) {
  TDaemonWindow d;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-window-id" || args[i] == "--window-id") {
      d.requested = true;
      d.window = i + 1 < args.size() ? ParseWindowId(args[i + 1].c_str()) : 0;
      return d;
    }
  }
  for (const std::string& a : args)
    if (a == "-root" || a == "--root") {
      d.requested = true;
      d.window = xscreensaverWindow ? ParseWindowId(xscreensaverWindow) : rootWindow;
      return d;
    }
  if (args.empty() && xscreensaverWindow && *xscreensaverWindow) {
    d.requested = true;
    d.window = ParseWindowId(xscreensaverWindow);
  }
  return d;
}

RunModeInfo DetectRunMode(std::span<const std::string> args) {
  RunModeInfo info;
  // Upper-case argument 1, drop its first character, keep one.
  if (!args.empty() && args[0].size() >= 2)
    info.letter = char(std::toupper(static_cast<unsigned char>(args[0][1])));
  switch (info.letter) {
    case 'P': info.mode = RunMode::Preview; break;
    case 'S': info.mode = RunMode::Saver; break;
    case 'A': info.mode = RunMode::Password; break;
    default: info.mode = RunMode::Config; break;
  }
  if ((info.mode == RunMode::Preview || info.mode == RunMode::Password) && args.size() >= 2)
    info.parent = ParseHandle(args[1]);
  return info;
}

}  // namespace saver
