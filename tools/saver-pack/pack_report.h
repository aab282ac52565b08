#pragma once
// What a pack tells as it goes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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
  TPackProgress Warning;  // what may be wrong: music and video that went unchecked
  std::function<void(const TPackStep&)> Step;
};

}  // namespace saver
