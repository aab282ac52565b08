#pragma once
// Values chosen when the saver was built (CMake cache variables). They are
// defined in one generated source file, so that a new install prefix
// recompiles that file alone.

namespace saver {

// The information address the full-screen saver opens when F1 is pressed.
extern const char kInfoAddress[];
// The project's page, opened by the settings dialog's link.
extern const char kProjectAddress[];
// The folder of the password libraries unless $SAVER_SYSTEM_DIR names another.
extern const char kBuiltInSystemFolder[];

}  // namespace saver
