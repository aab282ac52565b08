#include "platform/run_mode.h"

#include <cctype>
#include <charconv>

namespace saver {
namespace {

std::optional<uint64_t> ParseHandle(const std::string& text) {
  uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

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
