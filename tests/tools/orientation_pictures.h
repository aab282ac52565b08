#pragma once
// Pictures for the tests of orientation: a JPEG tagged with an EXIF
// orientation, and the quarter turn a viewer makes for orientation 6.
#include <cstdint>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver::testing {

inline TBitmap32 RotateClockwise(const TBitmap32& b) {
  TBitmap32 out(b.Height(), b.Width());
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) out.ScanLine(x)[b.Height() - 1 - y] = b.ScanLine(y)[x];
  return out;
}

// The JPEG with an EXIF block (in the given byte order) holding only the
// orientation tag, put right after the start of the file.
inline std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t>& jpeg, int orientation, bool bigEndian = false) {
  auto u16 = [&](std::vector<uint8_t>& b, int v) {
    b.push_back(uint8_t(bigEndian ? v >> 8 : v));
    b.push_back(uint8_t(bigEndian ? v : v >> 8));
  };
  std::vector<uint8_t> tiff = bigEndian ? std::vector<uint8_t>{'M', 'M'} : std::vector<uint8_t>{'I', 'I'};
  u16(tiff, 42);
  u16(tiff, bigEndian ? 0 : 8), u16(tiff, bigEndian ? 8 : 0);  // IFD0 at 8
  u16(tiff, 1);                                                 // one entry
  u16(tiff, 0x0112), u16(tiff, 3), u16(tiff, bigEndian ? 0 : 1), u16(tiff, bigEndian ? 1 : 0);
  u16(tiff, orientation), u16(tiff, 0);
  u16(tiff, 0), u16(tiff, 0);  // no next IFD
  std::vector<uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t((app1.size() + 2) >> 8), uint8_t(app1.size() + 2)};
  out.insert(out.end(), app1.begin(), app1.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

}  // namespace saver::testing
