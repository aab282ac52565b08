#include "platform/window_system.h"

#include <atomic>
#include <stdexcept>

namespace saver {

namespace {
std::atomic<IWindowSystem*> g_system{nullptr};
}  // namespace

IWindowSystem& WindowSystem() {
  IWindowSystem* s = g_system.load();
  if (!s) throw std::logic_error("no window system: the desktop backend has not started");
  return *s;
}

void SetWindowSystem(IWindowSystem* system) { g_system.store(system); }

}  // namespace saver
