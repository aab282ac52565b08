#include "converted_pictures.h"

#include "pack_error.h"

namespace saver {
namespace {

std::string Key(const std::string& path, bool lossless) { return (lossless ? "L" : "P") + path; }

}  // namespace

void TConvertedPictures::Add(const std::string& path, bool lossless, const TImportedPicture& picture) {
  // tmpfile makes a file without a name (O_TMPFILE): it goes when it is closed.
  if (!spool_) spool_.reset(std::tmpfile());
  if (!spool_ || fseeko(spool_.get(), end_, SEEK_SET) != 0 ||
      std::fwrite(picture.Bytes.data(), 1, picture.Bytes.size(), spool_.get()) != picture.Bytes.size())
    throw PackError("cannot keep the picture converted from " + path + ": " + ErrnoText());
  entries_[Key(path, lossless)] = {picture.Ext, picture.How, end_, int64_t(picture.Bytes.size())};
  end_ += int64_t(picture.Bytes.size());
}

const TConvertedPictures::TEntry* TConvertedPictures::Find(const std::string& path, bool lossless) const {
  const auto it = entries_.find(Key(path, lossless));
  return it == entries_.end() ? nullptr : &it->second;
}

std::vector<uint8_t> TConvertedPictures::Bytes(const TEntry& entry) const {
  std::vector<uint8_t> bytes(size_t(entry.Length));
  if (std::fflush(spool_.get()) != 0 || fseeko(spool_.get(), entry.Offset, SEEK_SET) != 0 ||
      std::fread(bytes.data(), 1, bytes.size(), spool_.get()) != bytes.size())
    throw PackError("cannot read a converted picture back: " + ErrnoText());
  return bytes;
}

}  // namespace saver
