#pragma once
// A file opened read-only for exact reads: reading fewer bytes than asked,
// or seeking outside the file, raises PayloadError.
#include <cstdint>
#include <string>
#include <vector>

#include "payload/format/records.h"

namespace saver {

class BinaryFile {
 public:
  // Raises std::system_error when the file cannot be opened.
  explicit BinaryFile(const std::string& path);
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  int64_t Size() const;  // asked from the open file each time
  int64_t Position() const { return pos_; }
  void Seek(int64_t position);  // 0 ≤ position ≤ Size()
  void ReadExact(void* dest, size_t count);
  std::vector<uint8_t> ReadBytes(size_t count);
  // A length-prefixed string: u16 count, then the bytes.
  std::string ReadShortText();

 private:
  int fd_ = -1;
  int64_t pos_ = 0;
};

}  // namespace saver
