#include "saver_file.h"

#include <unistd.h>

#include <algorithm>

#include "pack_error.h"
#include "partial_file.h"

namespace saver {

namespace {

std::FILE* OpenDuplicate(int fd) {
  const int copy = ::dup(fd);
  if (copy < 0) return nullptr;
  std::FILE* f = ::fdopen(copy, "wb");
  if (!f) ::close(copy);
  return f;
}

}  // namespace

TSaverFile::TSaverFile(const TPartialFile& partial)
    : path_(partial.Destination().string()),
      file_(OpenDuplicate(partial.Descriptor()), &std::fclose) {
  if (!file_) throw PackError("cannot write " + path_ + ": " + ErrnoText());
}

void TSaverFile::Write(const void* data, size_t size) {
  if (size && std::fwrite(data, 1, size, file_.get()) != size)
    throw PackError("cannot write " + path_ + ": " + ErrnoText());
  position_ += int64_t(size);
}

void TSaverFile::Copy(std::FILE* in, const std::string& inPath, int64_t length) {
  std::vector<uint8_t> buffer(512 * 1024);
  while (length > 0) {
    const size_t chunk = size_t(std::min<int64_t>(length, int64_t(buffer.size())));
    if (std::fread(buffer.data(), 1, chunk, in) != chunk)
      throw PackError("cannot read " + inPath + ": " +
                      (std::ferror(in) ? ErrnoText() : "file shrank while packing"));
    Write(buffer.data(), chunk);
    length -= int64_t(chunk);
  }
}

void TSaverFile::Truncate(int64_t at) {
  if (std::fflush(file_.get()) != 0 || ::ftruncate(fileno(file_.get()), at) != 0 ||
      fseeko(file_.get(), at, SEEK_SET) != 0)
    throw PackError("cannot write " + path_ + ": " + ErrnoText());
  position_ = at;
}

void TSaverFile::Patch(int64_t at, const std::vector<uint8_t>& bytes) {
  if (fseeko(file_.get(), at, SEEK_SET) != 0 ||
      (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) ||
      fseeko(file_.get(), 0, SEEK_END) != 0)
    throw PackError("cannot write " + path_ + ": " + ErrnoText());
}

void TSaverFile::Close() {
  std::FILE* f = file_.release();
  if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) {
    const std::string error = ErrnoText();
    std::fclose(f);
    throw PackError("cannot write " + path_ + ": " + error);
  }
  if (std::fclose(f) != 0) throw PackError("cannot write " + path_ + ": " + ErrnoText());
}

}  // namespace saver
