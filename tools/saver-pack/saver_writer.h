#pragma once
// Builds a saver file: a copy of the player followed by the payload.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "pack_error.h"
#include "pack_job.h"

namespace saver {

// Receives one line of text.
using TPackProgress = std::function<void(const std::string& line)>;

// How far a pack has come: Items of ItemCount done in the phase ("checking"
// the pictures, then "packing" every item), Bytes of ByteCount read.
struct TPackStep {
  const char* Phase = "";
  size_t Items = 0, ItemCount = 0;
  int64_t Bytes = 0, ByteCount = 0;
};

// What a pack tells as it goes; any member may be empty.
struct TPackReport {
  TPackProgress Item;  // one line per item stored, the preview, the summary
  TPackProgress Note;  // what the user should know: a picture trimmed to turn it
  std::function<void(const TPackStep&)> Step;
};

struct TPackResult {
  int64_t FileSize = 0;
  int64_t PayloadSize = 0;
  size_t Videos = 0;  // picture items that play as video
};

// Items larger than this are never compressed in auto mode: they are
// streamed instead of being read whole into memory.
inline constexpr int64_t kAutoCompressLimit = 256ll << 20;

// Auto mode compresses an item only when that saves at least this share
// (percent): JPEGs save about 1% and would pay the inflating at every showing.
inline constexpr int64_t kAutoCompressSavingPercent = 5;

// Writes job.Output through a temporary file that replaces it at the end,
// made executable. Checks every input file (CheckPackJob) and makes the
// preview before writing anything; leaves no file behind when it fails.
TPackResult PackSaver(const TPackJob& job, const TPackReport& report);

}  // namespace saver
