#pragma once
// saver-inspect --compose: renders one composed show frame of a saver to a PNG file.

namespace saver {

// Runs the --compose command with the whole command line; returns the exit status.
int RunCompose(int argc, char** argv);

}  // namespace saver
