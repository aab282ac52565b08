#include "payload/decoders/bmp_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace saver {
namespace {

constexpr size_t kHeaders = 14 + 40;

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

// The file header and BITMAPINFOHEADER for an uncompressed bitmap of
// pixelBytes bytes: positive height means bottom-up rows; 2835 px/m is 72 dpi.
std::vector<uint8_t> Headers(size_t width, size_t height, uint16_t bitsPerPixel,
                             size_t pixelBytes) {
  std::vector<uint8_t> out(kHeaders + pixelBytes, 0);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, uint32_t(out.size()));
  Put32(out, 10, kHeaders);
  Put32(out, 14, 40);
  Put32(out, 18, uint32_t(width));
  Put32(out, 22, uint32_t(height));
  Put16(out, 26, 1);
  Put16(out, 28, bitsPerPixel);
  Put32(out, 34, uint32_t(pixelBytes));
  Put32(out, 38, 2835);
  Put32(out, 42, 2835);
  return out;
}

// A colour channel drawn with this alpha over black, rounded to nearest.
uint8_t OverBlack(uint8_t channel, uint8_t alpha) {
  return uint8_t((unsigned(channel) * alpha + 127) / 255);
}

std::runtime_error WriteError(const std::string& path, int error) {
  return std::runtime_error("cannot write " + path + ": " + std::strerror(error));
}

// 0, or the errno of the write that failed.
int WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += size_t(n);
  }
  return 0;
}

}  // namespace

std::vector<uint8_t> EncodeBmp32(const TBitmap32& bitmap) {
  const size_t width = size_t(bitmap.Width()), height = size_t(bitmap.Height());
  std::vector<uint8_t> out = Headers(width, height, 32, width * height * 4);
  size_t at = kHeaders;
  for (size_t y = height; y-- > 0;) {
    const TColor32* row = bitmap.ScanLine(int32_t(y));
    for (size_t x = 0; x < width; ++x, at += 4) Put32(out, at, row[x]);
  }
  return out;
}

std::vector<uint8_t> EncodeBmp24(const TBitmap32& picture) {
  if (picture.Empty()) throw std::runtime_error("BMP: cannot write an empty picture");
  const size_t width = size_t(picture.Width()), height = size_t(picture.Height());
  const size_t stride = (width * 3 + 3) & ~size_t(3);
  // Every size field of the format is 32 bits wide.
  if (stride > (UINT32_MAX - kHeaders) / height)
    throw std::runtime_error("BMP: the picture is too large for a bitmap file");
  std::vector<uint8_t> out = Headers(width, height, 24, stride * height);
  for (size_t y = 0; y < height; ++y) {
    const TColor32* row = picture.ScanLine(int32_t(height - 1 - y));
    uint8_t* dst = out.data() + kHeaders + y * stride;
    for (size_t x = 0; x < width; ++x, dst += 3) {
      const TColor32 c = row[x];
      const uint8_t a = AlphaOf(c);
      dst[0] = OverBlack(BlueOf(c), a);
      dst[1] = OverBlack(GreenOf(c), a);
      dst[2] = OverBlack(RedOf(c), a);
    }
  }
  return out;
}

void WriteBmpFile(const TBitmap32& picture, const std::string& path) {
  const std::vector<uint8_t> bytes = EncodeBmp24(picture);
  const std::string temp = path + ".tmp";
  // A leftover from an interrupted write goes first, so the new file is
  // created fresh (O_EXCL) and never written through a link planted there.
  ::unlink(temp.c_str());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) throw WriteError(path, errno);
  int error = WriteAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    throw WriteError(path, error);
  }
}

}  // namespace saver
