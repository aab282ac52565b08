#pragma once
// A private X server with several monitors for tests: starts TigerVNC's Xvnc
// (whose RandR monitors can be set, unlike Xvfb's) on a display number it
// picks itself, points DISPLAY of this process at it, and stops it again.
//
//   auto x = saver::test::XvncDisplay::Start(1024, 768, &error);
//   x->SetMonitors({{0, 0, 1024, 768}, {1024, 0, 1824, 600}});  // the first is the primary
//   saver::TBitmap32 shot = x->Screenshot();  // the whole framebuffer, opaque
//
// The server listens on no TCP port (neither X nor VNC) and dies with the
// process that started it. Needs Xvnc (package tigervnc-standalone-server),
// xrandr and Xlib.
#include "desktop/xvfb_display.h"

#include <algorithm>
#include <cstdio>

#include "graphics/rect.h"

namespace saver::test {

class XvncDisplay {
 public:
  // Starts a server with one monitor of width x height pixels at depth 24
  // and sets DISPLAY to it; nullptr (and *error) when it does not come up
  // within ten seconds.
  static std::unique_ptr<XvncDisplay> Start(int width, int height, std::string* error = nullptr) {
    const std::string geometry = std::to_string(width) + "x" + std::to_string(height);
    std::string name;
    const pid_t pid = StartXServer({"Xvnc", "-geometry", geometry, "-depth", "24", "-rfbport", "-1",
                                    "-SecurityTypes", "None", "-localhost", "-nolisten", "tcp",
                                    "-noreset"},
                                   &name, error);
    if (pid < 0) return nullptr;
    std::unique_ptr<XvncDisplay> x(new XvncDisplay(pid));
    x->name_ = name;
    setenv("DISPLAY", x->name_.c_str(), 1);
    return x;
  }

  ~XvncDisplay() { Stop(); }
  XvncDisplay(const XvncDisplay&) = delete;
  XvncDisplay& operator=(const XvncDisplay&) = delete;

  const std::string& Name() const { return name_; }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // Makes the server list exactly these monitors, the first as the one of
  // its output (the primary), the framebuffer just large enough for them.
  // False when xrandr refused a step.
  bool SetMonitors(const std::vector<TRect>& monitors) {
    int32_t width = 1, height = 1;
    for (const TRect& m : monitors)
      width = std::max(width, m.Right), height = std::max(height, m.Bottom);
    // Larger first: every monitor must fit the framebuffer at each step.
    fbWidth_ = std::max(width, fbWidth_), fbHeight_ = std::max(height, fbHeight_);
    bool ok = Xrandr("--fb " + Size(fbWidth_, fbHeight_));
    // Monitors removed already fail here, harmlessly.
    for (size_t i = 0; i < names_; ++i) Xrandr("--delmonitor M" + std::to_string(i));
    names_ = 0;
    for (size_t i = 0; i < monitors.size(); ++i)
      ok = AddMonitor(monitors[i], i == 0 ? "VNC-0" : "none") && ok;
    ok = Xrandr("--fb " + Size(width, height)) && ok;
    fbWidth_ = width, fbHeight_ = height;
    return ok;
  }

  // Adds one monitor, number names-so-far (the framebuffer grows to hold
  // it), or removes monitor i.
  bool AddMonitor(const TRect& m, const std::string& output = "none") {
    if (m.Right > fbWidth_ || m.Bottom > fbHeight_) {
      fbWidth_ = std::max(fbWidth_, m.Right), fbHeight_ = std::max(fbHeight_, m.Bottom);
      if (!Xrandr("--fb " + Size(fbWidth_, fbHeight_))) return false;
    }
    const std::string geometry = std::to_string(m.Width()) + "/" + std::to_string(m.Width() / 4) +
                                 "x" + std::to_string(m.Height()) + "/" +
                                 std::to_string(m.Height() / 4) + "+" + std::to_string(m.Left) +
                                 "+" + std::to_string(m.Top);
    return Xrandr("--setmonitor M" + std::to_string(names_++) + " " + geometry + " " + output);
  }
  bool RemoveMonitor(size_t i) { return Xrandr("--delmonitor M" + std::to_string(i)); }

  // The whole framebuffer as the server holds it, alpha 255.
  TBitmap32 Screenshot() const {
    TBitmap32 shot;
    Display* d = XOpenDisplay(name_.c_str());
    if (!d) return shot;
    const Window root = DefaultRootWindow(d);
    XWindowAttributes a{};
    XGetWindowAttributes(d, root, &a);
    XImage* image =
        XGetImage(d, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (image) {
      shot.SetSize(a.width, a.height);
      for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
          shot.SetPixel(x, y, TColor32(XGetPixel(image, x, y)) | 0xFF000000u);
      XDestroyImage(image);
    }
    XCloseDisplay(d);
    return shot;
  }

 private:
  explicit XvncDisplay(pid_t pid) : pid_(pid) {}
  static std::string Size(int32_t w, int32_t h) {
    return std::to_string(w) + "x" + std::to_string(h);
  }
  bool Xrandr(const std::string& args) const {
    const std::string cmd = "DISPLAY=" + name_ + " xrandr " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
  }

  pid_t pid_;
  std::string name_;
  size_t names_ = 0;  // monitors M0 .. named so far
  int32_t fbWidth_ = 0, fbHeight_ = 0;
};

}  // namespace saver::test
