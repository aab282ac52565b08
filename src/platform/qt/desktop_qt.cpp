#include <QApplication>
#include <QCoreApplication>
#include <cstdlib>

#include "platform/desktop.h"

namespace saver {

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  // The application object keeps references to argc and argv for its lifetime.
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  // Whoever gets here draws into memory only (the player makes its own
  // application on the real display), so it must not need a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  new QApplication(argc, argv);  // lives until the process ends
}

void UseDesktopTextAndScreen() {
  EnsureGuiApplication();
  SetTextRenderer(&DesktopTextRenderer());
  SetScreen(&DesktopScreen());
}

}  // namespace saver
