#pragma once
// The saver file being written: appended front to back, with table slots
// patched once the items behind them are stored.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "input_file.h"

namespace saver {

class TPartialFile;

class TSaverFile {
 public:
  // Writes into the partial file; errors (PackError) name its destination,
  // the file the user asked for.
  explicit TSaverFile(const TPartialFile& partial);

  int64_t Position() const { return position_; }
  void Write(const void* data, size_t size);
  void Write(const std::vector<uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
  // Streams length bytes of an open input file through a 512 KiB buffer.
  void Copy(std::FILE* in, const std::string& inPath, int64_t length);
  // Drops everything from position at on, and writes on from there.
  void Truncate(int64_t at);
  // Writes bytes at an earlier position and returns to the end.
  void Patch(int64_t at, const std::vector<uint8_t>& bytes);
  // Flushes to the disk and closes; the file is complete only after this.
  void Close();

 private:
  std::string path_;
  TFile file_;
  int64_t position_ = 0;
};

}  // namespace saver
