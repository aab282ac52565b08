#include "payload/format/binary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace saver {

BinaryFile::BinaryFile(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "open " + path);
}

BinaryFile::~BinaryFile() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t BinaryFile::Size() const {
  struct stat st;
  if (::fstat(fd_, &st) != 0) throw PayloadError("cannot get the file size");
  return st.st_size;
}

void BinaryFile::Seek(int64_t position) {
  if (position < 0 || position > Size())
    throw PayloadError("seek to " + std::to_string(position) + " outside the file");
  pos_ = position;
}

void BinaryFile::ReadExact(void* dest, size_t count) {
  auto* out = static_cast<uint8_t*>(dest);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd_, out + done, count - done, pos_ + int64_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw PayloadError("short read at " + std::to_string(pos_ + int64_t(done)));
    done += size_t(n);
  }
  pos_ += int64_t(count);
}

std::vector<uint8_t> BinaryFile::ReadBytes(size_t count) {
  // The count is checked against the file before anything is reserved.
  if (int64_t(count) > Size() - pos_) throw PayloadError("read past the end of the file");
  std::vector<uint8_t> bytes(count);
  ReadExact(bytes.data(), count);
  return bytes;
}

std::string BinaryFile::ReadShortText() {
  uint8_t len[2];
  ReadExact(len, 2);
  size_t count = size_t(len[0]) | size_t(len[1]) << 8;
  std::string text(count, '\0');
  if (count) ReadExact(text.data(), count);
  return text;
}

}  // namespace saver
