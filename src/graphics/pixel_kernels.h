#pragma once
// The vectorised pixel loops behind blending, stretching, filling and the
// fades. One source of every loop is compiled once per instruction-set path
// (AVX-512, AVX2 and the portable x86-64 / generic one); which set runs is
// decided once, here, for every caller: the best the processor offers, or the
// path named by the environment variable SAVER_PIXEL_PATH ("default", "avx2",
// "avx512") when the processor has it. Every path gives bit-identical results.
#include <cstddef>
#include <cstdint>
#include <span>

namespace saver {

using TColor32 = uint32_t;

// Stretching works in two passes. The horizontal one mixes the two samples of
// each output column of one source row into two planar rows of 16-bit lanes,
// weighted in 256ths: rb[x] = B | R << 16, ga[x] = G | A << 16 (each lane at
// most 255 x 256). The vertical one mixes two such rows into pixels.
struct TPixelKernels {
  const char* Name;
  // n pixels := color.
  void (*Fill)(TColor32* pixels, size_t n, TColor32 color);
  // Every pixel's alpha := alpha.
  void (*SetAlpha)(TColor32* pixels, size_t n, uint8_t alpha);
  // Source over destination weighted by source alpha x master / 255 (see bitmap32.cpp).
  void (*Blend)(TColor32* dst, const TColor32* src, size_t n, uint32_t master);
  // The horizontal pass over one source row: output column x mixes src[i0[x]] and src[i1[x]]
  // with weight w[x] (0..255) for the second. Every index lies in [0, limit) of src, and
  // i0 and i1 do not decrease along the row.
  void (*MixColumns)(const TColor32* src, int32_t limit, const int32_t* i0, const int32_t* i1,
                     const uint32_t* w, size_t n, uint32_t* rb, uint32_t* ga);
  // The vertical pass: (top x (256 - w) + bottom x w) / 65536, rounded, per lane; stream
  // as for Crossfade.
  void (*MixRows)(const uint32_t* topRb, const uint32_t* topGa, const uint32_t* bottomRb,
                  const uint32_t* bottomGa, uint32_t w, size_t n, TColor32* out, bool stream);
  // out := from x (255 - alpha) / 255 + to x alpha / 255 per colour channel, opaque.
  // With stream the results go out with non-temporal stores (see CopyStream).
  void (*Crossfade)(TColor32* out, const TColor32* from, const TColor32* to, size_t n,
                    uint32_t alpha, bool stream);
  // out := pixel x alpha / 255 per colour channel (over black), opaque; stream as above.
  void (*Dim)(TColor32* out, const TColor32* pixels, size_t n, uint32_t alpha, bool stream);
  // memcpy and fill with non-temporal stores: for results of many megabytes that are not
  // read again at once, they save reading every destination line into the caches and keep
  // what the caches hold. Fenced: the pixels are visible to other threads on return.
  void (*CopyStream)(TColor32* dst, const TColor32* src, size_t n);
  void (*FillStream)(TColor32* dst, size_t n, TColor32 color);
};

// Whether writing `bytes` into a picture of `pictureBytes` pays with non-temporal stores:
// when the picture is far larger than the caches, its lines are not in them, and each line
// written would first be read from memory; a write of a few hundred kilobytes makes the
// fence after it negligible. Smaller pictures stay in the caches between frames.
constexpr bool StreamingPays(size_t bytes, size_t pictureBytes) {
  return pictureBytes >= (size_t(24) << 20) && bytes >= (size_t(256) << 10);
}

// The kernels every pixel loop of the program runs with.
const TPixelKernels& PixelKernels();

// Every kernel set this processor can run, the portable one first; for tests
// that compare the paths and benchmarks that measure them.
std::span<const TPixelKernels* const> AvailablePixelKernels();

// Makes the set named `name` the one PixelKernels() returns; false (and no
// change) when this processor cannot run it. Call while no pixel loop runs.
bool SelectPixelKernels(const char* name);

}  // namespace saver
