#pragma once
// The desktop backend's entry points, free of toolkit types. Implemented by
// the saver_platform_qt library.
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/text.h"

namespace saver {

// Creates the process's application object when there is none yet; text
// drawing and screen access need it. The application made here uses the
// offscreen platform unless QT_QPA_PLATFORM says otherwise, so tools and
// tests run without a display; the player creates its own beforehand.
void EnsureGuiApplication();

// The desktop implementations of the text, screen and message box services.
ITextRenderer& DesktopTextRenderer();
IScreen& DesktopScreen();
IMessageBox& DesktopMessageBox();

// EnsureGuiApplication, then makes TextRenderer() and Screen() the desktop ones.
void UseDesktopTextAndScreen();

}  // namespace saver
