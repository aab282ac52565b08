#include "payload/compose/picture_cache.h"

#include <gtest/gtest.h>

namespace saver {
namespace {

// A picture of n pixels in a row, n x 4 bytes, with a mask of m pixels.
TMemImage Pixels(int32_t n, int32_t m = 0) {
  TMemImage image;
  image.Picture = std::make_unique<TBitmap32>(n, 1);
  if (m) image.Mask = std::make_unique<TBitmap32>(m, 1);
  return image;
}

TEST(PictureCache, DropsTheLeastRecentlyShownBeyondTheBudget) {
  std::vector<TMemImage> entries(4);
  TPictureCache cache(entries, 400);  // 100 pixels
  cache.Store(0, Pixels(40));
  cache.Store(1, Pixels(40));
  EXPECT_EQ(cache.UsedBytes(), 320u);
  ASSERT_NE(cache.Find(0), nullptr);  // 0 is now more recent than 1
  cache.Store(2, Pixels(40));
  EXPECT_TRUE(entries[0].Loaded);
  EXPECT_FALSE(entries[1].Loaded);
  EXPECT_EQ(entries[1].Picture, nullptr);
  EXPECT_EQ(cache.Find(1), nullptr);
  EXPECT_TRUE(entries[2].Loaded);
  EXPECT_EQ(cache.UsedBytes(), 320u);
}

TEST(PictureCache, MasksCountAndAPictureLargerThanTheBudgetIsNotKept) {
  std::vector<TMemImage> entries(3);
  TPictureCache cache(entries, 400);
  ASSERT_NE(cache.Store(0, Pixels(10, 60)), nullptr);
  EXPECT_EQ(cache.UsedBytes(), 280u);
  EXPECT_EQ(cache.Store(1, Pixels(200)), nullptr);
  EXPECT_FALSE(entries[1].Loaded);
  EXPECT_EQ(cache.Find(1), nullptr);
  EXPECT_TRUE(entries[0].Loaded);  // what was kept stays
  EXPECT_EQ(cache.UsedBytes(), 280u);
  cache.Clear();
  EXPECT_EQ(cache.UsedBytes(), 0u);
  EXPECT_FALSE(entries[0].Loaded);
  EXPECT_EQ(entries[0].Mask, nullptr);
}

TEST(PictureCache, ManyLargePicturesStayWithinTheBudget) {
  std::vector<TMemImage> entries(200);
  TPictureCache cache(entries, 64u << 20);
  for (int32_t i = 0; i < 200; ++i) {
    cache.Store(i, Pixels(1024 * 1024));  // 4 MiB each
    ASSERT_LE(cache.UsedBytes(), cache.Budget());
  }
  int loaded = 0;
  for (const auto& e : entries) loaded += e.Loaded;
  EXPECT_EQ(loaded, 16);
  EXPECT_TRUE(entries[199].Loaded);
  EXPECT_FALSE(entries[183].Loaded);
}

TEST(PictureCache, RefusesIndicesOutsideTheTable) {
  std::vector<TMemImage> entries(1);
  TPictureCache cache(entries, 100);
  EXPECT_THROW(cache.Store(1, Pixels(1)), std::out_of_range);
  EXPECT_THROW(cache.Store(-1, Pixels(1)), std::out_of_range);
  EXPECT_EQ(cache.Find(5), nullptr);
}

}  // namespace
}  // namespace saver
