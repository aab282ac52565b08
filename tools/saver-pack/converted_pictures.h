#pragma once
// The pictures a pack converts (picture_import.h), kept from the check that
// converts them to the writing that stores them: in an anonymous temporary
// file, so that memory holds one picture at a time and nothing is left
// behind however saver-pack ends.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "input_file.h"
#include "picture_import.h"

namespace saver {

class TConvertedPictures {
 public:
  struct TEntry {
    std::string Ext, How;  // as TImportedPicture has them
    int64_t Offset = 0, Length = 0;
  };

  TConvertedPictures() : spool_(nullptr, &std::fclose) {}

  // Keeps the picture converted from the file at path (lossless: as a mask).
  // Throws PackError when the temporary file cannot be written.
  void Add(const std::string& path, bool lossless, const TImportedPicture& picture);
  // The picture converted from path, or nullptr.
  const TEntry* Find(const std::string& path, bool lossless = false) const;
  // Its bytes, a JPEG or PNG file.
  std::vector<uint8_t> Bytes(const TEntry& entry) const;

 private:
  TFile spool_;
  int64_t end_ = 0;
  std::map<std::string, TEntry> entries_;
};

}  // namespace saver
