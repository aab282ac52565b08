// Slide, unfold and line-drop effects (1-68) run through the real thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>

#include "trans/effect_harness.h"

namespace saver {
namespace {

using testing::IsNewPixel;
using testing::TEffectHarness;
using testing::TEffectRun;

// Frames each effect paints, from the piece tables: the largest step count
// among its pieces (line drops leave their last step unpainted).
int ExpectedFrames(int e, int32_t w, int32_t h, int32_t n) {
  const int q = n / 4;
  auto lines = [&](int32_t half) { return std::max(1, std::min(n, half)); };
  switch (e) {
    case 10: return n + 1;
    case 14: case 16: case 19: case 20: return 9 * q + n;
    case 23: case 25: case 27: return n;
    case 24: case 26: case 28: case 29: case 30: case 31: case 32: case 34: case 35: case 37:
    case 39: case 40: case 51: case 56:
      return n + 1;
    case 33: return n + 2;
    case 36: case 38: return 9 * (n / 2) + n;
    case 41: case 42: return int(std::nearbyint(0.15L * n * 9 + n));
    case 43: return lines(w / 2);
    case 44: return lines(h / 2);
    case 45: return 2 * lines(w / 2);
    case 46: case 57: case 58: case 59: case 60: return 2 * lines(h / 2);
    case 47: case 50: case 52: case 55: return 2 * n;
    case 48: case 49: case 53: case 54: return 2 * n + 1;
    case 61: case 62: return 10 * std::max(4, n / 3) + 1;
    case 63: case 64: return 4 * std::max(1, std::min(n / 4, h / 4));
    case 65: case 66: case 67: case 68: return n - 1;
    default: return n;  // the other slides: every piece takes N steps
  }
}

using Params = std::tuple<int, std::pair<int32_t, int32_t>, int32_t>;

class TransEffects1To68 : public ::testing::TestWithParam<Params> {};

TEST_P(TransEffects1To68, RevealsTheIncomingPictureFrameByFrame) {
  const auto [effect, size, steps] = GetParam();
  const auto [w, h] = size;
  TEffectHarness harness(w, h);
  const TEffectRun run = harness.Run(effect, steps);

  EXPECT_TRUE(harness.ShowsNewWhole(run.Final));
  EXPECT_EQ(int(run.Frames.size()), ExpectedFrames(effect, w, h, steps));
  EXPECT_EQ(run.Completions, 1);

  const int64_t total = int64_t(w) * h;
  for (size_t f = 0; f < run.Frames.size(); ++f) {
    const TBitmap32& frame = run.Frames[f];
    if ((effect >= 23 && effect <= 64) || effect == 10) {
      // Pieces reveal in place; what is not revealed is the outgoing picture
      // (or, for "Door Open", its moving halves).
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          const TColor32 c = frame.Pixel(x, y);
          const bool ok = c == harness.New.Pixel(x, y) ||
                          (effect == 10 ? testing::IsOldPixel(c) : c == harness.Old.Pixel(x, y));
          ASSERT_TRUE(ok) << "frame " << f << " at " << x << "," << y;
        }
    } else {
      // Slides and line drops: incoming pixels may come from elsewhere; the
      // rest is the outgoing picture in place.
      ASSERT_TRUE(harness.OldOutside(frame, [&](int32_t x, int32_t y) {
        return IsNewPixel(frame.Pixel(x, y));
      })) << "frame " << f;
    }
    // Nothing revealed is covered again.
    if (f > 0) {
      const TBitmap32& prev = run.Frames[f - 1];
      for (int32_t i = 0; i < total; ++i)
        if (IsNewPixel(prev.Bits()[i])) {
          ASSERT_TRUE(IsNewPixel(frame.Bits()[i])) << "frame " << f;
        }
    }
  }
  // It is an animation: halfway through, part of the picture is still to come.
  if (run.Frames.size() >= 4) {
    const TBitmap32& half = run.Frames[run.Frames.size() / 2 - 1];
    EXPECT_GT(TEffectHarness::CountNew(half), 0);
    EXPECT_FALSE(harness.ShowsNewWhole(half));
  }
}

std::string RunName(const ::testing::TestParamInfo<Params>& info) {
  const auto& [e, size, n] = info.param;
  return "e" + std::to_string(e) + "_" + std::to_string(size.first) + "x" +
         std::to_string(size.second) + "_n" + std::to_string(n);
}

INSTANTIATE_TEST_SUITE_P(Trans, TransEffects1To68,
                         ::testing::Combine(::testing::Range(1, 69),
                                            ::testing::Values(std::pair{64, 48},
                                                              std::pair{77, 53}),
                                            ::testing::Values(64, 13)),
                         RunName);

TEST(TransSlideEffects, SlideFromLeftShiftsThePictureByWholeSteps) {
  TEffectHarness harness(800, 6);
  const TEffectRun run = harness.Run(5, 4);
  ASSERT_EQ(run.Frames.size(), 4u);
  const int32_t shifts[] = {600, 400, 200, 0};
  for (int f = 0; f < 4; ++f)
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 800; ++x) {
        const int32_t src = x + shifts[f];
        const TColor32 expect = src < 800 ? harness.New.Pixel(src, y) : harness.Old.Pixel(x, y);
        ASSERT_EQ(run.Frames[size_t(f)].Pixel(x, y), expect) << f << " " << x;
      }
}

TEST(TransSlideEffects, DoorOpenMovesTheOutgoingHalvesApart) {
  TEffectHarness harness(64, 8);
  const TEffectRun run = harness.Run(10, 8);
  ASSERT_EQ(run.Frames.size(), 9u);
  // Second frame: each half has moved 4 pixels outwards, the middle is new.
  const TBitmap32& frame = run.Frames[1];
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      TColor32 expect = x < 25    ? harness.Old.Pixel(x + 4, y)
                        : x < 39 ? harness.New.Pixel(x, y)
                                 : harness.Old.Pixel(x - 4, y);
      ASSERT_EQ(frame.Pixel(x, y), expect) << x << "," << y;
    }
}

TEST(TransUnfoldEffects, StripsStartingOutsidePaintNothingUntilTheyEnter) {
  TEffectHarness harness(64, 48);
  const TEffectRun run = harness.Run(47, 64);  // even rows start a picture to the left
  const TBitmap32& frame = run.Frames[31];
  for (int32_t x = 0; x < 64; ++x) {
    EXPECT_EQ(frame.Pixel(x, 2), harness.Old.Pixel(x, 2)) << x;  // strip 2
    EXPECT_EQ(frame.Pixel(x, 3), harness.Old.Pixel(x, 3)) << x;
  }
  EXPECT_TRUE(IsNewPixel(frame.Pixel(20, 0)));  // strip 1 is a third of the way
  EXPECT_FALSE(IsNewPixel(frame.Pixel(40, 0)));
}

TEST(TransLineDropEffects, StretchTheEdgeLineOverTheRest) {
  // 65 grows a band from the left, 67 from the top; beyond the band each
  // row (column) repeats the incoming picture's pixel at the band's edge.
  for (int effect : {65, 67}) {
    const bool columns = effect == 65;
    TEffectHarness harness(columns ? 64 : 8, columns ? 8 : 64);
    const TEffectRun run = harness.Run(effect, 8);
    ASSERT_EQ(run.Frames.size(), 7u);
    for (int f = 0; f < 7; ++f) {
      const int32_t edge = 8 * (f + 1);
      for (int32_t y = 0; y < (columns ? 8 : 64); ++y)
        for (int32_t x = 0; x < (columns ? 64 : 8); ++x) {
          const TColor32 expect = columns ? harness.New.Pixel(std::min(x, edge), y)
                                          : harness.New.Pixel(x, std::min(y, edge));
          ASSERT_EQ(run.Frames[size_t(f)].Pixel(x, y), expect) << effect << " " << f;
        }
    }
  }
}

}  // namespace
}  // namespace saver

namespace saver {
namespace {

// The edges of the picture that a quarter of the way through the run the
// revealed part touches: the side or corner the effect's name says it comes from.
enum TEdge { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

int RevealedEdges(const TBitmap32& frame) {
  int edges = 0;
  for (int32_t y = 0; y < frame.Height(); ++y)
    for (int32_t x = 0; x < frame.Width(); ++x)
      if (IsNewPixel(frame.Pixel(x, y))) {
        if (x == 0) edges |= kLeft;
        if (y == 0) edges |= kTop;
        if (x == frame.Width() - 1) edges |= kRight;
        if (y == frame.Height() - 1) edges |= kBottom;
      }
  return edges;
}

TEST(TransDirections, EffectsComeFromTheSideTheirNameSays) {
  struct Case { int effect; int edges; };
  const Case cases[] = {
      {1, kLeft | kTop},  {2, kTop | kRight},  {3, kRight | kBottom},  {4, kLeft | kBottom},
      {5, kLeft | kTop | kBottom},  {6, kRight | kTop | kBottom},
      {7, kBottom | kLeft | kRight},  {8, kTop | kLeft | kRight},
      {23, kLeft | kTop | kBottom},  {24, kRight | kTop | kBottom},
      {25, kTop | kLeft | kRight},  {26, kBottom | kLeft | kRight},
      {27, kLeft | kTop},  {28, kTop | kRight},  {29, kRight | kBottom},  {30, kLeft | kBottom},
      {31, kLeft | kRight | kTop | kBottom},  {39, kLeft | kRight | kTop | kBottom},
  };
  for (const Case& c : cases) {
    TEffectHarness harness(64, 48);
    const TEffectRun run = harness.Run(c.effect, 16);
    ASSERT_GE(run.Frames.size(), 4u) << c.effect;
    EXPECT_EQ(RevealedEdges(run.Frames[run.Frames.size() / 4]), c.edges) << c.effect;
  }
}

}  // namespace
}  // namespace saver
