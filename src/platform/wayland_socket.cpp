#include "platform/wayland_socket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace saver {

std::string WaylandSocketPath() {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (!name || !*name) return {};
  if (name[0] == '/') return name;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return {};
  std::string path = runtime;
  if (path.back() != '/') path += '/';
  return path + name;
}

bool CheckWaylandDisplay(std::string* error) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (!name || !*name) {
    if (error) *error = "no Wayland display (WAYLAND_DISPLAY is not set)";
    return false;
  }
  const std::string path = WaylandSocketPath();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  bool connected = false;
  if (!path.empty() && path.size() < sizeof address.sun_path) {
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    connected = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address),
                                     sizeof address) == 0;
    if (fd >= 0) ::close(fd);
  }
  if (!connected && error) {
    *error = std::string("cannot connect to the Wayland display \"") + name + "\"";
    if (path.empty() && name[0] != '/') *error += " (XDG_RUNTIME_DIR is not set)";
  }
  return connected;
}

}  // namespace saver
