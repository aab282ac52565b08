// Frame operations of TBitmap32 and regions at full HD and 4K: the copy, blend and stretch
// every transition frame is made of, a straightforward per-pixel version of blend and stretch
// for comparison, and the full-screen clip shapes of the region transitions.
#include <algorithm>

#include "bench_common.h"
#include "graphics/region.h"

namespace saver::bench {
namespace {

void CopyFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width, size.Height);
  TBitmap32 dst(size.Width, size.Height);
  for (auto _ : st) {
    src.DrawTo(dst, 0, 0);
    benchmark::DoNotOptimize(dst.Bits());
  }
}

void BlendFrame(benchmark::State& st, TFrameSize size) {
  TBitmap32 src = NoisePicture(size.Width, size.Height, 1);
  TBitmap32 dst = NoisePicture(size.Width, size.Height, 2);
  src.DrawMode = TDrawMode::Blend;
  src.MasterAlpha = 100;
  for (auto _ : st) {
    src.DrawTo(dst, 0, 0);
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// A picture two thirds of the frame scaled up to fill it, as fitted pictures are.
void StretchUpFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width * 2 / 3, size.Height * 2 / 3);
  TBitmap32 dst(size.Width, size.Height);
  for (auto _ : st) {
    src.DrawTo(dst, dst.BoundsRect(), src.BoundsRect());
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// A picture half again as large as the frame scaled down to fit it.
void StretchDownFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width * 3 / 2, size.Height * 3 / 2);
  TBitmap32 dst(size.Width, size.Height);
  for (auto _ : st) {
    src.DrawTo(dst, dst.BoundsRect(), src.BoundsRect());
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// The blend written plainly, one pixel and one channel at a time.
TColor32 PlainBlendPixel(TColor32 src, TColor32 dst, uint32_t master) {
  const uint32_t a = (AlphaOf(src) * master + 127) / 255;
  if (a == 0) return dst;
  if (a == 255) return src;
  const uint32_t ia = 255 - a;
  TColor32 out = (a + (AlphaOf(dst) * ia + 127) / 255) << 24;
  for (int shift = 0; shift < 24; shift += 8)
    out |= ((((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * ia + 127) / 255) << shift;
  return out;
}

void PlainBlendFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width, size.Height, 1);
  TBitmap32 dst = NoisePicture(size.Width, size.Height, 2);
  const size_t n = size_t(size.Width) * size_t(size.Height);
  for (auto _ : st) {
    for (size_t i = 0; i < n; ++i)
      dst.Bits()[i] = PlainBlendPixel(src.Bits()[i], dst.Bits()[i], 100);
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// The stretch written plainly: sample positions in doubles for every output pixel.
void PlainStretchUpFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width * 2 / 3, size.Height * 2 / 3);
  TBitmap32 dst(size.Width, size.Height);
  const double sx = double(src.Width()) / dst.Width(), sy = double(src.Height()) / dst.Height();
  for (auto _ : st) {
    for (int32_t y = 0; y < dst.Height(); ++y) {
      const double fy = std::clamp((y + 0.5) * sy - 0.5, 0.0, double(src.Height() - 1));
      const int32_t y0 = int32_t(fy), y1 = std::min(y0 + 1, src.Height() - 1);
      const uint32_t wy = uint32_t((fy - y0) * 256);
      for (int32_t x = 0; x < dst.Width(); ++x) {
        const double fx = std::clamp((x + 0.5) * sx - 0.5, 0.0, double(src.Width() - 1));
        const int32_t x0 = int32_t(fx), x1 = std::min(x0 + 1, src.Width() - 1);
        const uint32_t wx = uint32_t((fx - x0) * 256);
        TColor32 out = 0;
        for (int sh = 0; sh < 32; sh += 8) {
          auto ch = [&](int32_t px, int32_t py) { return (src.Pixel(px, py) >> sh) & 0xFF; };
          const uint32_t top = ch(x0, y0) * (256 - wx) + ch(x1, y0) * wx;
          const uint32_t bot = ch(x0, y1) * (256 - wx) + ch(x1, y1) * wx;
          out |= ((top * (256 - wy) + bot * wy + 32768) >> 16) << sh;
        }
        dst.SetPixel(x, y, out);
      }
    }
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// Building the ellipse inscribed in the frame and copying a picture through it.
void EllipseCopyFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width, size.Height);
  TBitmap32 dst(size.Width, size.Height);
  for (auto _ : st) {
    const TRegion region = TRegion::Ellipse(dst.BoundsRect());
    CopyThroughRegion(src, dst, region);
    benchmark::DoNotOptimize(dst.Bits());
  }
}

// Four triangles meeting in the centre, united: the region of a frame of the triangle
// transitions.
TRegion FourTriangles(TFrameSize size) {
  const int32_t w = size.Width, h = size.Height, cx = w / 2, cy = h / 2;
  TRegion region = TRegion::Polygon({{0, 0}, {cx, cy}, {w, 0}});
  region = region.Union(TRegion::Polygon({{w, 0}, {cx, cy}, {w, h}}));
  region = region.Union(TRegion::Polygon({{w, h}, {cx, cy}, {0, h}}));
  return region.Union(TRegion::Polygon({{0, h}, {cx, cy}, {0, 0}}));
}

void TrianglesBuildFrame(benchmark::State& st, TFrameSize size) {
  for (auto _ : st) benchmark::DoNotOptimize(FourTriangles(size));
}

void TrianglesCopyFrame(benchmark::State& st, TFrameSize size) {
  const TBitmap32 src = NoisePicture(size.Width, size.Height);
  TBitmap32 dst(size.Width, size.Height);
  for (auto _ : st) {
    CopyThroughRegion(src, dst, FourTriangles(size));
    benchmark::DoNotOptimize(dst.Bits());
  }
}

void RegisterAll() {
  const struct {
    const char* name;
    void (*fn)(benchmark::State&, TFrameSize);
  } cases[] = {
      {"Bitmap32Copy", CopyFrame},
      {"Bitmap32Blend", BlendFrame},
      {"Bitmap32StretchUp", StretchUpFrame},
      {"Bitmap32StretchDown", StretchDownFrame},
      {"PlainBlend", PlainBlendFrame},
      {"PlainStretchUp", PlainStretchUpFrame},
      {"RegionEllipseCopy", EllipseCopyFrame},
      {"RegionTrianglesBuild", TrianglesBuildFrame},
      {"RegionTrianglesCopy", TrianglesCopyFrame},
  };
  for (const auto& c : cases)
    for (TFrameSize size : kFrameSizes)
      benchmark::RegisterBenchmark(FrameName(c.name, size).c_str(), c.fn, size)
          ->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  saver::bench::RegisterAll();
  return saver::bench::RunBenchmarks(argc, argv);
}
