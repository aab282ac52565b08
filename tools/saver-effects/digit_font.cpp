#include "digit_font.h"

#include <string>

namespace saver {

namespace {

// Rows of each digit, three bits each, the high bit at the left.
constexpr uint8_t kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

}  // namespace

int32_t DrawNumber(TBitmap32& bitmap, int32_t x, int32_t y, int32_t n, TColor32 color,
                   int32_t scale) {
  const std::string text = std::to_string(n);
  int32_t cx = x;
  for (char ch : text) {
    if (ch >= '0' && ch <= '9') {
      const uint8_t* rows = kDigits[ch - '0'];
      for (int32_t row = 0; row < 5; ++row)
        for (int32_t col = 0; col < 3; ++col)
          if (rows[row] & (4 >> col))
            for (int32_t dy = 0; dy < scale; ++dy)
              for (int32_t dx = 0; dx < scale; ++dx)
                bitmap.SetPixelS(cx + col * scale + dx, y + row * scale + dy, color);
    } else {  // the minus sign
      for (int32_t col = 0; col < 3 * scale; ++col)
        for (int32_t dy = 0; dy < scale; ++dy)
          bitmap.SetPixelS(cx + col, y + 2 * scale + dy, color);
    }
    cx += 4 * scale;
  }
  return cx - x;
}

}  // namespace saver
