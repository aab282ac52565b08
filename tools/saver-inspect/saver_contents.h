#pragma once
// A saver file's payload as stored: trailer, text fields and item tables,
// read with the player's own reader but without its run-time choices.
#include <string>

#include "payload/format/payload_data.h"

namespace saver {

struct TSaverContents {
  // The tables are complete (no PlayOneRandom pick) and Trailer holds the
  // stored values (no random colours, FileSizeSlot as stored).
  PayloadData Data;
};

// Raises std::runtime_error with the reader's reason when the file holds no
// valid payload, std::system_error when it cannot be opened.
TSaverContents ReadSaverContents(const std::string& path);

}  // namespace saver
