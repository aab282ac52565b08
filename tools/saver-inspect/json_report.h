#pragma once
// The machine-readable description of a saver (saver-inspect --json).
#include <nlohmann/json.hpp>

#include "saver_contents.h"

namespace saver {

// One object: payload_start, file_size, trailer, text, pictures, masks,
// music. Record fields appear under their own names; numbers stay numbers;
// text fields are converted from Windows-1252 to UTF-8, except Effect,
// which is an array of its byte values.
nlohmann::ordered_json JsonReport(const TSaverContents& contents);

}  // namespace saver
