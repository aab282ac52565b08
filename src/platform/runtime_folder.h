#pragma once
// The runtime folder (XDG_RUNTIME_DIR) the toolkit and the media library
// need. Screen-saver daemons, su and cron start programs without one, or
// with another user's; the toolkit then warns on every start.
#include <string>

namespace saver {

// Gives the process a runtime folder it may use, before the toolkit starts:
// XDG_RUNTIME_DIR when it names a folder of this user that only this user
// can enter (mode 0700); else the session's own /run/user/<uid> when it is
// one (where the sound server and the compositor are); else a private
// folder of the saver's own (PrivateRuntimeFolder). A relative
// WAYLAND_DISPLAY is made absolute first, so that the compositor is still
// found when the folder changes. Returns the folder in use; empty when not
// even the private one can be made (the variable is then left as it was).
std::string EnsureRuntimeFolder();

// Whether path names a folder that XDG_RUNTIME_DIR may name for this
// user: a directory (not a link) owned by the effective user, mode 0700.
bool UsableRuntimeFolder(const std::string& path);

}  // namespace saver
