#include "graphics/pixel_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {
namespace {

std::vector<TColor32> Noise(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<TColor32> v(n);
  for (TColor32& c : v) c = rng();
  return v;
}

TBitmap32 NoiseBitmap(int32_t w, int32_t h, uint32_t seed) {
  TBitmap32 b(w, h);
  const std::vector<TColor32> v = Noise(size_t(w) * size_t(h), seed);
  std::copy(v.begin(), v.end(), b.Bits());
  return b;
}

// Restores the kernels chosen at start when a test ends.
class PixelKernelsTest : public ::testing::Test {
 protected:
  void TearDown() override { SelectPixelKernels(initial_.c_str()); }
  const std::string initial_ = PixelKernels().Name;
};

TEST_F(PixelKernelsTest, EveryPathComputesWhatThePortableOneDoes) {
  const auto sets = AvailablePixelKernels();
  ASSERT_FALSE(sets.empty());
  const TPixelKernels& portable = *sets[0];
  EXPECT_STREQ(portable.Name, "default");
  std::mt19937 rng(3);
  for (const TPixelKernels* k : sets) {
    SCOPED_TRACE(k->Name);
    for (int trial = 0; trial < 60; ++trial) {
      // Odd lengths and offsets, so that every path meets its tails.
      const size_t n = 1 + rng() % 300, at = rng() % 7;
      const std::vector<TColor32> a = Noise(n + at, rng()), b = Noise(n + at, rng());
      const uint32_t alpha = rng() % 256;

      std::vector<TColor32> want = a, got = a;
      portable.Blend(want.data() + at, b.data() + at, n, alpha);
      k->Blend(got.data() + at, b.data() + at, n, alpha);
      ASSERT_EQ(got, want) << "Blend";
      portable.SetAlpha(want.data() + at, n, uint8_t(alpha));
      k->SetAlpha(got.data() + at, n, uint8_t(alpha));
      ASSERT_EQ(got, want) << "SetAlpha";
      portable.Fill(want.data() + at, n, b[0]);
      k->Fill(got.data() + at, n, b[0]);
      ASSERT_EQ(got, want) << "Fill";
      // The fades, plain and with non-temporal stores, give the same pixels.
      const bool stream = trial % 2;
      portable.Crossfade(want.data() + at, a.data() + at, b.data() + at, n, alpha, false);
      k->Crossfade(got.data() + at, a.data() + at, b.data() + at, n, alpha, stream);
      ASSERT_EQ(got, want) << "Crossfade";
      portable.Dim(want.data() + at, b.data() + at, n, alpha, false);
      k->Dim(got.data() + at, b.data() + at, n, alpha, stream);
      ASSERT_EQ(got, want) << "Dim";
      k->CopyStream(got.data() + at, a.data() + at, n);
      ASSERT_TRUE(std::equal(a.begin() + at, a.end(), got.begin() + at)) << "CopyStream";
      ASSERT_TRUE(std::equal(want.begin(), want.begin() + at, got.begin())) << "CopyStream";
      portable.Fill(want.data() + at, n, a[0]);
      k->FillStream(got.data() + at, n, a[0]);
      ASSERT_EQ(got, want) << "FillStream";

      // The horizontal pass at scales from 1/3 to 3, whose samples reach the row's end, and
      // the vertical pass over its output.
      const int32_t limit = int32_t(1 + rng() % 400);
      const std::vector<TColor32> row = Noise(size_t(limit), rng());
      const double scale = 1.0 / 3 + (rng() % 1000) / 1000.0 * (3 - 1.0 / 3);
      std::vector<int32_t> i0(n), i1(n);
      std::vector<uint32_t> w(n);
      for (size_t x = 0; x < n; ++x) {
        const double f = std::min((x + 0.5) * scale - 0.5 + limit / 4, double(limit - 1));
        i0[x] = std::max(int32_t(f), 0);
        i1[x] = std::min(i0[x] + 1, limit - 1);
        w[x] = uint32_t((f - int32_t(f)) * 256) & 255;
      }
      std::vector<uint32_t> rbWant(n), gaWant(n), rbGot(n), gaGot(n);
      portable.MixColumns(row.data(), limit, i0.data(), i1.data(), w.data(), n, rbWant.data(),
                          gaWant.data());
      k->MixColumns(row.data(), limit, i0.data(), i1.data(), w.data(), n, rbGot.data(),
                    gaGot.data());
      ASSERT_EQ(rbGot, rbWant) << "MixColumns at scale " << scale;
      ASSERT_EQ(gaGot, gaWant) << "MixColumns at scale " << scale;
      portable.MixRows(rbWant.data(), gaWant.data(), gaWant.data(), rbWant.data(), alpha, n,
                       want.data(), false);
      k->MixRows(rbWant.data(), gaWant.data(), gaWant.data(), rbWant.data(), alpha, n,
                 got.data(), stream);
      ASSERT_EQ(got, want) << "MixRows";
    }
  }
}

TEST_F(PixelKernelsTest, BandsOfAStretchTogetherMakeTheWholeStretchOnEveryPath) {
  // Each band is clipped to its rows but samples as the whole draw does; the bands' union
  // is then the whole draw, pixel for pixel, copied or blended, on every path.
  std::mt19937 rng(11);
  for (const TPixelKernels* k : AvailablePixelKernels()) {
    SCOPED_TRACE(k->Name);
    ASSERT_TRUE(SelectPixelKernels(k->Name));
    EXPECT_STREQ(PixelLoopPath(), k->Name);
    for (int trial = 0; trial < 40; ++trial) {
      const TBitmap32 src = NoiseBitmap(20 + rng() % 200, 20 + rng() % 200, rng());
      const TBitmap32 base = NoiseBitmap(150, 120, rng());
      const TRect dstRect{int32_t(rng() % 60) - 20, int32_t(rng() % 60) - 20,
                          int32_t(40 + rng() % 160), int32_t(30 + rng() % 130)};
      const TRect srcRect{int32_t(rng() % 10), int32_t(rng() % 10), src.Width(), src.Height()};
      const TDrawMode mode = trial % 2 ? TDrawMode::Blend : TDrawMode::Opaque;
      const uint8_t alpha = uint8_t(rng());
      TBitmap32 whole = base, banded = base;
      src.DrawTo(whole, dstRect, srcRect, mode, alpha);
      const int32_t cuts[] = {0, int32_t(rng() % 40), int32_t(40 + rng() % 40), 120};
      for (int band = 0; band < 3; ++band)
        src.DrawTo(banded, dstRect, srcRect, TRect{0, cuts[band], 150, cuts[band + 1]}, mode,
                   alpha);
      for (int32_t y = 0; y < base.Height(); ++y)
        for (int32_t x = 0; x < base.Width(); ++x)
          ASSERT_EQ(banded.Pixel(x, y), whole.Pixel(x, y))
              << "trial " << trial << " at " << x << "," << y;
    }
  }
  EXPECT_FALSE(SelectPixelKernels("no such path"));
}

}  // namespace
}  // namespace saver
