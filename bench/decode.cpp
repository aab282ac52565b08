// What decoding a camera-sized JPEG and fitting it to the screen costs: a
// 24-megapixel picture (6000 x 4000, quality 90) decoded with the target
// size as a hint, so the decoder scales while decoding, and decoded at full
// size, each then stretched into the fitted rectangle of the frame; and
// decoded for showing, stretched as its rows come.
#include <cstdio>  // jpeglib.h needs FILE and size_t
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "bench_common.h"
#include "payload/compose/fit_rect.h"
#include "payload/decoders/picture_decoder.h"

namespace saver::bench {
namespace {

constexpr int32_t kPictureWidth = 6000, kPictureHeight = 4000;

// Gradients, waves, hard-edged blocks and noise: enough detail that the
// entropy decoder does real work.
TBitmap32 CameraLikePicture() {
  TBitmap32 b(kPictureWidth, kPictureHeight);
  std::mt19937 rng(7);
  for (int32_t y = 0; y < kPictureHeight; ++y) {
    TColor32* row = b.ScanLine(y);
    for (int32_t x = 0; x < kPictureWidth; ++x) {
      int noise = int(rng() % 33) - 16;
      int r = x * 255 / kPictureWidth + noise;
      int g = int(128 + 100 * std::sin(x * 0.013) * std::cos(y * 0.021)) + noise;
      int blue = ((x / 97 + y / 61) % 2) ? 200 + noise : 40 + noise;
      row[x] = Color32(uint8_t(std::clamp(r, 0, 255)), uint8_t(std::clamp(g, 0, 255)),
                       uint8_t(std::clamp(blue, 0, 255)));
    }
  }
  return b;
}

std::vector<uint8_t> EncodeJpeg(const TBitmap32& picture, int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(picture.Width());
  cinfo.image_height = JDIMENSION(picture.Height());
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        const_cast<TColor32*>(picture.ScanLine(int32_t(cinfo.next_scanline))));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

const std::vector<uint8_t>& TestJpeg() {
  static const std::vector<uint8_t> jpeg = EncodeJpeg(CameraLikePicture(), 90);
  return jpeg;
}

// Decode (with or without the hint) and stretch into the fitted rectangle.
void DecodeAndFit(benchmark::State& st, TFrameSize size, bool hinted) {
  const std::vector<uint8_t>& jpeg = TestJpeg();
  TBitmap32 frame(size.Width, size.Height);
  TDecodeHint hint;
  if (hinted) hint = {.TargetWidth = size.Width, .TargetHeight = size.Height};
  int32_t decodedWidth = 0;
  for (auto _ : st) {
    TBitmap32 picture = DecodePictureMemory(jpeg.data(), jpeg.size(), "jpg", hint);
    TRect dest = FitRect(size.Width, size.Height, picture.Width(), picture.Height());
    picture.DrawTo(frame, dest, picture.BoundsRect());
    decodedWidth = picture.Width();
    benchmark::DoNotOptimize(frame.Bits());
  }
  st.counters["decoded_width"] = decodedWidth;
  st.counters["jpeg_MB"] = double(jpeg.size()) / 1e6;
}

// Decoded for showing, as the show does: stretched into the fitted size as
// the rows come (JPEG's own scaling first), never whole.
void DecodeFitted(benchmark::State& st, TFrameSize size) {
  const std::vector<uint8_t>& jpeg = TestJpeg();
  TDecodeHint hint;
  hint.Fit = [size](int32_t w, int32_t h) {
    return PictureFit(StretchFit, false, size.Width, size.Height, w, h);
  };
  for (auto _ : st) {
    TBitmap32 picture = DecodePictureMemory(jpeg.data(), jpeg.size(), "jpg", hint);
    benchmark::DoNotOptimize(picture.Bits());
  }
}

void DecodeOnly(benchmark::State& st, TFrameSize size, bool hinted) {
  const std::vector<uint8_t>& jpeg = TestJpeg();
  TDecodeHint hint;
  if (hinted) hint = {.TargetWidth = size.Width, .TargetHeight = size.Height};
  for (auto _ : st) {
    TBitmap32 picture = DecodePictureMemory(jpeg.data(), jpeg.size(), "jpg", hint);
    benchmark::DoNotOptimize(picture.Bits());
  }
}

void Register() {
  for (TFrameSize size : kFrameSizes) {
    benchmark::RegisterBenchmark(FrameName("JpegDecodeFitHinted", size).c_str(), DecodeAndFit, size,
                                 true)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("JpegDecodeFitFull", size).c_str(), DecodeAndFit, size,
                                 false)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("JpegDecodeFitted", size).c_str(), DecodeFitted, size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(FrameName("JpegDecodeHinted", size).c_str(), DecodeOnly, size,
                                 true)
        ->Unit(benchmark::kMillisecond);
  }
  // The full decode does not depend on the frame; named by the picture's size.
  benchmark::RegisterBenchmark("JpegDecodeFull/6000x4000", DecodeOnly, kFrameSizes[0], false)
      ->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace saver::bench

int main(int argc, char** argv) {
  saver::bench::Register();
  return saver::bench::RunBenchmarks(argc, argv);
}
