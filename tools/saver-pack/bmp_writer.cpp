#include "bmp_writer.h"

namespace saver {
namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeBmp32(const TBitmap32& bitmap) {
  constexpr size_t kHeaders = 14 + 40;
  const size_t width = size_t(bitmap.Width()), height = size_t(bitmap.Height());
  std::vector<uint8_t> out(kHeaders + width * height * 4, 0);
  // File header.
  out[0] = 'B';
  out[1] = 'M';
  Put32(out, 2, uint32_t(out.size()));
  Put32(out, 10, kHeaders);
  // Info header: positive height means bottom-up rows; 2835 px/m is 72 dpi.
  Put32(out, 14, 40);
  Put32(out, 18, uint32_t(width));
  Put32(out, 22, uint32_t(height));
  Put16(out, 26, 1);
  Put16(out, 28, 32);
  Put32(out, 34, uint32_t(width * height * 4));
  Put32(out, 38, 2835);
  Put32(out, 42, 2835);
  size_t at = kHeaders;
  for (size_t y = height; y-- > 0;) {
    const TColor32* row = bitmap.ScanLine(int32_t(y));
    for (size_t x = 0; x < width; ++x, at += 4) Put32(out, at, row[x]);
  }
  return out;
}

}  // namespace saver
