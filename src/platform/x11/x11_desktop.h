#pragma once
// The Xlib side of the desktop backend. It keeps a private connection to the
// X server for what the toolkit does not offer: watching foreign windows
// (the preview parent), focusing our own windows, window-manager states,
// the shared-memory images that picture controls are painted from, and
// noticing that the server went away. Input grabs must run on the
// toolkit's own connection, whose Display* is passed in as void*.
//
// No Xlib or toolkit type crosses this header: windows are X11 ids.
// Every call is made from the UI thread.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "graphics/bitmap32.h"
#include "graphics/rect.h"

namespace saver::x11 {

using TWindowId = uint64_t;
class SharedImage;

// Checks that the display named by DISPLAY can be opened, before a toolkit
// tries (and aborts when it cannot). On failure *error gets one line:
// `no display (DISPLAY is not set)` or `cannot open the display ":7"`.
bool CheckDisplay(std::string* error);

// Runs fn when any X connection of the process breaks (the server died or
// the link dropped). fn must not return. Installing it also makes X protocol
// errors non-fatal for the whole process: a request naming a window that no
// longer exists fails quietly instead of ending the program.
void SetConnectionLostHandler(void (*fn)());

class Connection {
 public:
  // Opens the display named by DISPLAY; nullptr (and *error) when it cannot.
  static std::unique_ptr<Connection> Open(std::string* error);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // The connection's socket: readable when events arrive.
  int Fd() const;
  // Handles every event that has arrived: call it when Fd is readable and
  // before the event loop blocks (Xlib may already hold events in memory).
  void ProcessEvents();
  bool HasQueuedEvents() const;
  // True when the server has hung up on this connection.
  bool Broken() const;

  // A window's rectangle relative to its parent (x, y, width, height);
  // false when id names no window.
  bool Geometry(TWindowId window, TRect* rect);
  // The same in root window coordinates: where the window is on the screen.
  bool ScreenGeometry(TWindowId window, TRect* rect);
  // Follows a foreign window: resized runs with its new rectangle whenever
  // it changes, destroyed runs once when it goes away. False when id names
  // no window (nothing is watched then). One watch per window.
  bool Watch(TWindowId window, std::function<void(const TRect&)> resized,
             std::function<void()> destroyed);
  void Unwatch(TWindowId window);

  // Makes a window the active one: through the window manager when there is
  // one, else by raising it and giving it the input focus.
  void Activate(TWindowId window);
  TWindowId ActiveWindow();
  // Keeps a top-level window off the task bar and the pager.
  void SkipTaskbar(TWindowId window);
  // Where the pointer is on the screen.
  TPoint PointerPosition();
  // The unshifted key symbol of a key code (first group, first level).
  uint32_t KeySymbol(uint32_t keycode);
  bool HasWindowManager();
  // The root window of the default screen.
  TWindowId Root();

 private:
  friend class SharedImage;
  // Completion reports of shared-image puts read along with other events.
  void Completed(unsigned long segment);

  struct TWatch {
    std::function<void(const TRect&)> resized;
    std::function<void()> destroyed;
  };
  explicit Connection(void* display);
  unsigned long Intern(const char* name);
  bool Exists(TWindowId window);

  void* display_;
  std::map<TWindowId, TWatch> watches_;
  std::map<std::string, unsigned long> atoms_;
  std::map<unsigned long, SharedImage*> images_;  // by shared memory segment
};

// Pixels in memory shared with the X server, which copies them into a window
// straight from there: what a picture control on an X11 display shows.
// Pixels are 32-bit words 0xAARRGGBB (alpha ignored), rows packed.
class SharedImage {
 public:
  // nullptr when the server cannot share memory with us (a remote display)
  // or its screen is not 24-bit true colour.
  static std::unique_ptr<SharedImage> Create(Connection& connection, int32_t width,
                                             int32_t height);
  ~SharedImage();
  SharedImage(const SharedImage&) = delete;
  SharedImage& operator=(const SharedImage&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  uint32_t* Row(int32_t y) { return pixels_ + size_t(y) * size_t(width_); }
  const uint32_t* Row(int32_t y) const { return pixels_ + size_t(y) * size_t(width_); }

  // Has the server copy rect of the image to the same place in window; it
  // reads the pixels later, so they must not change while Busy.
  void Put(TWindowId window, const TRect& rect);
  // Whether the server may still be reading; does not wait.
  bool Busy();
  // Returns once the server has read everything put so far.
  void WaitIdle();

 private:
  friend class Connection;
  SharedImage() = default;
  Connection* connection_ = nullptr;
  void* image_ = nullptr;  // XImage*
  void* gc_ = nullptr;     // GC
  int shmId_ = -1;
  unsigned long shmSeg_ = 0;
  uint32_t* pixels_ = nullptr;
  int32_t width_ = 0, height_ = 0;
  int outstanding_ = 0;  // puts the server has not reported done
};

// Makes a held key repeat as presses alone on the toolkit's connection: the
// server then sends no release between the repeats (which a client can only
// guess apart from a real release).
void UseDetectableAutoRepeat(void* display);

// Makes image the background of the root window of the display named by
// DISPLAY, as the X11 wallpaper setters do: a pixmap that outlives this
// process, named by the root's _XROOTPMAP_ID and ESETROOT_PMAP_ID (which
// programs drawing the desktop read). The pixmap a setter left there before
// is freed. Uses a connection of its own. False, with one line in *error,
// when the server did not take it.
bool SetRootBackground(const TBitmap32& image, std::string* error);

enum class TGrabResult { Grabbed, Busy, NotViewable, Failed };

// Grab the keyboard or the pointer for window on the toolkit's connection
// (owner events on: our own windows keep getting their events normally).
// Busy: another client holds it.
TGrabResult GrabKeyboard(void* display, TWindowId window);
TGrabResult GrabPointer(void* display, TWindowId window);
// Lets go of both (what is not held stays as it is).
void UngrabInput(void* display);

}  // namespace saver::x11
