#pragma once
// Where a decoder reads a picture file from: bytes in memory or a file read as
// the decoder goes, so that memory follows the picture's size and not the
// file's. Reads are positional; TSourceReader adds a buffered cursor for the
// libraries that read front to back, TSourceWindow a cached window for our own
// decoders that pick fields and rows at offsets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace saver {

class TPictureSource {
 public:
  virtual ~TPictureSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to count bytes from offset into out; fewer only at the end.
  // Raises DecodeError when the bytes cannot be read.
  virtual size_t ReadAt(uint64_t offset, void* out, size_t count) const = 0;
  // The whole content when it already lies in memory (nullptr otherwise).
  virtual const uint8_t* Data() const { return nullptr; }
};

class TMemorySource final : public TPictureSource {
 public:
  TMemorySource(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* out, size_t count) const override;
  const uint8_t* Data() const override { return data_; }

 private:
  const uint8_t* data_;
  size_t size_;
};

// A regular file, opened read-only; raises DecodeError when it cannot be
// opened or is not a regular file.
class TFileSource final : public TPictureSource {
 public:
  explicit TFileSource(const std::string& path);
  ~TFileSource() override;
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* out, size_t count) const override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
  std::string path_;
};

// The part [offset, offset + size) of another source, cut to its end.
class TSubSource final : public TPictureSource {
 public:
  TSubSource(const TPictureSource& base, uint64_t offset, uint64_t size);
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* out, size_t count) const override;
  const uint8_t* Data() const override;

 private:
  const TPictureSource& base_;
  uint64_t offset_, size_;
};

// A front-to-back cursor with its own buffer (the libraries ask for a few
// bytes at a time).
class TSourceReader {
 public:
  explicit TSourceReader(const TPictureSource& source, size_t bufferSize = 65536);
  // Copies up to count bytes; fewer only at the end of the source.
  size_t Read(void* out, size_t count);
  // The next bytes without copying: at most count, at least 1 unless at the end.
  size_t Next(const uint8_t** bytes, size_t count);
  void Skip(uint64_t count) { Seek(Tell() + count); }
  void Seek(uint64_t position);
  uint64_t Tell() const { return position_; }
  const TPictureSource& Source() const { return source_; }

 private:
  void Fill();

  const TPictureSource& source_;
  std::vector<uint8_t> buffer_;
  uint64_t bufferStart_ = 0;  // source offset of buffer_[0]
  size_t bufferLength_ = 0;
  uint64_t position_ = 0;
};

// Random access by offset through a cached window of the source: the bytes of
// [offset, offset + count) as one pointer, valid until the next call. A range
// that is not all inside the source raises DecodeError with the message given
// at construction.
class TSourceWindow {
 public:
  TSourceWindow(const TPictureSource& source, std::string truncatedMessage,
                size_t windowSize = 65536);
  uint64_t Size() const { return size_; }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  void Need(uint64_t offset, uint64_t count) const;
  const uint8_t* At(uint64_t offset, size_t count);
  uint8_t U8(uint64_t o) { return At(o, 1)[0]; }
  uint16_t U16(uint64_t o) {
    const uint8_t* p = At(o, 2);
    return uint16_t(p[0] | p[1] << 8);
  }
  uint32_t U32(uint64_t o) {
    const uint8_t* p = At(o, 4);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  int32_t S32(uint64_t o) { return int32_t(U32(o)); }

 private:
  const TPictureSource& source_;
  std::string truncated_;
  uint64_t size_;
  const uint8_t* memory_;  // the whole source when it lies in memory
  size_t windowSize_;
  std::vector<uint8_t> window_;
  uint64_t windowStart_ = 0;
  size_t windowLength_ = 0;
};

}  // namespace saver
