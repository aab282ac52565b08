#pragma once
// Values chosen when the saver was built (CMake cache variables).

#ifndef SAVER_INFO_URL
#error "SAVER_INFO_URL must name the information address opened by F1"
#endif

namespace saver {

// The information address the full-screen saver opens when F1 is pressed.
inline constexpr char kInfoAddress[] = SAVER_INFO_URL;

}  // namespace saver
