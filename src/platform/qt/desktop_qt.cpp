#include <QApplication>
#include <QCoreApplication>

#include "platform/desktop.h"

namespace saver {

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  // The application object keeps references to argc and argv for its lifetime.
  static int argc = 1;
  static char name[] = "saver";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives until the process ends
}

void UseDesktopTextAndScreen() {
  EnsureGuiApplication();
  SetTextRenderer(&DesktopTextRenderer());
  SetScreen(&DesktopScreen());
}

}  // namespace saver
