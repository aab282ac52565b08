#include "payload/format/extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

#include "payload/format/log_line.h"
#include "payload/format/records.h"
#include "platform/cp1252.h"
#include "platform/paths.h"

namespace saver {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

Fd OpenSource(const std::string& path) { return Fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }

// Replaces dest: an old file (or a planted link) is removed, then a fresh
// file is created exclusively.
Fd CreateDest(const std::string& path) {
  ::unlink(path.c_str());
  return Fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
}

// Reads up to count bytes at offset; fewer only at the end of the file.
size_t ReadAt(int fd, uint8_t* buf, size_t count, int64_t offset) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, buf + done, count - done, offset + int64_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::system_error(errno, std::generic_category(), "read");
    if (n == 0) break;
    done += size_t(n);
  }
  return done;
}

void WriteAll(int fd, const uint8_t* buf, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, buf, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::system_error(errno, std::generic_category(), "write");
    buf += n;
    count -= size_t(n);
  }
}

int64_t FileSize(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) throw std::system_error(errno, std::generic_category(), "stat");
  return st.st_size;
}

// The folder part of path ("." when it has none).
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool FitsInFolder(const std::string& folder, int64_t size) {
  if (size < 0) return false;
  struct statvfs fs;
  if (::statvfs(folder.c_str(), &fs) != 0) return true;  // unknown: the writes will tell
  const uint64_t unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
  const uint64_t available = uint64_t(fs.f_bavail) * unit;
  // Whatever an item claims, the file system keeps a twentieth of its size
  // (at most 256 MiB) free for everything else.
  const uint64_t reserve = std::min<uint64_t>(uint64_t(fs.f_blocks) * unit / 20, 256ull << 20);
  return available >= reserve && uint64_t(size) <= available - reserve;
}

namespace {

void ExtractPlain(const std::string& source, const std::string& dest, int64_t size,
                  int64_t position) {
  LogLine("Loading from file, Position=" + std::to_string(position) +
          ", Size=" + std::to_string(size));
  try {
    Fd in = OpenSource(source);
    if (!in.ok()) return;
    if (position < 0 || size < 0) return;
    if (!FitsInFolder(FolderOf(dest), size)) {
      LogLine("Item larger than the free space of the temporary folder");
      ::unlink(dest.c_str());  // no file of an earlier item is taken for this one
      return;
    }
    Fd out = CreateDest(dest);
    if (!out.ok()) return;
    // One buffer of at most a chunk; small items need no more than their size.
    std::vector<uint8_t> buffer(size_t(std::min(size, kExtractChunkSize)));
    while (size > 0) {
      size_t chunk = size_t(std::min(size, kExtractChunkSize));
      if (ReadAt(in.get(), buffer.data(), chunk, position) != chunk) return;  // short read
      WriteAll(out.get(), buffer.data(), chunk);
      position += int64_t(chunk);
      size -= int64_t(chunk);
    }
  } catch (...) {
    // A plain copy absorbs its failures; the caller finds what was written.
  }
}

struct InflateStream {
  z_stream z{};
  InflateStream() {
    if (inflateInit(&z) != Z_OK) throw PayloadError("cannot start inflating");
  }
  ~InflateStream() { inflateEnd(&z); }
};

void InflateInto(int in, int out, int64_t size, int64_t packedSize, int64_t position) {
  constexpr size_t kBuffer = 65536;
  std::vector<uint8_t> input(kBuffer), output(kBuffer);
  InflateStream s;
  int64_t inputLeft = packedSize, outputLeft = size;
  int64_t readPos = position;
  while (outputLeft > 0) {
    if (s.z.avail_in == 0) {
      if (inputLeft == 0) throw PayloadError("compressed item is cut off");
      size_t want = size_t(std::min<int64_t>(inputLeft, kBuffer));
      if (ReadAt(in, input.data(), want, readPos) != want)
        throw PayloadError("compressed item past the end of the file");
      readPos += int64_t(want);
      inputLeft -= int64_t(want);
      s.z.next_in = input.data();
      s.z.avail_in = uInt(want);
    }
    size_t room = size_t(std::min<int64_t>(outputLeft, kBuffer));
    s.z.next_out = output.data();
    s.z.avail_out = uInt(room);
    int rc = inflate(&s.z, Z_NO_FLUSH);
    size_t produced = room - s.z.avail_out;
    WriteAll(out, output.data(), produced);
    outputLeft -= int64_t(produced);
    if (rc == Z_STREAM_END) return;  // ended early: a shorter file, no error
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && s.z.avail_in == 0))
      throw PayloadError("damaged compressed item");
  }
}

void ExtractCompressed(const std::string& source, const std::string& dest, int64_t size,
                       int64_t packedSize, int64_t position) {
  Fd in = OpenSource(source);
  if (!in.ok()) throw std::system_error(errno, std::generic_category(), "open " + source);
  LogLine("Loading from compressed stream, Position=" + std::to_string(position) +
          ", Size=" + std::to_string(packedSize) + ", UncompressedSize=" + std::to_string(size));
  int64_t fileSize = FileSize(in.get());
  if (position < 0 || packedSize < 0 || size < 0 || position > fileSize ||
      packedSize > fileSize - position)
    throw PayloadError("compressed item outside the file");
  // Refused before anything is written: an item claiming more than the
  // folder's file system can hold would fill it.
  if (!FitsInFolder(FolderOf(dest), size)) {
    ::unlink(dest.c_str());
    throw PayloadError("compressed item larger than the free space of the temporary folder");
  }
  Fd out = CreateDest(dest);
  if (!out.ok()) throw std::system_error(errno, std::generic_category(), "create " + dest);
  try {
    InflateInto(in.get(), out.get(), size, packedSize, position);
  } catch (...) {
    ::unlink(dest.c_str());
    throw;
  }
  LogLine("Baga :(");
}

}  // namespace

void ExtractItem(const std::string& source, const std::string& dest, bool compressed,
                 int64_t size, int64_t packedSize, int64_t position) {
  if (compressed)
    ExtractCompressed(source, dest, size, packedSize, position);
  else
    ExtractPlain(source, dest, size, position);
}

bool IsSafeExtension(const std::string& ext) {
  if (ext.find("..") != std::string::npos) return false;
  for (char c : ext) {
    uint8_t b = uint8_t(c);
    if (b < 0x20 || b == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string TempItemPath(const std::string& prefix, const std::string& ext) {
  if (!IsSafeExtension(ext)) throw PayloadError("unsafe item extension");
  return TempFolder() + prefix + Cp1252ToUtf8(ext);
}

}  // namespace saver
