#include "platform/libraries.h"

#include <dlfcn.h>

#include <cstdlib>

#include "platform/build_config.h"

namespace saver {

// An empty path or a null handle would make dlopen and dlsym reach into the
// saver's own program instead of failing, so both are refused here.
void* SharedObjectLibraries::Load(const std::string& path) {
  if (path.empty()) return nullptr;
  return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* SharedObjectLibraries::Symbol(void* library, const std::string& name) {
  if (!library || name.empty()) return nullptr;
  return ::dlsym(library, name.c_str());
}

void SharedObjectLibraries::Free(void* library) {
  if (library) ::dlclose(library);
}

std::string SystemFolder() {
  const char* env = std::getenv("SAVER_SYSTEM_DIR");
  std::string folder = (env && *env) ? env : kBuiltInSystemFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

namespace {
ILibraries* g_libraries = nullptr;
}  // namespace

ILibraries& Libraries() {
  if (g_libraries) return *g_libraries;
  static SharedObjectLibraries fallback;
  return fallback;
}

void SetLibraries(ILibraries* libraries) { g_libraries = libraries; }

}  // namespace saver
