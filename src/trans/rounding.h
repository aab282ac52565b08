#pragma once
// Conversions of effect geometry from reals to pixels. The effect tables are
// evaluated in extended precision (long double), so a product such as
// 0.1 * 5 * 77 keeps the excess that decides which way it rounds. Round is to
// nearest with halves to even; values are clamped to the 32-bit range first
// so that far-away pieces stay well defined.
#include <cmath>
#include <cstdint>

namespace saver {

inline int32_t ClampToInt32(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0L) return INT32_MAX;
  if (v <= -2147483648.0L) return INT32_MIN;
  return int32_t(v);
}

// Round to nearest, halves to even (0.5 -> 0, 1.5 -> 2, -2.5 -> -2).
inline int32_t RoundEven(long double v) { return ClampToInt32(std::nearbyint(v)); }
inline int32_t Ceil(long double v) { return ClampToInt32(std::ceil(v)); }
inline int32_t Trunc(long double v) { return ClampToInt32(std::trunc(v)); }

}  // namespace saver
