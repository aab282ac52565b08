#pragma once
// Builds a saver file: a copy of the player followed by the payload.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "pack_error.h"
#include "pack_job.h"

namespace saver {

// Receives one line per packed item.
using TPackProgress = std::function<void(const std::string& line)>;

struct TPackResult {
  int64_t FileSize = 0;
  int64_t PayloadSize = 0;
  size_t Videos = 0;  // picture items that play as video
};

// Items larger than this are never compressed in auto mode: they are
// streamed instead of being read whole into memory.
inline constexpr int64_t kAutoCompressLimit = 256ll << 20;

// Writes job.Output (through a temporary file that replaces it at the end,
// made executable). Checks every input file before writing anything.
TPackResult PackSaver(const TPackJob& job, const TPackProgress& progress);

}  // namespace saver
