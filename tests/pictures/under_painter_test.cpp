#include "payload/compose/under_painter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace saver {
namespace {

// Painting shapes top-down through the painter must equal painting them
// bottom-up, whatever their overlaps: nested, disjoint, crossing, off the edge.
TEST(UnderPainter, MatchesPaintingInOrder) {
  std::mt19937 rng(42);
  std::uniform_int_distribution<int32_t> coord(-20, 120);
  for (int round = 0; round < 20; ++round) {
    std::vector<TRegion> shapes;
    for (int i = 0; i < 30; ++i) {
      const int32_t a = coord(rng), b = coord(rng), c = coord(rng), d = coord(rng);
      const TRect r{std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
      switch (i % 3) {
        case 0: shapes.push_back(TRegion::FromRect(r)); break;
        case 1: shapes.push_back(TRegion::Ellipse(r)); break;
        default:
          shapes.push_back(TRegion::Polygon({{a, c}, {b, d}, {c, a}}, TFillMode::Alternate));
      }
    }
    TBitmap32 forward(100, 90), backward(100, 90);
    for (size_t i = 0; i < shapes.size(); ++i) FillRegion(forward, shapes[i], 0xFF000000u | i);
    TUnderPainter painter(backward);
    for (size_t i = shapes.size(); i-- > 0;) painter.Fill(shapes[i], 0xFF000000u | i);
    for (int32_t y = 0; y < 90; ++y)
      for (int32_t x = 0; x < 100; ++x)
        ASSERT_EQ(backward.Pixel(x, y), forward.Pixel(x, y)) << round << ": " << x << "," << y;
  }
}

TEST(UnderPainter, RectanglesNeverOverwrite) {
  TBitmap32 b(10, 3);
  TUnderPainter painter(b);
  painter.FillRect(Rect(2, 0, 4, 3), 1);
  painter.FillRect(Rect(6, 0, 8, 3), 2);
  painter.FillRect(Rect(0, 1, 10, 2), 3);  // fills the gaps of row 1 only
  EXPECT_EQ(b.Pixel(0, 1), 3u);
  EXPECT_EQ(b.Pixel(3, 1), 1u);
  EXPECT_EQ(b.Pixel(5, 1), 3u);
  EXPECT_EQ(b.Pixel(7, 1), 2u);
  EXPECT_EQ(b.Pixel(9, 1), 3u);
  EXPECT_EQ(b.Pixel(0, 0), 0u);
  painter.FillRect(Rect(-5, 0, 50, 3), 4);
  EXPECT_EQ(b.Pixel(5, 0), 4u);
  EXPECT_EQ(b.Pixel(5, 1), 3u);
}

}  // namespace
}  // namespace saver
