#include "graphics/pixel_kernels.h"

#include <atomic>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <vector>

// The paths: GCC on x86-64 compiles the loops three times with the target options of each
// (and at -O3, so that they are vectorised in -O2 builds too); other compilers build the
// portable path alone.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SAVER_KERNEL_PATHS 1
#else
#define SAVER_KERNEL_PATHS 0
#endif
#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace saver {

namespace kernels_default {
#if SAVER_KERNEL_PATHS
#pragma GCC push_options
#pragma GCC optimize("O3")
#endif
#define SAVER_KERNELS_NAME "default"
#include "graphics/pixel_kernels_body.inc"
#undef SAVER_KERNELS_NAME
#if SAVER_KERNEL_PATHS
#pragma GCC pop_options
#endif
}  // namespace kernels_default

#if SAVER_KERNEL_PATHS

namespace kernels_avx2 {
#pragma GCC push_options
#pragma GCC target("avx2,bmi,bmi2,fma,popcnt")
#pragma GCC optimize("O3")
#define SAVER_KERNELS_NAME "avx2"
#define SAVER_KERNELS_AVX2 1
#include "graphics/pixel_kernels_body.inc"
#undef SAVER_KERNELS_AVX2
#undef SAVER_KERNELS_NAME
#pragma GCC pop_options
}  // namespace kernels_avx2

namespace kernels_avx512 {
#pragma GCC push_options
// GCC 12 takes the undefined first operand of its own shift intrinsics for an
// uninitialised value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC target("avx512f,avx512bw,avx512vl,avx512dq,avx2,bmi,bmi2,fma,popcnt")
#pragma GCC optimize("O3")
#define SAVER_KERNELS_NAME "avx512"
#define SAVER_KERNELS_AVX512 1
#include "graphics/pixel_kernels_body.inc"
#undef SAVER_KERNELS_AVX512
#undef SAVER_KERNELS_NAME
#pragma GCC diagnostic pop
#pragma GCC pop_options
}  // namespace kernels_avx512

#endif

namespace {

// The sets this processor runs, portable first, best last.
std::vector<const TPixelKernels*> DetectKernels() {
  std::vector<const TPixelKernels*> sets{&kernels_default::kKernels};
#if SAVER_KERNEL_PATHS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
      __builtin_cpu_supports("fma"))
    sets.push_back(&kernels_avx2::kKernels);
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
      sets.size() == 2)
    sets.push_back(&kernels_avx512::kKernels);
#endif
  return sets;
}

const std::vector<const TPixelKernels*>& Available() {
  static const std::vector<const TPixelKernels*> sets = DetectKernels();
  return sets;
}

const TPixelKernels* Named(const char* name) {
  if (!name) return nullptr;
  for (const TPixelKernels* k : Available())
    if (std::strcmp(k->Name, name) == 0) return k;
  return nullptr;
}

std::atomic<const TPixelKernels*> g_selected{nullptr};

const TPixelKernels* InitialKernels() {
  if (const TPixelKernels* chosen = Named(std::getenv("SAVER_PIXEL_PATH"))) return chosen;
  return Available().back();
}

}  // namespace

const TPixelKernels& PixelKernels() {
  const TPixelKernels* k = g_selected.load(std::memory_order_acquire);
  if (k) return *k;
  static const TPixelKernels* const initial = InitialKernels();
  const TPixelKernels* expected = nullptr;
  g_selected.compare_exchange_strong(expected, initial, std::memory_order_acq_rel);
  return *g_selected.load(std::memory_order_acquire);
}

std::span<const TPixelKernels* const> AvailablePixelKernels() { return Available(); }

bool SelectPixelKernels(const char* name) {
  const TPixelKernels* k = Named(name);
  if (!k) return false;
  g_selected.store(k, std::memory_order_release);
  return true;
}

}  // namespace saver
