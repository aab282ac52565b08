// The player: a saver file is this program with a payload appended. It
// reads its run mode from the command line, makes its main window (which
// takes the behaviour of that mode) and runs the message loop until the
// window closes.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "payload/format/log_line.h"
#include "payload/format/reader.h"
#include "platform/desktop.h"
#include "platform/media_player.h"
#include "platform/message_box.h"
#include "platform/run_mode.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"
#include "settings/about_window.h"
#include "show/saver_window.h"

namespace {

constexpr char kUsage[] =
    "Usage: saver [SWITCH [HANDLE]]\n"
    "\n"
    "  /s          show the screen saver full screen\n"
    "  /c          show the settings (also with no switch or an unknown letter)\n"
    "  /p HANDLE   draw into the preview window HANDLE (an X11 window id, decimal\n"
    "              or 0x-hex)\n"
    "  /a HANDLE   change the screen-saver password, owned by window HANDLE\n"
    "  -window-id ID, --window-id ID\n"
    "              run the show inside the X11 window ID (decimal or 0x-hex), as\n"
    "              screen-saver daemons ask; the daemon keeps the input\n"
    "  -root, --root\n"
    "              the same in the window named by $XSCREENSAVER_WINDOW, else on\n"
    "              the root window ($XSCREENSAVER_WINDOW alone, with no argument,\n"
    "              does the same)\n"
    "  --help      print this text\n"
    "\n"
    "The switch is any one character followed by the mode letter in either case:\n"
    "/s, -S and /screen all mean full screen.\n"
    "\n"
    "The pictures, music and settings come from the payload appended to this file.\n"
    "In full screen, F2 makes the picture on screen the desktop's wallpaper and F1\n"
    "ends the show with a page about making savers (when the keyboard ends the show).\n"
    "SIGTERM, SIGINT or SIGHUP ends the show as a close would, removing its temporary\n"
    "files, without opening the exit link; while a message box is up, at once.\n"
    "SAVER_LOG=FILE appends the diagnostic lines of the payload reader and of the\n"
    "show to FILE (\"-\" writes them to standard error), and first the display taken.\n"
    "\n"
    "With WAYLAND_DISPLAY set, /s and /c run natively on Wayland (Qt's Wayland\n"
    "platform, package qt6-wayland); /p, /a and the daemons' windows need X11\n"
    "window ids and run through XWayland (DISPLAY).\n";

// What keeps the show from playing sound goes to standard error and the log.
void SayMediaNotice(const std::string& line) {
  saver::LogLine(line);
  const char* log = std::getenv("SAVER_LOG");
  if (!log || std::strcmp(log, "-") != 0) std::fprintf(stderr, "saver: %s\n", line.c_str());
}

// Whether id names a window on the display; without X11 there is nothing
// to draw into and nothing to check.
bool WindowExists(uint64_t id) {
  return !saver::RootWindowHandle() || !saver::NativeWindowRect(id).IsEmpty();
}

int NoWindow(const std::string& id, const std::string& source) {
  std::fprintf(stderr, "saver: no window %s to draw into (%s)\n", id.c_str(), source.c_str());
  return 1;
}

std::string OwnPath() {
  std::vector<char> buf(4096);
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  return n > 0 ? std::string(buf.data(), size_t(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  // Frame-sized buffers get mappings of their own, which go back to the
  // system when they are freed. The allocator's own adaptive threshold would
  // soon serve them from its heaps, which keep the pages of every frame ever
  // freed: the show's footprint would grow well past the frames it holds.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  for (int i = 1; i < argc; ++i)
    if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
  std::vector<std::string> args(argv + 1, argv + argc);

  // Requests to end are taken from the start: those that come before the
  // window wait for it.
  std::unique_ptr<saver::TSSWindow> window;
  saver::SetDisplayLostHandler([] {
    if (saver::TSSWindow* w = saver::TSSWindow::Running()) w->RemoveTemporaryFiles();
  });
  saver::SetTerminationHandler([&window] {
    if (window && !saver::MessageBoxShowing()) {
      window->EndOnRequest();
      return;
    }
    // A box holds the loop until someone answers it, and a window still
    // being made has no show to close: the process ends now, tidy.
    if (saver::TSSWindow* w = saver::TSSWindow::Running()) w->RemoveTemporaryFiles();
    std::fflush(nullptr);
    std::_Exit(0);
  });
  // The display is chosen for what the mode needs: another program's
  // window is drawn into through X11 window ids; the show and the settings
  // run natively on Wayland too. What is wrong with the display or the
  // window to draw into is said before the toolkit starts, which would have
  // its own say.
  saver::RunModeInfo mode = saver::DetectRunMode(args);
  const char* daemonWindow = std::getenv("XSCREENSAVER_WINDOW");
  const bool windowIds = saver::DaemonWindow(args, daemonWindow, 0).requested ||
                         mode.mode == saver::RunMode::Preview ||
                         mode.mode == saver::RunMode::Password;
  std::string error, display;
  if (!saver::ChooseDisplay(windowIds ? saver::TDisplayNeed::WindowIds
                                      : saver::TDisplayNeed::OwnWindows,
                            &display, &error)) {
    std::fprintf(stderr, "saver: %s\n", error.c_str());
    return 1;
  }
  saver::LogLine(display);
  // A screen-saver daemon's window takes the show; the run mode is then full screen.
  const saver::TDaemonWindow daemon =
      saver::DaemonWindow(args, daemonWindow, saver::RootWindowHandle());
  if (daemon.requested) {
    if (!daemon.window && daemon.id.empty()) {
      std::fputs("saver: no window to draw into (give -window-id ID or set XSCREENSAVER_WINDOW)\n",
                 stderr);
      return 2;
    }
    if (!WindowExists(daemon.window)) return NoWindow(daemon.id, daemon.source);
    args = {"/s"};
    mode = saver::DetectRunMode(args);
  }
  if (mode.mode == saver::RunMode::Preview && mode.parent && !WindowExists(*mode.parent))
    return NoWindow(args[1], args[0]);
  if (!saver::StartDesktop(argc, argv, &error)) {
    std::fprintf(stderr, "saver: %s\n", error.c_str());
    return 1;
  }
  // Only the show plays: the settings, the preview and the password change
  // never load the media library.
  if (mode.mode == saver::RunMode::Saver) {
    saver::SetMediaNoticeHandler(SayMediaNotice);
    saver::UseMpvMediaPlayer();
  }
  saver::IWindowSystem& ws = saver::WindowSystem();
  ws.SetApplicationTitle(saver::kDefaultApplicationTitle);

  std::unique_ptr<saver::TAboutWindow> about;
  try {
    window = std::make_unique<saver::TSSWindow>(args, OwnPath(), daemon.window);
    // The settings panel's About window, made once, after the main window.
    about = std::make_unique<saver::TAboutWindow>(window->Data.Text);
  } catch (...) {
    // A start that failed has nothing to show; the program ends.
  }
  // The media library loads once the window is up and the loop runs: its
  // loading would compete with the first picture for the machine.
  if (mode.mode == saver::RunMode::Saver) saver::UiThread().Post(saver::StartMediaLibrary);
  if (window) ws.Run(window->Window());
  about.reset();
  window.reset();
  return 0;
}
