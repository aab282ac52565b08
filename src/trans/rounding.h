#pragma once
// Conversions of effect geometry from reals to pixels. Round is to nearest
// with halves to even; values are clamped to the 32-bit range first so that
// far-away pieces stay well defined.
#include <cmath>
#include <cstdint>

namespace saver {

inline int32_t ClampToInt32(double v) {
  if (!(v == v)) return 0;  // NaN
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return int32_t(v);
}

// Round to nearest, halves to even (0.5 -> 0, 1.5 -> 2, -2.5 -> -2).
inline int32_t RoundEven(double v) { return ClampToInt32(std::nearbyint(v)); }
inline int32_t Ceil(double v) { return ClampToInt32(std::ceil(v)); }
inline int32_t Trunc(double v) { return ClampToInt32(std::trunc(v)); }

}  // namespace saver
