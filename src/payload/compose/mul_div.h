#pragma once
// a * b / c in 64 bits, rounded to the nearest integer with halves away
// from zero; -1 when c is 0 (the classic raster helper's contract).
#include <cstdint>

namespace saver {

constexpr int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t n = int64_t(a) * b;
  int64_t d = c;
  if (d < 0) n = -n, d = -d;
  const int64_t q = (n >= 0 ? n + d / 2 : n - d / 2) / d;
  return int32_t(q);
}

}  // namespace saver
