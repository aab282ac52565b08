#pragma once
// Values chosen when the saver was built (CMake cache variables).

#ifndef SAVER_INFO_URL
#error "SAVER_INFO_URL must name the information address opened by F1"
#endif
#ifndef SAVER_PROJECT_URL
#error "SAVER_PROJECT_URL must name the project's page"
#endif

namespace saver {

// The information address the full-screen saver opens when F1 is pressed.
inline constexpr char kInfoAddress[] = SAVER_INFO_URL;
// The project's page, opened by the settings dialog's link.
inline constexpr char kProjectAddress[] = SAVER_PROJECT_URL;

}  // namespace saver
