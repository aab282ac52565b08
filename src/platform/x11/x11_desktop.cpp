#include "platform/x11/x11_desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace saver::x11 {

namespace {

Display* Dpy(void* d) { return static_cast<Display*>(d); }

std::atomic<void (*)()> g_lost{nullptr};
// The code of the last protocol error; ErrorTrap reads it after a sync.
std::atomic<int> g_lastError{0};

int IgnoreError(Display*, XErrorEvent* e) {
  g_lastError.store(e->error_code);
  return 0;
}

int ConnectionLost(Display*) {
  if (void (*fn)() = g_lost.load()) fn();
  std::_Exit(1);  // Xlib would call exit() after a returning handler
}

// Collects the protocol errors of the requests made while it lives; Failed()
// makes a round trip so that every error has arrived.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* d) : d_(d) {
    XSync(d_, False);
    g_lastError.store(0);
  }
  bool Failed() {
    XSync(d_, False);
    return g_lastError.exchange(0) != 0;
  }

 private:
  Display* d_;
};

// Frees what Xlib allocated for a property.
struct XFreeDeleter {
  void operator()(void* p) const {
    if (p) XFree(p);
  }
};
using XMem = std::unique_ptr<unsigned char, XFreeDeleter>;

std::vector<unsigned long> ReadList(Display* d, Window w, ::Atom property, ::Atom type) {
  ::Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, property, 0, 65536, False, type, &actualType, &format, &count,
                         &after, &data) != Success)
    return {};
  XMem owned(data);
  if (actualType != type || format != 32 || !data) return {};
  // Format-32 items come as longs, whatever the architecture's long is.
  const auto* items = reinterpret_cast<const unsigned long*>(data);
  return std::vector<unsigned long>(items, items + count);
}

}  // namespace

bool CheckDisplay(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) {
    if (error) *error = "no display (DISPLAY is not set)";
    return false;
  }
  Display* d = XOpenDisplay(name);
  if (!d) {
    if (error) *error = std::string("cannot open the display \"") + name + "\"";
    return false;
  }
  XCloseDisplay(d);
  return true;
}

void SetConnectionLostHandler(void (*fn)()) {
  g_lost.store(fn);
  XSetErrorHandler(IgnoreError);
  XSetIOErrorHandler(ConnectionLost);
}

std::unique_ptr<Connection> Connection::Open(std::string* error) {
  const char* name = std::getenv("DISPLAY");
  Display* d = name && *name ? XOpenDisplay(name) : nullptr;
  if (!d) {
    if (error)
      *error = name && *name ? std::string("cannot open the display \"") + name + "\""
                             : std::string("no display (DISPLAY is not set)");
    return nullptr;
  }
  // Protocol errors are collected for the error traps, not fatal.
  XSetErrorHandler(IgnoreError);
  return std::unique_ptr<Connection>(new Connection(d));
}

Connection::Connection(void* display) : display_(display) {}

Connection::~Connection() { XCloseDisplay(Dpy(display_)); }

int Connection::Fd() const { return ConnectionNumber(Dpy(display_)); }

bool Connection::HasQueuedEvents() const {
  return XEventsQueued(Dpy(display_), QueuedAlready) > 0;
}

bool Connection::Broken() const {
  pollfd p{Fd(), POLLIN, 0};
  if (poll(&p, 1, 0) <= 0) return false;
  if (p.revents & (POLLHUP | POLLERR)) return true;
  char c;
  return recv(Fd(), &c, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
}

void Connection::ProcessEvents() {
  Display* d = Dpy(display_);
  // XPending reads the socket; a hung-up server ends in the IO error handler.
  while (XPending(d) > 0) {
    XEvent e;
    XNextEvent(d, &e);
    if (e.type == ConfigureNotify) {
      auto it = watches_.find(e.xconfigure.window);
      if (it == watches_.end() || e.xconfigure.event != e.xconfigure.window) continue;
      const auto resized = it->second.resized;
      const XConfigureEvent& c = e.xconfigure;
      if (resized) resized(TRect{c.x, c.y, c.x + c.width, c.y + c.height});
    } else if (e.type == XShmGetEventBase(d) + ShmCompletion) {
      Completed(reinterpret_cast<const XShmCompletionEvent&>(e).shmseg);
    } else if (e.type == DestroyNotify) {
      auto it = watches_.find(e.xdestroywindow.window);
      if (it == watches_.end()) continue;
      const auto destroyed = std::move(it->second.destroyed);
      watches_.erase(it);
      if (destroyed) destroyed();
    }
  }
}

void Connection::Completed(unsigned long segment) {
  auto it = images_.find(segment);
  if (it != images_.end() && it->second->outstanding_ > 0) --it->second->outstanding_;
}

unsigned long Connection::Intern(const char* name) {
  auto it = atoms_.find(name);
  if (it != atoms_.end()) return it->second;
  const ::Atom a = XInternAtom(Dpy(display_), name, False);
  atoms_[name] = a;
  return a;
}

bool Connection::Exists(TWindowId window) {
  if (!window) return false;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  XWindowAttributes a;
  const Status ok = XGetWindowAttributes(d, Window(window), &a);
  return !trap.Failed() && ok;
}

bool Connection::Geometry(TWindowId window, TRect* rect) {
  if (!window) return false;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  Window root;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  const Status ok = XGetGeometry(d, Window(window), &root, &x, &y, &w, &h, &border, &depth);
  if (trap.Failed() || !ok) return false;
  *rect = TRect{x, y, x + int32_t(w), y + int32_t(h)};
  return true;
}

bool Connection::ScreenGeometry(TWindowId window, TRect* rect) {
  TRect local;
  if (!Geometry(window, &local)) return false;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  int x = 0, y = 0;
  Window child;
  const Bool ok = XTranslateCoordinates(d, Window(window), DefaultRootWindow(d), 0, 0, &x, &y, &child);
  if (trap.Failed() || !ok) return false;
  *rect = TRect{x, y, x + local.Width(), y + local.Height()};
  return true;
}

bool Connection::Watch(TWindowId window, std::function<void(const TRect&)> resized,
                       std::function<void()> destroyed) {
  if (!window) return false;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  XSelectInput(d, Window(window), StructureNotifyMask);
  if (trap.Failed()) return false;
  watches_[window] = TWatch{std::move(resized), std::move(destroyed)};
  return true;
}

void Connection::Unwatch(TWindowId window) {
  if (!watches_.erase(window)) return;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  XSelectInput(d, Window(window), NoEventMask);
  trap.Failed();
}

TWindowId Connection::Root() { return DefaultRootWindow(static_cast<Display*>(display_)); }

bool Connection::HasWindowManager() {
  Display* d = Dpy(display_);
  const auto check =
      ReadList(d, DefaultRootWindow(d), Intern("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW);
  return !check.empty() && Exists(check[0]);
}

void Connection::Activate(TWindowId window) {
  if (!Exists(window)) return;
  Display* d = Dpy(display_);
  ErrorTrap trap(d);
  if (HasWindowManager()) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(window);
    e.xclient.message_type = Intern("_NET_ACTIVE_WINDOW");
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // a request on the user's behalf, as a pager makes it
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &e);
  } else {
    XWindowAttributes a;
    XRaiseWindow(d, Window(window));
    // Focus on an unmapped window is an error; raising it is all there is.
    if (XGetWindowAttributes(d, Window(window), &a) && a.map_state == IsViewable)
      XSetInputFocus(d, Window(window), RevertToPointerRoot, CurrentTime);
  }
  trap.Failed();
}

TWindowId Connection::ActiveWindow() {
  Display* d = Dpy(display_);
  if (HasWindowManager()) {
    const auto active = ReadList(d, DefaultRootWindow(d), Intern("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    return active.empty() ? 0 : active[0];
  }
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  return focus == None || focus == PointerRoot ? 0 : focus;
}

void Connection::SkipTaskbar(TWindowId window) {
  if (!Exists(window)) return;
  Display* d = Dpy(display_);
  const ::Atom state = Intern("_NET_WM_STATE");
  const ::Atom skips[] = {Intern("_NET_WM_STATE_SKIP_TASKBAR"), Intern("_NET_WM_STATE_SKIP_PAGER")};
  ErrorTrap trap(d);
  // The property is what a window manager reads when the window is mapped;
  // a mapped window is changed through the manager.
  std::vector<unsigned long> atoms = ReadList(d, Window(window), state, XA_ATOM);
  for (::Atom a : skips)
    if (std::find(atoms.begin(), atoms.end(), a) == atoms.end()) atoms.push_back(a);
  XChangeProperty(d, Window(window), state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(atoms.data()), int(atoms.size()));
  XWindowAttributes a;
  if (HasWindowManager() && XGetWindowAttributes(d, Window(window), &a) &&
      a.map_state != IsUnmapped) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(window);
    e.xclient.message_type = state;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // add
    e.xclient.data.l[1] = long(skips[0]);
    e.xclient.data.l[2] = long(skips[1]);
    e.xclient.data.l[3] = 1;  // a normal application
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &e);
  }
  trap.Failed();
}

TPoint Connection::PointerPosition() {
  Display* d = Dpy(display_);
  Window root = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask);
  return TPoint{x, y};
}

uint32_t Connection::KeySymbol(uint32_t keycode) {
  if (keycode < 8 || keycode > 255) return 0;
  return uint32_t(XkbKeycodeToKeysym(Dpy(display_), KeyCode(keycode), 0, 0));
}

std::unique_ptr<SharedImage> SharedImage::Create(Connection& connection, int32_t width,
                                                 int32_t height) {
  Display* d = Dpy(connection.display_);
  if (width <= 0 || height <= 0 || !XShmQueryExtension(d)) return nullptr;
  // The words of the image must be the server's pixels as they are:
  // 24-bit true colour, 32 bits a pixel, red in bits 16-23, our byte order.
  Visual* visual = DefaultVisual(d, DefaultScreen(d));
  const int depth = DefaultDepth(d, DefaultScreen(d));
  if (depth != 24 || visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 ||
      visual->blue_mask != 0xFF)
    return nullptr;
  std::unique_ptr<SharedImage> s(new SharedImage);
  s->connection_ = &connection;
  s->width_ = width;
  s->height_ = height;
  auto* info = new XShmSegmentInfo{};
  XImage* image = XShmCreateImage(d, visual, unsigned(depth), ZPixmap, nullptr, info,
                                  unsigned(width), unsigned(height));
  if (!image) {
    delete info;
    return nullptr;
  }
  s->image_ = image;
  image->obdata = reinterpret_cast<char*>(info);
  const uint16_t probe = 1;
  const int ours = *reinterpret_cast<const uint8_t*>(&probe) ? LSBFirst : MSBFirst;
  if (image->bits_per_pixel != 32 || image->bytes_per_line != width * 4 ||
      image->byte_order != ours)
    return nullptr;
  s->shmId_ = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * size_t(height), IPC_CREAT | 0600);
  if (s->shmId_ < 0) return nullptr;
  void* memory = shmat(s->shmId_, nullptr, 0);
  if (memory == reinterpret_cast<void*>(-1)) return nullptr;
  s->pixels_ = static_cast<uint32_t*>(memory);
  info->shmid = s->shmId_;
  info->shmaddr = image->data = static_cast<char*>(memory);
  info->readOnly = True;
  ErrorTrap trap(d);
  XShmAttach(d, info);
  if (trap.Failed()) return nullptr;
  s->shmSeg_ = info->shmseg;
  connection.images_[s->shmSeg_] = s.get();
  // Both sides are attached: the segment goes away with the last of them,
  // even when the process dies.
  shmctl(s->shmId_, IPC_RMID, nullptr);
  s->gc_ = XCreateGC(d, DefaultRootWindow(d), 0, nullptr);
  return s;
}

SharedImage::~SharedImage() {
  Display* d = connection_ ? Dpy(connection_->display_) : nullptr;
  auto* image = static_cast<XImage*>(image_);
  auto* info = image ? reinterpret_cast<XShmSegmentInfo*>(image->obdata) : nullptr;
  if (d && shmSeg_) {
    WaitIdle();
    XShmDetach(d, info);
    XSync(d, False);
    connection_->images_.erase(shmSeg_);
  }
  if (d && gc_) XFreeGC(d, static_cast<GC>(gc_));
  if (pixels_) shmdt(pixels_);
  if (shmId_ >= 0) shmctl(shmId_, IPC_RMID, nullptr);
  if (image) {
    image->data = nullptr;  // shared memory, not Xlib's to free
    image->obdata = nullptr;
    XDestroyImage(image);
  }
  delete info;
}

void SharedImage::Put(TWindowId window, const TRect& rect) {
  const TRect r = IntersectRect(rect, TRect{0, 0, width_, height_});
  if (r.IsEmpty() || !window) return;
  Display* d = Dpy(connection_->display_);
  // The server reports each put done (a completion event): Busy reads those
  // without a round trip.
  XShmPutImage(d, Window(window), static_cast<GC>(gc_), static_cast<XImage*>(image_), r.Left,
               r.Top, r.Left, r.Top, unsigned(r.Width()), unsigned(r.Height()), True);
  XFlush(d);
  ++outstanding_;
}

bool SharedImage::Busy() {
  if (outstanding_ == 0) return false;
  Display* d = Dpy(connection_->display_);
  XEvent e;
  const auto ours = [](Display*, XEvent* ev, XPointer arg) -> Bool {
    const auto* self = reinterpret_cast<const SharedImage*>(arg);
    return ev->type == XShmGetEventBase(ev->xany.display) + ShmCompletion &&
           reinterpret_cast<const XShmCompletionEvent*>(ev)->shmseg == self->shmSeg_;
  };
  while (outstanding_ > 0 && XCheckIfEvent(d, &e, ours, reinterpret_cast<XPointer>(this)))
    --outstanding_;
  return outstanding_ > 0;
}

void SharedImage::WaitIdle() {
  if (!Busy()) return;
  // This image's own completions, while the server may go on with puts of
  // other images; a put that failed (its window gone meanwhile) reports
  // nothing, so after a while a round trip settles it: requests run in
  // order, and once it is back every put has been copied.
  Display* d = Dpy(connection_->display_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (Busy()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, int(left.count()) + 1) <= 0) break;
  }
  if (outstanding_ == 0) return;
  XSync(d, False);
  Busy();
  outstanding_ = 0;
}

void UseDetectableAutoRepeat(void* display) {
  if (!display) return;
  Bool supported = False;
  XkbSetDetectableAutoRepeat(Dpy(display), True, &supported);
}

namespace {

TGrabResult GrabResult(int status) {
  switch (status) {
    case GrabSuccess:
      return TGrabResult::Grabbed;
    case AlreadyGrabbed:
    case GrabFrozen:
      return TGrabResult::Busy;
    case GrabNotViewable:
      return TGrabResult::NotViewable;
    default:
      return TGrabResult::Failed;
  }
}

// An XImage of the default visual holding a bitmap's pixels.
XImage* ImageOf(Display* d, const TBitmap32& bitmap) {
  Visual* visual = DefaultVisual(d, DefaultScreen(d));
  const unsigned depth = unsigned(DefaultDepth(d, DefaultScreen(d)));
  XImage* image = XCreateImage(d, visual, depth, ZPixmap, 0, nullptr, unsigned(bitmap.Width()),
                               unsigned(bitmap.Height()), 32, 0);
  if (!image) return nullptr;
  image->data =
      static_cast<char*>(std::malloc(size_t(image->bytes_per_line) * size_t(bitmap.Height())));
  if (!image->data) {
    XDestroyImage(image);
    return nullptr;
  }
  // Each channel scaled to the visual's mask (24-bit true colour: as it is).
  const auto channel = [](uint8_t value, unsigned long mask) {
    if (!mask) return 0ul;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    return ((unsigned long)(value) * (mask >> shift) / 255) << shift;
  };
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
      const TColor32 c = bitmap.Pixel(x, y);
      XPutPixel(image, x, y,
                channel(RedOf(c), visual->red_mask) | channel(GreenOf(c), visual->green_mask) |
                    channel(BlueOf(c), visual->blue_mask));
    }
  return image;
}

Pixmap RootPixmapProperty(Display* d, const char* name) {
  const std::vector<unsigned long> ids =
      ReadList(d, DefaultRootWindow(d), XInternAtom(d, name, False), XA_PIXMAP);
  return ids.empty() ? Pixmap(0) : Pixmap(ids[0]);
}

}  // namespace

bool SetRootBackground(const TBitmap32& image, std::string* error) {
  const auto fail = [&](const std::string& what) {
    if (error) *error = what;
    return false;
  };
  if (image.Empty()) return fail("no picture for the root window");
  Display* d = XOpenDisplay(nullptr);
  if (!d) return fail("cannot open the display for the root window's background");
  // Errors are answers here, whether or not the process has its handler yet.
  const XErrorHandler previous = XSetErrorHandler(IgnoreError);
  const Window root = DefaultRootWindow(d);
  bool ok = false;
  {
    ErrorTrap trap(d);
    const Pixmap pixmap = XCreatePixmap(d, root, unsigned(image.Width()), unsigned(image.Height()),
                                        unsigned(DefaultDepth(d, DefaultScreen(d))));
    XImage* ximage = ImageOf(d, image);
    if (ximage) {
      const GC gc = XCreateGC(d, pixmap, 0, nullptr);
      XPutImage(d, pixmap, gc, ximage, 0, 0, 0, 0, unsigned(image.Width()),
                unsigned(image.Height()));
      XFreeGC(d, gc);
      XDestroyImage(ximage);
    }
    if (!ximage || trap.Failed()) {
      XFreePixmap(d, pixmap);
      trap.Failed();
    } else {
      // The pixmap the last setter kept alive goes with its client's resources.
      const Pixmap old = RootPixmapProperty(d, "ESETROOT_PMAP_ID");
      if (old && old == RootPixmapProperty(d, "_XROOTPMAP_ID")) XKillClient(d, old);
      for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"})
        XChangeProperty(d, root, XInternAtom(d, name, False), XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&pixmap), 1);
      XSetWindowBackgroundPixmap(d, root, pixmap);
      XClearWindow(d, root);
      // The pixmap stays when this connection closes.
      XSetCloseDownMode(d, RetainPermanent);
      ok = !trap.Failed();
    }
  }
  XCloseDisplay(d);
  XSetErrorHandler(previous);
  return ok || fail("the X server did not take the picture for the root window");
}

TGrabResult GrabKeyboard(void* display, TWindowId window) {
  Display* d = Dpy(display);
  if (!d || !window) return TGrabResult::Failed;
  ErrorTrap trap(d);
  const TGrabResult r = GrabResult(
      XGrabKeyboard(d, Window(window), True, GrabModeAsync, GrabModeAsync, CurrentTime));
  return trap.Failed() ? TGrabResult::Failed : r;
}

TGrabResult GrabPointer(void* display, TWindowId window) {
  Display* d = Dpy(display);
  if (!d || !window) return TGrabResult::Failed;
  ErrorTrap trap(d);
  const TGrabResult r = GrabResult(XGrabPointer(
      d, Window(window), True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
      GrabModeAsync, GrabModeAsync, None, None, CurrentTime));
  return trap.Failed() ? TGrabResult::Failed : r;
}

void UngrabInput(void* display) {
  Display* d = Dpy(display);
  if (!d) return;
  XUngrabPointer(d, CurrentTime);
  XUngrabKeyboard(d, CurrentTime);
  XFlush(d);
}

}  // namespace saver::x11
