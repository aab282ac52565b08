// Composing in row bands: the bands cover a range exactly once, failures come
// back to the caller, and every effect that composes in bands shows the same
// frames whatever the number of threads (this suite also runs under the
// thread sanitizer, which checks the bands for races).
#include "trans/row_bands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "trans/effect_harness.h"

namespace saver {
namespace {

TEST(TransRowBands, BandsCoverTheRangeOnceWithOneBandPerThread) {
  for (int32_t threads : {1, 2, 3, 4}) {
    SCOPED_TRACE(threads);
    TRowBands bands(threads);
    EXPECT_EQ(bands.Threads(), threads);
    for (const auto& [top, bottom, width] :
         {std::tuple{0, 2160, 3840}, std::tuple{-5, 600, 1000}, std::tuple{7, 10, 1 << 20},
          std::tuple{0, 100, 10}, std::tuple{3, 3, 4000}}) {
      std::vector<int> covered(size_t(bottom - top + 1), 0);
      std::mutex m;
      std::vector<std::thread::id> callers;
      int calls = 0;
      bands.Run(top, bottom, width, [&](int32_t from, int32_t to) {
        ASSERT_LT(from, to);
        std::lock_guard lock(m);
        ++calls;
        callers.push_back(std::this_thread::get_id());
        for (int32_t y = from; y < to; ++y) covered[size_t(y - top)]++;
      });
      for (int32_t y = top; y < bottom; ++y) ASSERT_EQ(covered[size_t(y - top)], 1) << y;
      const int64_t pixels = int64_t(bottom - top) * width;
      const int expected = bottom <= top                        ? 0
                           : pixels < TRowBands::kMinPixels   ? 1
                                                              : std::min(threads, bottom - top);
      EXPECT_EQ(calls, expected);
      // One band per thread: the caller's and each helper's.
      std::sort(callers.begin(), callers.end());
      EXPECT_EQ(std::unique(callers.begin(), callers.end()) - callers.begin(), calls);
    }
  }
}

TEST(TransRowBands, AFailingBandFailsTheRunAfterAllBandsEnded) {
  TRowBands bands(3);
  std::atomic<int> finished{0};
  for (int failing : {0, 1, 2}) {
    SCOPED_TRACE(failing);
    finished = 0;
    int band = 0;
    std::mutex m;
    EXPECT_THROW(bands.Run(0, 3000, 3000,
                           [&](int32_t from, int32_t) {
                             const int index = from == 0 ? 0 : from == 1000 ? 1 : 2;
                             {
                               std::lock_guard lock(m);
                               ++band;
                             }
                             if (index == failing) throw std::runtime_error("band");
                             ++finished;
                           }),
                 std::runtime_error);
    EXPECT_EQ(band, 3);
    EXPECT_EQ(finished, 2);
  }
  // The helpers are still there for the next run.
  int calls = 0;
  std::mutex m;
  bands.Run(0, 3000, 3000, [&](int32_t, int32_t) {
    std::lock_guard lock(m);
    ++calls;
  });
  EXPECT_EQ(calls, 3);
}

// Every frame of every effect that composes in bands, on a picture large
// enough to be split, with the worker alone and with helpers.
TEST(TransRowBands, EffectsShowTheSameFramesWhateverTheThreadCount) {
  const int kEffects[] = {65, 67, 70, 71, 87, 99, 103, 108, 112, 114, 115, 116};
  for (int effect : kEffects) {
    SCOPED_TRACE(effect);
    std::vector<testing::TEffectRun> runs;
    for (int32_t threads : {1, 3}) {
      ComposeThreads = threads;
      testing::TEffectHarness h(720, 400);
      runs.push_back(h.Run(effect, 12));
    }
    ComposeThreads = 0;
    ASSERT_EQ(runs[0].Frames.size(), runs[1].Frames.size());
    for (size_t f = 0; f < runs[0].Frames.size(); ++f) {
      const TBitmap32& a = runs[0].Frames[f];
      const TBitmap32& b = runs[1].Frames[f];
      ASSERT_TRUE(std::equal(a.Bits(), a.Bits() + size_t(a.Width()) * size_t(a.Height()),
                             b.Bits()))
          << "frame " << f;
    }
  }
}

}  // namespace
}  // namespace saver
