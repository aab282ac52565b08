#pragma once
// The desktop backend's entry points, free of toolkit types. Implemented by
// the saver_platform_qt library (Qt 6 Widgets, with Xlib for what Qt does
// not offer).
#include <functional>
#include <string>

#include "graphics/rect.h"
#include "platform/display_choice.h"
#include "platform/message.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/text.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"

namespace saver {

// Starts the player's desktop: makes the application object on the display
// ChooseDisplay chose (it chooses for TDisplayNeed::OwnWindows when it was
// not asked) and installs the desktop window system, UI thread, screen,
// text renderer and message box as the process's services, then sets the C
// numeric locale (the media library needs it). argc and argv must outlive
// the process's use of the desktop (they are main's).
//
// When the display cannot be opened or the toolkit's platform cannot start
// this returns false with one line in *error, e.g. `no display (DISPLAY is
// not set)`, `cannot open the display ":7"` or `cannot connect to the
// Wayland display "wayland-9"`, and nothing is started; a platform that
// fails inside the toolkit ends the process with one such line on standard
// error and status 1. With QT_QPA_PLATFORM=offscreen it starts without a
// display; the X11-only features (embedding, grabs, other programs'
// windows) then do nothing, as on Wayland.
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

// Chooses the display and the toolkit's platform for what the windows need
// (see ChooseDisplayPlatform) and checks that it opens, after giving the
// process a runtime folder (EnsureRuntimeFolder). True with the log line
// that says the choice in *reason; false with one line in *error when no
// platform can start.
bool ChooseDisplay(TDisplayNeed need, std::string* reason, std::string* error);

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
