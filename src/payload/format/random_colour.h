#pragma once
// The random draws of the payload: the reader's random background colours and
// the composer's random positions share one generator through TRandomInt.
#include <cstdint>
#include <functional>

namespace saver {

// Uniform random integer in [0, range) for range > 0.
using TRandomInt = std::function<int32_t(int32_t range)>;

// A colour with red, green and blue each uniform in 0-255, as 0x00BBGGRR.
inline int32_t RandomColorRef(const TRandomInt& random) {
  const int32_t r = random(256), g = random(256), b = random(256);
  return r | (g << 8) | (b << 16);
}

}  // namespace saver
