#include "platform/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>

#include "platform/paths.h"
#include "platform/wayland_socket.h"

namespace saver {

bool UsableRuntimeFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::geteuid() && (st.st_mode & 07777) == 0700;
}

std::string EnsureRuntimeFolder() {
  const char* given = std::getenv("XDG_RUNTIME_DIR");
  if (given && UsableRuntimeFolder(given)) return given;
  std::string folder = "/run/user/" + std::to_string(::geteuid());
  if (!UsableRuntimeFolder(folder)) {
    try {
      folder = PrivateRuntimeFolder();
      folder.pop_back();  // the variable names it without the slash
    } catch (const std::exception&) {
      return {};
    }
  }
  // The compositor's socket stays where the old folder had it.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (wayland && *wayland && wayland[0] != '/') {
    const std::string socket = WaylandSocketPath();
    if (!socket.empty()) setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
  }
  setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  return folder;
}

}  // namespace saver
