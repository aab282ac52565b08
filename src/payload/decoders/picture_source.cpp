#include "payload/decoders/picture_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "payload/decoders/picture_decoder.h"

namespace saver {

size_t TMemorySource::ReadAt(uint64_t offset, void* out, size_t count) const {
  if (offset >= size_) return 0;
  const size_t n = size_t(std::min<uint64_t>(count, size_ - offset));
  std::memcpy(out, data_ + offset, n);
  return n;
}

TFileSource::TFileSource(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw DecodeError("cannot open " + path);
  struct stat st;
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw DecodeError("cannot open " + path);
  }
  size_ = uint64_t(st.st_size);
}

TFileSource::~TFileSource() {
  if (fd_ >= 0) ::close(fd_);
}

size_t TFileSource::ReadAt(uint64_t offset, void* out, size_t count) const {
  if (offset >= size_) return 0;
  count = size_t(std::min<uint64_t>(count, size_ - offset));
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, static_cast<uint8_t*>(out) + done, count - done,
                              off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw DecodeError("cannot read " + path_);
    if (n == 0) break;  // the file shrank under us: the rest reads as missing
    done += size_t(n);
  }
  return done;
}

TSubSource::TSubSource(const TPictureSource& base, uint64_t offset, uint64_t size)
    : base_(base),
      offset_(std::min(offset, base.Size())),
      size_(std::min(size, base.Size() - offset_)) {}

size_t TSubSource::ReadAt(uint64_t offset, void* out, size_t count) const {
  if (offset >= size_) return 0;
  return base_.ReadAt(offset_ + offset, out, size_t(std::min<uint64_t>(count, size_ - offset)));
}

const uint8_t* TSubSource::Data() const {
  const uint8_t* data = base_.Data();
  return data ? data + offset_ : nullptr;
}

TSourceReader::TSourceReader(const TPictureSource& source, size_t bufferSize)
    : source_(source), buffer_(source.Data() ? 0 : bufferSize) {}

void TSourceReader::Fill() {
  bufferStart_ = position_;
  bufferLength_ = source_.ReadAt(position_, buffer_.data(), buffer_.size());
}

size_t TSourceReader::Next(const uint8_t** bytes, size_t count) {
  const uint64_t size = source_.Size();
  if (position_ >= size || count == 0) return 0;
  count = size_t(std::min<uint64_t>(count, size - position_));
  if (const uint8_t* data = source_.Data()) {
    *bytes = data + position_;
  } else {
    if (position_ < bufferStart_ || position_ >= bufferStart_ + bufferLength_) Fill();
    if (bufferLength_ == 0) return 0;
    const size_t at = size_t(position_ - bufferStart_);
    count = std::min(count, bufferLength_ - at);
    *bytes = buffer_.data() + at;
  }
  position_ += count;
  return count;
}

size_t TSourceReader::Read(void* out, size_t count) {
  size_t done = 0;
  while (done < count) {
    const uint8_t* bytes = nullptr;
    const size_t n = Next(&bytes, count - done);
    if (n == 0) break;
    std::memcpy(static_cast<uint8_t*>(out) + done, bytes, n);
    done += n;
  }
  return done;
}

void TSourceReader::Seek(uint64_t position) { position_ = std::min(position, source_.Size()); }

TSourceWindow::TSourceWindow(const TPictureSource& source, std::string truncatedMessage,
                             size_t windowSize)
    : source_(source),
      truncated_(std::move(truncatedMessage)),
      size_(source.Size()),
      memory_(source.Data()),
      windowSize_(windowSize) {}

void TSourceWindow::Need(uint64_t offset, uint64_t count) const {
  if (!Has(offset, count)) throw DecodeError(truncated_);
}

const uint8_t* TSourceWindow::At(uint64_t offset, size_t count) {
  Need(offset, count);
  if (memory_) return memory_ + offset;
  if (offset >= windowStart_ && offset - windowStart_ + count <= windowLength_)
    return window_.data() + (offset - windowStart_);
  const size_t want = size_t(std::min<uint64_t>(std::max(windowSize_, count), size_ - offset));
  if (window_.size() < want) window_.resize(want);
  windowStart_ = offset;
  windowLength_ = source_.ReadAt(offset, window_.data(), want);
  if (windowLength_ < count) throw DecodeError(truncated_);
  return window_.data();
}

}  // namespace saver
