#include "compose.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "payload/compose_frame.h"
#include "payload/png_writer.h"
#include "platform/desktop.h"

namespace saver {

namespace {

constexpr const char* kComposeUsage =
    R"(Usage: saver-inspect --compose N --size WxH --out FILE.png [--seed S] SAVER
Renders picture N (counted from 0) of SAVER as the show composes it before
its transition: the background gradient and background picture, the picture
fitted by its size and position mode through its mask, and its caption. The
payload's default settings apply; S (default 1) drives every random choice.

A picture that cannot be decoded gives an error and exit status 1.
)";

bool ParseInt(const std::string& s, long long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtoll(s.c_str(), &end, 10);
  return end && *end == '\0';
}

bool ParseSize(const std::string& s, int32_t& w, int32_t& h) {
  const size_t x = s.find_first_of("xX");
  long long a, b;
  if (x == std::string::npos || !ParseInt(s.substr(0, x), a) || !ParseInt(s.substr(x + 1), b))
    return false;
  if (a <= 0 || b <= 0 || a > 16384 || b > 16384) return false;
  w = int32_t(a), h = int32_t(b);
  return true;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "saver-inspect: %s\n%s", problem, kComposeUsage);
  return 2;
}

}  // namespace

int RunCompose(int argc, char** argv) {
  long long index = -1, seed = 1;
  int32_t width = 0, height = 0;
  std::string out, path;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kComposeUsage, stdout);
      return 0;
    } else if (arg == "--compose") {
      // Larger numbers than a picture table can hold must not wrap onto a real picture.
      if (!hasValue || !ParseInt(argv[++i], index) || index < 0 || index > INT32_MAX)
        return Usage("--compose needs a picture number from 0");
    } else if (arg == "--size") {
      if (!hasValue || !ParseSize(argv[++i], width, height))
        return Usage("--size needs WIDTHxHEIGHT, each 1 to 16384");
    } else if (arg == "--out") {
      if (!hasValue) return Usage("--out needs a file name");
      out = argv[++i];
    } else if (arg == "--seed") {
      if (!hasValue || !ParseInt(argv[++i], seed)) return Usage("--seed needs a number");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Usage(("unknown option " + arg).c_str());
    } else if (path.empty()) {
      path = arg;
    } else {
      return Usage("give one saver file");
    }
  }
  if (index < 0) return Usage("--compose needs a picture number");
  if (width == 0) return Usage("--size is required");
  if (out.empty()) return Usage("--out is required");
  if (path.empty()) return Usage("no saver file given");

  try {
    UseDesktopTextAndScreen();  // captions are drawn with the desktop's fonts
    const TBitmap32 frame = ComposeFrame(path, int32_t(index), width, height, uint32_t(seed));
    WritePng(frame, out, false);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver-inspect: %s: %s\n", path.c_str(), e.what());
    return 1;
  }
}

}  // namespace saver
