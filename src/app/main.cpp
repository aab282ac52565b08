// The player: reads its run mode from the command line and its payload from
// its own file, then acts in that mode.
#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_reader_host.h"
#include "payload/reader.h"
#include "platform/desktop.h"
#include "platform/run_mode.h"
#include "platform/screen.h"

namespace {

constexpr char kUsage[] =
    "Usage: saver [SWITCH [HANDLE]]\n"
    "\n"
    "  /s          show the screen saver full screen\n"
    "  /c          show the settings (also with no switch or an unknown letter)\n"
    "  /p HANDLE   draw into the preview window HANDLE (a decimal window id)\n"
    "  /a HANDLE   change the screen-saver password, owned by window HANDLE\n"
    "  --help      print this text\n"
    "\n"
    "The switch is any one character followed by the mode letter in either case:\n"
    "/s, -S and /screen all mean full screen.\n"
    "\n"
    "The pictures, music and settings come from the payload appended to this file.\n"
    "SAVER_LOG=FILE appends the diagnostic lines of the payload reader to FILE\n"
    "(\"-\" writes them to standard error).\n";

std::string OwnPath() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  std::vector<std::string> args(argv + 1, argv + argc);
  saver::RunModeInfo mode = saver::DetectRunMode(args);

  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");  // the media backend needs the C numeric locale
  QApplication::setApplicationDisplayName(saver::kDefaultApplicationTitle);
  saver::UseDesktopTextAndScreen();  // captions and desktop capture on the real display

  std::string self = OwnPath();
  try {
    saver::PayloadData data;
    switch (mode.mode) {
      case saver::RunMode::Preview:
        saver::ReadTrailer(data, self);
        return 0;
      case saver::RunMode::Password:
        return 0;  // the password service is not part of the player yet
      case saver::RunMode::Saver:
      case saver::RunMode::Config: {
        saver::AppReaderHost host;
        bool ok = saver::ReadData(data, self, mode.mode == saver::RunMode::Config, host);
        return ok ? 0 : 1;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "saver: %s\n", e.what());
    return 1;
  }
  return 0;
}
