// What composing one show frame costs at full HD and 4K: the background
// gradients (the nested-shape styles painted top-down, next to the same
// shapes painted bottom-up one after another), and a fitted picture drawn
// plainly and through a mask.
#include <vector>

#include "bench_common.h"
#include "graphics/region.h"
#include "payload/compose/draw_picture.h"
#include "payload/compose/fit_rect.h"
#include "payload/compose/gradient.h"

namespace saver::bench {
namespace {

constexpr TColorRef kFrom = 0x602010, kTo = 0x40D0FF;

void Gradient(benchmark::State& st, TFrameSize size, int32_t style) {
  TBitmap32 b(size.Width, size.Height);
  for (auto _ : st) {
    GradientFill(b, style, kFrom, kTo, b.BoundsRect());
    benchmark::DoNotOptimize(b.Bits());
  }
}

// The rectangles of style 4 filled bottom-up, each one whole.
void PlainRectangles(benchmark::State& st, TFrameSize size) {
  TBitmap32 b(size.Width, size.Height);
  for (auto _ : st) {
    double x1 = 0, x2 = size.Width, y1 = 0, y2 = size.Height;
    const double dx = size.Width / 2.0 / 255, dy = size.Height / 2.0 / 255;
    for (int32_t i = 0; i <= 255; ++i) {
      const TRect r{int32_t(x1), int32_t(y1), int32_t(x2), int32_t(y2)};
      const TColor32 c = GradientStep(kFrom, kTo, i, 255);
      for (int32_t y = r.Top; y < r.Bottom; ++y)
        std::fill(b.ScanLine(y) + r.Left, b.ScanLine(y) + r.Right, c);
      x1 += dx, x2 -= dx, y1 += dy, y2 -= dy;
    }
    benchmark::DoNotOptimize(b.Bits());
  }
}

// The quadrilaterals of style 8 filled bottom-up as regions.
void PlainDiagonal(benchmark::State& st, TFrameSize size) {
  TBitmap32 b(size.Width, size.Height);
  const int32_t W = size.Width, H = size.Height;
  for (auto _ : st) {
    for (int32_t i = 0; i <= 255; ++i) {
      const int32_t k = i * (W / 2) / 255, l = i * (H / 2) / 255;
      FillRegion(b, TRegion::Polygon({{k, l}, {0, H}, {W - k, H - l}, {W, 0}}, TFillMode::Alternate),
                 GradientStep(kFrom, kTo, i, 255));
    }
    benchmark::DoNotOptimize(b.Bits());
  }
}

// A 4:3 photo a little larger than the frame, fitted, without and with a mask.
void FittedPicture(benchmark::State& st, TFrameSize size, bool masked) {
  TBitmap32 picture = NoisePicture(size.Width * 5 / 4, size.Width * 15 / 16);
  TBitmap32 mask = NoisePicture(400, 300, 7);
  TBitmap32 frame = NoisePicture(size.Width, size.Height, 3);
  const TRect dest = FitRect(size.Width, size.Height, picture.Width(), picture.Height());
  for (auto _ : st) {
    DrawPicture(picture, frame, dest, masked ? &mask : nullptr);
    benchmark::DoNotOptimize(frame.Bits());
  }
}

void RegisterAll() {
  for (TFrameSize size : kFrameSizes) {
    for (int32_t style : {0, 1, 3, 4, 5, 6, 7, 8})
      benchmark::RegisterBenchmark(FrameName("Gradient" + std::to_string(style), size).c_str(),
                                   Gradient, size, style)
          ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("PlainRectangles", size).c_str(), PlainRectangles, size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("PlainDiagonal", size).c_str(), PlainDiagonal, size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("FittedPicture", size).c_str(), FittedPicture, size,
                                 false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("MaskedPicture", size).c_str(), FittedPicture, size,
                                 true)
        ->Unit(benchmark::kMillisecond);
  }
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  saver::bench::RegisterAll();
  return saver::bench::RunBenchmarks(argc, argv);
}
