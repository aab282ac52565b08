#pragma once
// Where a Wayland compositor listens, and whether it answers: checked before
// the toolkit tries, which ends the process when it cannot connect.
#include <string>

namespace saver {

// The socket WAYLAND_DISPLAY names: the name itself when it is an absolute
// path, else the name in XDG_RUNTIME_DIR. Empty when WAYLAND_DISPLAY is
// not set, or is relative while XDG_RUNTIME_DIR is not set.
std::string WaylandSocketPath();

// Whether the compositor WAYLAND_DISPLAY names accepts a connection. On
// failure *error gets one line: `no Wayland display (WAYLAND_DISPLAY is not
// set)` or `cannot connect to the Wayland display "wayland-9"`.
bool CheckWaylandDisplay(std::string* error);

}  // namespace saver
