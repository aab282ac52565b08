#include "sample_pictures.h"

#include <cmath>
#include <cstdlib>

namespace saver {

TBitmap32 SampleOutgoingPicture(int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  const double cx = w / 2.0, cy = h / 2.0, r = std::min(w, h) / 3.0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const double t = double(x + y) / double(w + h);
      const bool disc = std::hypot(x + 0.5 - cx, y + 0.5 - cy) < r;
      const uint8_t red = uint8_t(200 + 55 * t), green = uint8_t(90 + 120 * t);
      b.SetPixel(x, y, disc ? Color32(120, 40, 20) : Color32(red, green, 40));
    }
  return b;
}

TBitmap32 SampleIncomingPicture(int32_t w, int32_t h) {
  TBitmap32 b(w, h);
  const int32_t cell = std::max(4, std::min(w, h) / 6);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool dark = ((x / cell) + (y / cell)) % 2 == 0;
      // A white cross along the diagonals shows where each part came from.
      const bool cross = std::abs(x * h - y * w) < 2 * std::max(w, h) ||
                         std::abs((w - 1 - x) * h - y * w) < 2 * std::max(w, h);
      const uint8_t blue = uint8_t(150 + 100 * y / std::max(h, 1));
      b.SetPixel(x, y, cross  ? Color32(250, 250, 250)
                       : dark ? Color32(20, 60, blue)
                              : Color32(60, 160, blue));
    }
  return b;
}

}  // namespace saver
