#include "decoders/allocation_probe.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace saver::testing {
namespace {
std::atomic<size_t> largest{0};
}

void ResetLargestAllocation() { largest = 0; }
size_t LargestAllocation() { return largest; }

}  // namespace saver::testing

void* operator new(std::size_t size) {
  size_t seen = saver::testing::largest.load();
  while (size > seen && !saver::testing::largest.compare_exchange_weak(seen, size)) {
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
