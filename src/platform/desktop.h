#pragma once
// The desktop backend's entry points, free of toolkit types. Implemented by
// the saver_platform_qt library (Qt 6 Widgets, with Xlib for what Qt does
// not offer).
#include <functional>
#include <string>

#include "graphics/rect.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"

namespace saver {

// Starts the player's desktop: makes the application object on the real
// display and installs the desktop window system, UI thread, screen, text
// renderer and message box as the process's services, then sets the C
// numeric locale (the media library needs it). argc and argv must outlive
// the process's use of the desktop (they are main's).
//
// The display is X11 (QT_QPA_PLATFORM unset or "xcb"; Wayland sessions run
// through XWayland). When it cannot be opened this returns false with one
// line in *error, e.g. `no display (DISPLAY is not set)` or
// `cannot open the display ":7"`, and nothing is started. With
// QT_QPA_PLATFORM=offscreen it starts without X; the X11-only features
// (embedding, grabs, other programs' windows) then do nothing.
bool StartDesktop(int& argc, char** argv, std::string* error);

// What runs when the connection to the display breaks (the X server went
// away): fn runs once (the player removes its temporary files there), then
// the process writes `saver: the display connection was lost` to standard
// error and ends with status 1, without a core dump.
void SetDisplayLostHandler(std::function<void()> fn);

// Runs fn on the UI thread when the process is asked to end (SIGTERM,
// SIGINT, SIGHUP, or SIGPIPE from writing into a pipe nobody reads),
// instead of ending at once: the player tidies up and closes. fn runs in
// whatever event loop turns next, a modal box's included.
void SetTerminationHandler(std::function<void()> fn);

// Whether the display StartDesktop would start on can be opened; when it
// cannot, *error gets the line StartDesktop would give. True without X11.
bool CheckDisplay(std::string* error);

// The root window of the display (0 without an X11 display): the window a
// screen-saver daemon may hand over for drawing on the whole screen. Like
// NativeWindowRect it may be asked before StartDesktop.
TWindowHandle RootWindowHandle();

// The desktop implementations of the platform services. They need the
// application object (StartDesktop or EnsureGuiApplication).
IWindowSystem& DesktopWindowSystem();
IUiThread& DesktopUiThread();
ITextRenderer& DesktopTextRenderer();
// The screen the main window is on (the primary one before there is a main
// window), in device pixels.
IScreen& DesktopScreen();
IMessageBox& DesktopMessageBox();

// A native window's rectangle relative to its parent (the root window for
// top-level windows), in device pixels; empty when the id names no window
// or there is no X11 display. For drawing full-size into a foreign window,
// and for checking, before the desktop starts, that a window exists.
TRect NativeWindowRect(TWindowHandle window);

// For tools and tests: creates the process's application object when there
// is none yet; text drawing and screen access need it. The application made
// here uses the offscreen platform unless QT_QPA_PLATFORM says otherwise, so
// it runs without a display; the player uses StartDesktop instead.
void EnsureGuiApplication();

// EnsureGuiApplication, then makes TextRenderer() and Screen() the desktop ones.
void UseDesktopTextAndScreen();

}  // namespace saver
