#pragma once
// A private X server for tests: starts Xvfb on a display number it picks
// itself, points DISPLAY of this process at it, and stops it again.
//
//   std::string error;
//   auto x = saver::test::XvfbDisplay::Start(800, 600, &error);  // DISPLAY is now x->Name()
//   ... run something on the display ...
//   saver::TBitmap32 shot = x->Screenshot();  // the root window, opaque
//   x.reset();  // or x->Stop(): the server is gone
//
// The server dies with the process that started it, even when that process
// is killed, so a crashed test leaves no server behind. Needs the Xvfb
// executable (package xvfb) and Xlib.
//
// This header brings in Xlib with its macros None and Bool taken out (they
// would break TBorderStyle::None and GoogleTest's Bool()): Bool is a type
// again, and an X11 None is written 0.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef None
#undef Bool
typedef int Bool;
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver::test {

// The pixmap a property of the root window names (as wallpaper setters
// leave _XROOTPMAP_ID); 0 without one.
inline unsigned long RootPixmapProperty(Display* d, const char* name) {
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, after = 0, pixmap = 0;
  unsigned char* data = nullptr;
  const Atom pixmapType = XInternAtom(d, "PIXMAP", False);
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False), 0, 1, False,
                         pixmapType, &type, &format, &n, &after, &data) == Success &&
      data) {
    if (type == pixmapType && format == 32 && n == 1)
      pixmap = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
  }
  return pixmap;
}

// A pixmap's pixels, alpha 255; empty when it names none.
inline TBitmap32 PixmapPixels(Display* d, unsigned long pixmap) {
  TBitmap32 out;
  Window root;
  int x, y;
  unsigned w = 0, h = 0, border, depth;
  if (!pixmap || !XGetGeometry(d, pixmap, &root, &x, &y, &w, &h, &border, &depth)) return out;
  XImage* image = XGetImage(d, pixmap, 0, 0, w, h, AllPlanes, ZPixmap);
  if (!image) return out;
  out.SetSize(int32_t(w), int32_t(h));
  for (unsigned j = 0; j < h; ++j)
    for (unsigned i = 0; i < w; ++i)
      out.SetPixel(int32_t(i), int32_t(j),
                   TColor32(XGetPixel(image, int(i), int(j))) | 0xFF000000u);
  XDestroyImage(image);
  return out;
}

// Starts an X server (argv[0] found on PATH) that writes its display number
// to a descriptor (-displayfd) and dies with the process that started it,
// even when that process is killed. Its pid and *name (":N") once it accepts
// connections; -1 (and *error) when it does not within ten seconds.
inline pid_t StartXServer(const std::vector<std::string>& args, std::string* name,
                          std::string* error) {
  const auto fail = [error](const char* what) {
    if (error) *error = what;
    return pid_t(-1);
  };
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return fail("cannot make a pipe");
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) return fail("cannot fork");
  if (pid == 0) {
    // The server goes when its starter goes, whichever way it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int out = dup(fds[1]);  // without close-on-exec: the server writes its number here
    const int null = open("/dev/null", O_RDWR);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    const std::string fd = std::to_string(out);
    std::vector<const char*> argv = {args[0].c_str(), "-displayfd", fd.c_str()};
    for (size_t i = 1; i < args.size(); ++i) argv.push_back(args[i].c_str());
    argv.push_back(nullptr);
    execvp(argv[0], const_cast<char* const*>(argv.data()));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (number.empty() || number.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fds[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) break;
    char c;
    if (read(fds[0], &c, 1) != 1) break;
    number += c;
  }
  close(fds[0]);
  if (number.empty() || number.back() != '\n') {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return fail((args[0] + " did not start").c_str());
  }
  number.pop_back();
  *name = ":" + number;
  return pid;
}

class XvfbDisplay {
 public:
  // Starts a server with one screen of width x height pixels at depth 24 and
  // sets DISPLAY to it; serverArgs go to Xvfb as well (e.g. "-extension",
  // "MIT-SHM" to leave one out). nullptr (and *error) when it does not come
  // up within ten seconds.
  static std::unique_ptr<XvfbDisplay> Start(int width, int height, std::string* error = nullptr,
                                            const std::vector<std::string>& serverArgs = {}) {
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> argv = {"Xvfb", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    argv.insert(argv.end(), serverArgs.begin(), serverArgs.end());
    std::string name;
    const pid_t pid = StartXServer(argv, &name, error);
    if (pid < 0) return nullptr;
    std::unique_ptr<XvfbDisplay> x(new XvfbDisplay(pid, width, height));
    x->name_ = name;
    setenv("DISPLAY", x->name_.c_str(), 1);
    return x;
  }

  ~XvfbDisplay() { Stop(); }
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  // The display name, e.g. ":3".
  const std::string& Name() const { return name_; }
  pid_t Pid() const { return pid_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Ends the server and waits for it. Clients still connected lose their connection.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // The root window's pixels as the server holds them, alpha 255, read
  // through a connection of its own.
  TBitmap32 Screenshot() const {
    TBitmap32 shot;
    Display* d = XOpenDisplay(name_.c_str());
    if (!d) return shot;
    const Window root = DefaultRootWindow(d);
    XImage* image =
        XGetImage(d, root, 0, 0, unsigned(width_), unsigned(height_), AllPlanes, ZPixmap);
    if (image) {
      shot.SetSize(width_, height_);
      for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
          shot.SetPixel(x, y, TColor32(XGetPixel(image, x, y)) | 0xFF000000u);
      XDestroyImage(image);
    }
    XCloseDisplay(d);
    return shot;
  }

 private:
  XvfbDisplay(pid_t pid, int width, int height) : pid_(pid), width_(width), height_(height) {}

  pid_t pid_;
  int width_, height_;
  std::string name_;
};

}  // namespace saver::test
