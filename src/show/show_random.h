#pragma once
// The show's random numbers: one generator for the order, the random
// positions and the random backgrounds, drawn the same way wherever it or a
// copy of it is used, so that a copy continues exactly as the original would.
#include <cstdint>
#include <random>

namespace saver {

using TShowRandom = std::mt19937;

// Uniform in [0, range); 0 when range <= 0.
inline int32_t RandomBelow(TShowRandom& generator, int32_t range) {
  if (range <= 0) return 0;
  return std::uniform_int_distribution<int32_t>(0, range - 1)(generator);
}

}  // namespace saver
