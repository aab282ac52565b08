// Icons (ico, and cursors in the same container): the largest image of the
// directory, stored as PNG or as a bitmap with an AND mask.
#include <algorithm>
#include <cstring>
#include <vector>

#include "payload/decoders/decoders.h"

namespace saver {
namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kDirectoryHeaderSize = 6;
constexpr size_t kEntrySize = 16;

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t BigU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct TIconImage {
  uint64_t offset = 0, size = 0;
  uint64_t width = 0, height = 0, bpp = 0;  // each below 2^32: the area fits
  bool png = false;
};

// The directory's sizes stop at 256 (stored as 0); the image's own header
// tells the real size when it is there.
TIconImage ReadEntry(const TPictureSource& source, const uint8_t* entry) {
  TIconImage image;
  image.width = entry[0] ? entry[0] : 256;
  image.height = entry[1] ? entry[1] : 256;
  image.bpp = U16(entry + 6);
  image.size = U32(entry + 8);
  image.offset = U32(entry + 12);
  const uint64_t size = source.Size();
  if (image.offset > size || image.size > size - image.offset) return image;
  uint8_t p[24] = {};
  const size_t got = source.ReadAt(image.offset, p, size_t(std::min<uint64_t>(image.size, 24)));
  if (got >= 24 && std::memcmp(p, kPngSignature, 8) == 0) {
    image.png = true;
    image.width = BigU32(p + 16);
    image.height = BigU32(p + 20);
    image.bpp = 32;
  } else if (got >= 16 && U32(p) >= 40) {
    // Negative sizes are damage; they rank last and fail when decoded.
    image.width = uint64_t(std::max<int32_t>(0, int32_t(U32(p + 4))));
    image.height = uint64_t(std::max<int32_t>(0, int32_t(U32(p + 8)) / 2));
    image.bpp = U16(p + 14);
  }
  return image;
}

}  // namespace

TBitmap32 DecodeIco(const TPictureSource& source, const TDecodeHint& hint) {
  uint8_t header[kDirectoryHeaderSize] = {};
  if (source.ReadAt(0, header, kDirectoryHeaderSize) != kDirectoryHeaderSize ||
      U16(header) != 0 || (U16(header + 2) != 1 && U16(header + 2) != 2))
    throw DecodeError("icon: bad signature");
  const size_t count = U16(header + 4);
  if (count == 0) throw DecodeError("icon: no images");
  // At most 65535 entries of 16 bytes: the directory is read whole.
  std::vector<uint8_t> directory(count * kEntrySize);
  if (source.ReadAt(kDirectoryHeaderSize, directory.data(), directory.size()) != directory.size())
    throw DecodeError("icon: file is truncated");

  TIconImage best;
  for (size_t i = 0; i < count; ++i) {
    TIconImage image = ReadEntry(source, directory.data() + i * kEntrySize);
    uint64_t area = image.width * image.height, bestArea = best.width * best.height;
    if (i == 0 || area > bestArea || (area == bestArea && image.bpp > best.bpp)) best = image;
  }
  if (best.offset > source.Size() || best.size > source.Size() - best.offset)
    throw DecodeError("icon: file is truncated");
  const TSubSource image(source, best.offset, best.size);
  if (best.png) return DecodePng(image, hint);
  return DecodeIconDib(image, hint);
}

}  // namespace saver
