#pragma once
// Per-user folders. Every result ends with '/', so names are appended to it.
#include <string>

namespace saver {

// The private temporary folder for item files: $TMPDIR (or /tmp) +
// "/saver-<uid>/", created with mode 0700 without following links. An
// existing folder must be a real directory owned by this user; a mode that
// lets others in is narrowed to 0700. Raises std::runtime_error otherwise.
std::string TempFolder();

// A private folder of the saver's own for the toolkit's runtime files, for
// sessions that give none: $TMPDIR (or /tmp) + "/saver-<uid>-runtime/",
// made and checked like the temporary folder.
std::string PrivateRuntimeFolder();

// The saver's per-user data folder (where the wallpaper file goes):
// $XDG_DATA_HOME (or ~/.local/share) + "/saver/", created when missing.
std::string WindowsFolder();

// The saver's per-user configuration folder (the settings store lives here):
// $XDG_CONFIG_HOME (or ~/.config) + "/saver/", created when missing.
std::string ConfigFolder();

}  // namespace saver
