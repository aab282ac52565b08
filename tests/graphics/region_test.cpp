#include "graphics/region.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace saver {
namespace {

std::vector<TSpan> Spans(std::span<const TSpan> row) { return {row.begin(), row.end()}; }

TEST(Region, RectanglesAreHalfOpenAndNormalised) {
  const TRegion r = TRegion::FromRect({2, 3, 7, 5});
  EXPECT_EQ(r.Area(), 10);
  EXPECT_EQ(r.BoundingBox(), Rect(2, 3, 7, 5));
  EXPECT_TRUE(r.Contains(2, 3));
  EXPECT_TRUE(r.Contains(6, 4));
  EXPECT_FALSE(r.Contains(7, 4));
  EXPECT_FALSE(r.Contains(6, 5));
  EXPECT_FALSE(r.Contains(1, 3));
  EXPECT_EQ(TRegion::FromRect({7, 5, 2, 3}), r);
  EXPECT_EQ(TRegion::FromRect({2, 5, 7, 3}), r);
}

TEST(Region, EmptyAndDegenerateShapesGiveEmptyRegions) {
  const TRegion empties[] = {
      TRegion::FromRect({4, 4, 4, 9}),
      TRegion::FromRect({}),
      TRegion::Ellipse({0, 0, 10, 0}),
      TRegion::RoundRect({5, 5, 5, 5}, 3, 3),
      TRegion::Polygon({}),
      TRegion::Polygon({{0, 0}, {10, 10}}),
      TRegion::Polygon({{0, 0}, {5, 5}, {10, 10}}),  // collinear
      TRegion::Polygon({{0, 0}, {10, 0}, {20, 0}}),  // flat
  };
  for (const TRegion& e : empties) {
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_EQ(e, TRegion{});
    EXPECT_EQ(e.BoundingBox(), TRect{});
    EXPECT_EQ(e.Area(), 0);
    EXPECT_TRUE(e.Row(0).empty());
  }
  const TRegion r = TRegion::FromRect({0, 0, 3, 3});
  EXPECT_EQ(r.Union(TRegion{}), r);
  EXPECT_EQ(TRegion{}.Union(r), r);
  EXPECT_EQ(r.Xor(TRegion{}), r);
  EXPECT_EQ(TRegion{}.Xor(r), r);
  EXPECT_EQ(r.Subtract(TRegion{}), r);
  EXPECT_TRUE(TRegion{}.Subtract(r).IsEmpty());
  EXPECT_TRUE(r.Intersect(TRegion{}).IsEmpty());
  EXPECT_TRUE(r.Subtract(r).IsEmpty());
  EXPECT_EQ(r.Subtract(r), TRegion{});  // trimmed to the canonical empty region
}

TEST(Region, EllipseFillsPixelCentresInsideTheInscribedEllipse) {
  const TRegion e = TRegion::Ellipse({0, 0, 10, 10});
  EXPECT_EQ(e.BoundingBox(), Rect(0, 0, 10, 10));
  EXPECT_EQ(e.Area(), 80);
  EXPECT_EQ(Spans(e.Row(0)), (std::vector<TSpan>{{3, 7}}));
  EXPECT_EQ(Spans(e.Row(1)), (std::vector<TSpan>{{1, 9}}));
  EXPECT_EQ(Spans(e.Row(4)), (std::vector<TSpan>{{0, 10}}));
  EXPECT_EQ(Spans(e.Row(9)), (std::vector<TSpan>{{3, 7}}));

  const TRegion odd = TRegion::Ellipse({10, 20, 17, 25});
  EXPECT_EQ(odd.BoundingBox(), Rect(10, 20, 17, 25));
  EXPECT_EQ(odd.Area(), 31);
  EXPECT_EQ(Spans(odd.Row(20)), (std::vector<TSpan>{{11, 16}}));
  EXPECT_EQ(TRegion::Ellipse({17, 25, 10, 20}), odd);
}

TEST(Region, ThinEllipsesKeepTheirBoundingBox) {
  for (const TRect r : {Rect(0, 0, 30, 2), Rect(0, 0, 2, 30), Rect(0, 0, 101, 3), Rect(0, 0, 1, 1),
                        Rect(-5, -5, 1000, 1)}) {
    const TRegion e = TRegion::Ellipse(r);
    EXPECT_EQ(e.BoundingBox(), r);
    EXPECT_TRUE(e.Contains((r.Left + r.Right) / 2, r.Top));
    EXPECT_TRUE(e.Contains(r.Left, (r.Top + r.Bottom) / 2));
  }
}

TEST(Region, RoundRectCutsItsCornersByTheEllipseQuarters) {
  const TRect r = Rect(0, 0, 16, 10);
  const TRegion rr = TRegion::RoundRect(r, 10, 10);
  EXPECT_EQ(rr.BoundingBox(), r);
  // The corners are the quarters of Ellipse(0,0,10,10): 80 of its 100 pixels.
  EXPECT_EQ(rr.Area(), 160 - 20);
  EXPECT_EQ(Spans(rr.Row(0)), (std::vector<TSpan>{{3, 13}}));
  EXPECT_EQ(Spans(rr.Row(9)), (std::vector<TSpan>{{3, 13}}));
  EXPECT_EQ(Spans(rr.Row(5)), (std::vector<TSpan>{{0, 16}}));

  EXPECT_EQ(TRegion::RoundRect(r, 0, 0), TRegion::FromRect(r));
  EXPECT_EQ(TRegion::RoundRect(r, 8, 0), TRegion::FromRect(r));
  EXPECT_EQ(TRegion::RoundRect(r, -4, -4), TRegion::FromRect(r));
  // Corner ellipses as large as the box or larger make the inscribed ellipse.
  EXPECT_EQ(TRegion::RoundRect(r, 16, 10), TRegion::Ellipse(r));
  EXPECT_EQ(TRegion::RoundRect(r, 1000, 1000), TRegion::Ellipse(r));
  // A box wider than the corner ellipse keeps a straight middle.
  const TRegion wide = TRegion::RoundRect(Rect(-10, 0, 30, 11), 20, 11);
  EXPECT_EQ(wide.BoundingBox(), Rect(-10, 0, 30, 11));
  EXPECT_EQ(wide.Row(0).front().Right - wide.Row(0).front().Left,
            20 + TRegion::Ellipse(Rect(0, 0, 20, 11)).Row(0).front().Right -
                TRegion::Ellipse(Rect(0, 0, 20, 11)).Row(0).front().Left);
}

TEST(Region, PolygonsFollowTheTopLeftPixelRule) {
  const TRegion square = TRegion::Polygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  EXPECT_EQ(square, TRegion::FromRect({0, 0, 10, 10}));
  // Counter-clockwise gives the same pixels.
  EXPECT_EQ(TRegion::Polygon({{0, 0}, {0, 10}, {10, 10}, {10, 0}}), square);

  // Two triangles sharing the diagonal tile the square without overlap.
  const TRegion upper = TRegion::Polygon({{0, 0}, {10, 0}, {0, 10}});
  const TRegion lower = TRegion::Polygon({{10, 0}, {10, 10}, {0, 10}});
  EXPECT_TRUE(upper.Intersect(lower).IsEmpty());
  EXPECT_EQ(upper.Union(lower), square);
  EXPECT_EQ(upper.Area(), 45);  // centres exactly on the diagonal belong to the lower one
  EXPECT_EQ(upper.BoundingBox(), Rect(0, 0, 9, 9));
}

TEST(Region, StarFillsItsCentreOnlyByWinding) {
  const std::vector<TPoint> star{{10, 0}, {16, 20}, {0, 7}, {20, 7}, {4, 20}};
  const TRegion winding = TRegion::Polygon(star, TFillMode::Winding);
  const TRegion alternate = TRegion::Polygon(star, TFillMode::Alternate);
  EXPECT_EQ(winding.Area(), 132);
  EXPECT_EQ(alternate.Area(), 92);
  EXPECT_EQ(winding.BoundingBox(), alternate.BoundingBox());
  EXPECT_TRUE(winding.Contains(10, 10));
  EXPECT_FALSE(alternate.Contains(10, 10));
  EXPECT_TRUE(alternate.Subtract(winding).IsEmpty());
}

// Winding number of the point just right of the centre of pixel (x, y): a centre on an edge
// then counts as inside exactly for left boundaries, as the region's rule says.
int ReferenceWinding(const std::vector<TPoint>& pts, int x, int y) {
  const double px = x + 0.5 + 1e-7, py = y + 0.5;
  int w = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const TPoint a = pts[i], b = pts[(i + 1) % pts.size()];
    if ((a.Y <= py) == (b.Y <= py)) continue;
    const double cx = a.X + (py - a.Y) * (b.X - a.X) / double(b.Y - a.Y);
    if (cx > px) w += b.Y > a.Y ? 1 : -1;
  }
  return w;
}

TEST(Region, RandomPolygonsMatchAPointByPointReference) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-3, 24), count(3, 9);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<TPoint> pts(size_t(count(rng)));
    for (auto& p : pts) p = {coord(rng), coord(rng)};
    const TRegion wind = TRegion::Polygon(pts, TFillMode::Winding);
    const TRegion alt = TRegion::Polygon(pts, TFillMode::Alternate);
    for (int y = -4; y < 26; ++y)
      for (int x = -4; x < 26; ++x) {
        const int w = ReferenceWinding(pts, x, y);
        ASSERT_EQ(wind.Contains(x, y), w != 0) << "trial " << trial << " at " << x << "," << y;
        ASSERT_EQ(alt.Contains(x, y), (w & 1) != 0) << "trial " << trial << " at " << x << "," << y;
      }
  }
}

TEST(Region, CombineOperationsAgreeWithPixelSets) {
  const TRegion a = TRegion::FromRect({0, 0, 6, 6}), b = TRegion::FromRect({3, 3, 9, 9});
  EXPECT_EQ(a.Union(b).Area(), 63);
  EXPECT_EQ(a.Intersect(b), TRegion::FromRect({3, 3, 6, 6}));
  EXPECT_EQ(a.Xor(b).Area(), 54);
  EXPECT_EQ(a.Subtract(b).Area(), 27);
  EXPECT_EQ(a.Xor(b), a.Union(b).Subtract(a.Intersect(b)));
  // Touching pieces merge, so equal pixel sets compare equal.
  EXPECT_EQ(TRegion::FromRect({0, 0, 5, 4}).Union(TRegion::FromRect({5, 0, 9, 4})),
            TRegion::FromRect({0, 0, 9, 4}));
  EXPECT_EQ(TRegion::FromRect({0, 0, 5, 2}).Union(TRegion::FromRect({0, 2, 5, 4})),
            TRegion::FromRect({0, 0, 5, 4}));
  // Disjoint rows leave a gap inside the region, not at its ends.
  const TRegion gap = TRegion::FromRect({0, 0, 2, 2}).Union(TRegion::FromRect({0, 5, 2, 7}));
  EXPECT_EQ(gap.BoundingBox(), Rect(0, 0, 2, 7));
  EXPECT_TRUE(gap.Row(3).empty());
  const TRegion trimmed = gap.Subtract(TRegion::FromRect({0, 0, 2, 2}));
  EXPECT_EQ(trimmed, TRegion::FromRect({0, 5, 2, 7}));
  EXPECT_EQ(trimmed.Top(), 5);

  std::mt19937 rng(11);
  std::uniform_int_distribution<int> c(-2, 14);
  auto randomRegion = [&] {
    TRegion r;
    for (int k = 0; k < 4; ++k) r = r.Union(TRegion::FromRect({c(rng), c(rng), c(rng), c(rng)}));
    return r.Xor(TRegion::Ellipse({c(rng), c(rng), c(rng), c(rng)}));
  };
  for (int trial = 0; trial < 200; ++trial) {
    const TRegion p = randomRegion(), q = randomRegion();
    const TRegion u = p.Union(q), i = p.Intersect(q), x = p.Xor(q), s = p.Subtract(q);
    for (int y = -3; y < 16; ++y)
      for (int xx = -3; xx < 16; ++xx) {
        const bool inP = p.Contains(xx, y), inQ = q.Contains(xx, y);
        ASSERT_EQ(u.Contains(xx, y), inP || inQ);
        ASSERT_EQ(i.Contains(xx, y), inP && inQ);
        ASSERT_EQ(x.Contains(xx, y), inP != inQ);
        ASSERT_EQ(s.Contains(xx, y), inP && !inQ);
      }
  }
}

TEST(Region, OffsetMovesAndClipsAtTheCoordinateLimit) {
  TRegion e = TRegion::Ellipse({0, 0, 10, 10});
  const int64_t area = e.Area();
  e.Offset(-5, 7);
  EXPECT_EQ(e.BoundingBox(), Rect(-5, 7, 5, 17));
  EXPECT_EQ(e.Area(), area);
  EXPECT_EQ(e, TRegion::Ellipse({-5, 7, 5, 17}));

  TRegion far = TRegion::FromRect({0, 0, 10, 10});
  far.Offset(kRegionLimit - 4, 0);
  EXPECT_EQ(far.BoundingBox(), Rect(kRegionLimit - 4, 0, kRegionLimit, 10));
  far.Offset(INT_MAX, INT_MAX);
  EXPECT_TRUE(far.IsEmpty());
}

TEST(Region, HugeCoordinatesAreClippedWithoutLosingTheVisiblePart) {
  const TRegion all = TRegion::FromRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  EXPECT_EQ(all.BoundingBox(), Rect(-kRegionLimit, -kRegionLimit, kRegionLimit, kRegionLimit));

  const TRect screen = Rect(0, 0, 3840, 2160);
  const TRegion big = TRegion::Ellipse({-2000000000, -2000000000, 2000000000, 2000000000});
  EXPECT_EQ(big.Intersect(TRegion::FromRect(screen)), TRegion::FromRect(screen));

  // A triangle with a far-away vertex: the visible part keeps its true slope.
  const TRegion tri = TRegion::Polygon({{0, 0}, {1000000000, 1000000000}, {0, 1000000000}});
  const TRegion visible = tri.Intersect(TRegion::FromRect(screen));
  EXPECT_EQ(visible, TRegion::Polygon({{0, 0}, {2160, 2160}, {0, 2160}}));

  const TRegion outside =
      TRegion::Polygon({{INT_MAX, INT_MAX}, {INT_MAX - 5, INT_MAX}, {INT_MAX, INT_MIN}});
  EXPECT_TRUE(outside.Intersect(TRegion::FromRect(screen)).IsEmpty());
}

TEST(Region, CopyAndFillTouchOnlyPixelsInsideRegionAndBitmaps) {
  TBitmap32 src(6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) src.SetPixel(x, y, Color32(uint8_t(x), uint8_t(y), 1));
  // Partly outside both bitmaps; whole-width row runs broken by partial rows and gaps.
  const TRegion region = TRegion::FromRect({-3, -3, 2, 0})
                             .Union(TRegion::FromRect({-1, 0, 9, 1}))
                             .Union(TRegion::FromRect({0, 2, 6, 3}))
                             .Union(TRegion::FromRect({1, 3, 3, 4}))
                             .Union(TRegion::FromRect({3, 4, 99, 99}));
  for (const TPoint size : {TPoint{5, 6}, TPoint{6, 5}, TPoint{7, 4}}) {
    TBitmap32 dst(size.X, size.Y);
    dst.Clear(0xFF000000);
    CopyThroughRegion(src, dst, region);
    for (int y = 0; y < size.Y; ++y)
      for (int x = 0; x < size.X; ++x) {
        const bool copied = region.Contains(x, y) && y < 5 && x < 6;
        EXPECT_EQ(dst.Pixel(x, y), copied ? src.Pixel(x, y) : 0xFF000000u) << x << "," << y;
      }
  }

  TBitmap32 canvas(8, 8);
  FillRegion(canvas, TRegion::Ellipse({0, 0, 8, 8}), 0xFF123456);
  EXPECT_EQ(canvas.Pixel(0, 0), 0u);
  EXPECT_EQ(canvas.Pixel(4, 4), 0xFF123456u);
  EXPECT_EQ(canvas.Pixel(7, 3), 0xFF123456u);
  FillRegion(canvas, TRegion{}, 0xFFFFFFFF);
  FillRegion(TBitmap32{} = TBitmap32{}, TRegion::FromRect({0, 0, 5, 5}), 1);
}

}  // namespace
}  // namespace saver
