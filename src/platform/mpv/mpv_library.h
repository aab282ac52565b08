#pragma once
// The media library, loaded at run time: linking it would put its couple of
// hundred dependencies on the path of every start of the player (about a
// tenth of a second of symbol lookups before the first picture). The player
// loads it on a thread of its own while it starts, and a player without it
// plays nothing instead of not starting at all.
#include <mpv/client.h>

namespace saver {

struct TMpvLibrary {
  decltype(&::mpv_create) create;
  decltype(&::mpv_initialize) initialize;
  decltype(&::mpv_terminate_destroy) terminate_destroy;
  decltype(&::mpv_set_option_string) set_option_string;
  decltype(&::mpv_set_property) set_property;
  decltype(&::mpv_set_property_string) set_property_string;
  decltype(&::mpv_get_property) get_property;
  decltype(&::mpv_get_property_string) get_property_string;
  decltype(&::mpv_command) command;
  decltype(&::mpv_command_ret) command_ret;
  decltype(&::mpv_wait_event) wait_event;
  decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
  decltype(&::mpv_error_string) error_string;
  decltype(&::mpv_free) free;
  decltype(&::mpv_free_node_contents) free_node_contents;
};

// The library's functions, loaded at the first call (later calls wait for
// it); nullptr when the library or one of its functions is missing.
// Loading takes the dynamic loader's lock: threads cannot be made meanwhile.
const TMpvLibrary* MpvLibrary();

}  // namespace saver
