#include "platform/mpv/mpv_library.h"

#include <dlfcn.h>

#include <initializer_list>
#include <type_traits>

namespace saver {

namespace {

void DropSoundLibraryMessage(const char*, int, const char*, int, const char*, ...) {}

// The sound library the media library brings writes each failure to
// standard error, a dozen lines for every track on a machine without sound;
// the player says that once itself (no sound device).
void QuietSoundLibrary() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_NOLOAD);
  if (!alsa) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler")))
    set(&DropSoundLibraryMessage);
  dlclose(alsa);  // the media library keeps it loaded
}

const TMpvLibrary* Load() {
  void* lib = nullptr;
  for (const char* name : {"libmpv.so.2", "libmpv.so.1", "libmpv.so"})
    if ((lib = dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
  if (!lib) return nullptr;
  static TMpvLibrary api;
  bool complete = true;
  auto get = [&](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
    complete = complete && fn;
  };
  get(api.create, "mpv_create");
  get(api.initialize, "mpv_initialize");
  get(api.terminate_destroy, "mpv_terminate_destroy");
  get(api.set_option_string, "mpv_set_option_string");
  get(api.set_property, "mpv_set_property");
  get(api.set_property_string, "mpv_set_property_string");
  get(api.get_property, "mpv_get_property");
  get(api.get_property_string, "mpv_get_property_string");
  get(api.command, "mpv_command");
  get(api.command_ret, "mpv_command_ret");
  get(api.wait_event, "mpv_wait_event");
  get(api.set_wakeup_callback, "mpv_set_wakeup_callback");
  get(api.error_string, "mpv_error_string");
  get(api.free, "mpv_free");
  get(api.free_node_contents, "mpv_free_node_contents");
  // The library stays loaded for the life of the process.
  if (!complete) return nullptr;
  QuietSoundLibrary();
  return &api;
}

}  // namespace

const TMpvLibrary* MpvLibrary() {
  static const TMpvLibrary* const library = Load();
  return library;
}

}  // namespace saver
