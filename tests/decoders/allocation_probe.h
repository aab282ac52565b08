#pragma once
// Records the largest single operator-new request made in this test binary,
// so tests can check that a decoder refused a picture before reserving its
// pixels.
#include <cstddef>

namespace saver::testing {

void ResetLargestAllocation();
size_t LargestAllocation();

}  // namespace saver::testing
