#pragma once
// Builds a saver file: a copy of the player followed by the payload.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pack_error.h"
#include "pack_job.h"
#include "pack_report.h"

namespace saver {

struct TPackResult {
  int64_t FileSize = 0;
  int64_t PayloadSize = 0;
  size_t Videos = 0;  // picture items that play as video
};

// Items larger than this are never compressed in auto mode: such items are
// videos, for which deflating takes long and saves nothing.
inline constexpr int64_t kAutoCompressLimit = 256ll << 20;

// Auto mode compresses an item only when that saves at least this share
// (percent): JPEGs save about 1% and would pay the inflating at every showing.
inline constexpr int64_t kAutoCompressSavingPercent = 5;

// Writes job.Output through a temporary file that replaces it at the end,
// made executable. Checks every input file (CheckPackJob) and makes the
// preview before writing anything; leaves no file behind when it fails.
TPackResult PackSaver(const TPackJob& job, const TPackReport& report);

}  // namespace saver
