// The clip-region effects (71-100). Each frame copies the incoming picture
// into the composition buffer through a region: rounded rectangles for
// DoEllipse, triangles for DoShape, strips, cells or ellipses for DoRandom.
// The buffer starts as the outgoing picture and is never reset, so what has
// been revealed is the union of every region so far. Copying through a union
// equals copying through each part, so the parts are copied one by one, and
// only what they add to the frame before. Only the box around what a frame
// copied is painted: elsewhere the surface already shows the buffer.
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "graphics/pixel_kernels.h"
#include "graphics/region.h"
#include "trans/effect_geometry.h"
#include "trans/effects.h"

namespace saver {

namespace {

using TTriangle = std::array<TPoint, 3>;

// What one frame copies from the incoming picture: its regions, copied
// together when the frame ends (each pixel once, however many regions hold
// it), and the box around them.
struct TFrameCopy {
  std::vector<TRegion> Regions;
  TRect Changed;
};

void CopyThrough(TTransThread&, TRegion region, TFrameCopy& frame) {
  if (region.IsEmpty()) return;
  frame.Changed = UnionRect(frame.Changed, region.BoundingBox());
  frame.Regions.push_back(std::move(region));
}

TRegion TriangleRegion(const TTriangle& tri) {
  return TRegion::Polygon({tri[0], tri[1], tri[2]}, TFillMode::Winding);
}

// Copies each part of a frame's region less what the same part covered in
// the frame before: that was copied then, so the buffer already shows the
// incoming picture there, and a growing shape moves only its new edge.
class TPartCopier {
 public:
  void Copy(TTransThread& t, size_t part, TRegion region, TFrameCopy& changed) {
    if (part >= previous_.size()) previous_.resize(part + 1);
    CopyThrough(t, region.Subtract(previous_[part]), changed);
    previous_[part] = std::move(region);
  }

 private:
  std::vector<TRegion> previous_;
};

// Every clip effect copies what its frame revealed, in bands of rows, paints
// the box around it once and then waits.
void EndFrame(TTransThread& t, const TFrameCopy& frame) {
  if (!frame.Regions.empty()) {
    std::vector<const TRegion*> regions;
    for (const TRegion& r : frame.Regions) regions.push_back(&r);
    const TRect box = ClipToPicture(frame.Changed, t);
    const bool stream =
        StreamingPays(size_t(box.Width()) * size_t(box.Height()) * 4, size_t(t.FWidth) * size_t(t.FHeight) * 4);
    t.ComposeRows(box.Top, box.Bottom, box.Width(), [&](int32_t top, int32_t bottom) {
      CopyThroughRegions(t.FNewPicture, t.FWork, regions, top, bottom, stream);
    });
  }
  PaintChangedWork(t, frame.Changed);
  t.WaitFrame();
}

// ---- DoEllipse ----------------------------------------------------------

// How far a shape that has outgrown the picture has straightened its corner
// ellipse: size - ceil((i - 0.9 n) * (size / n) * 2), never below 0.
int32_t StraightenedCorner(int32_t size, int32_t i, int32_t n) {
  const int64_t shrink = CeilDiv((10 * int64_t(i) - 9 * int64_t(n)) * size, 5 * int64_t(n));
  return int32_t(std::max<int64_t>(0, size - shrink));
}

// The region of frame i of Ellipse variant v (1-6); empty when the frame
// has none.
TRegion EllipseRegion(int32_t v, int32_t i, int32_t n, int32_t wd, int32_t ht) {
  const int32_t hw = wd / 2, hh = ht / 2;
  switch (v) {
    case 1:
    case 2: {  // a centred rounded box; 72 reveals its outside
      if (v == 1 && i == 0) return {};
      const int32_t cw = CeilRatio(wd, n), ch = CeilRatio(ht, n);
      const TRegion box =
          TRegion::RoundRect(TRect{hw - cw * i, hh - ch * i, hw + cw * i, hh + ch * i}, wd, ht);
      return v == 1 ? box : box.Xor(TRegion::FromRect(TRect{0, 0, wd, ht}));
    }
    case 3:
    case 4: {  // from the left or the right edge
      const int32_t c = CeilRatio(wd, n);
      const int64_t reach = int64_t(c) * i;
      if (reach <= wd) {
        if (i == 0) return {};
        const int32_t r = int32_t(reach);
        const TRect box = v == 3 ? TRect{-r, 0, r, ht + 1} : TRect{wd - r, 0, wd + r, ht + 1};
        return TRegion::RoundRect(box, wd, ht);
      }
      const TRect box = v == 3 ? TRect{-wd, 0, wd, ht + 1} : TRect{0, 0, 2 * wd, ht + 1};
      return TRegion::RoundRect(box, StraightenedCorner(wd, i, n), StraightenedCorner(ht, i, n));
    }
    case 5: {  // from the top; its height counts one row below the picture
      const int32_t h1 = ht + 1;
      const int32_t c = CeilRatio(h1, n);
      const int64_t reach = int64_t(c) * i;
      if (reach <= h1) {
        if (i == 0) return {};
        const int32_t r = int32_t(reach);
        return TRegion::RoundRect(TRect{0, -r, wd + 1, r}, wd, h1);
      }
      return TRegion::RoundRect(TRect{0, -ht - 1, wd + 1, h1}, StraightenedCorner(wd, i, n),
                                StraightenedCorner(h1, i, n));
    }
    case 6: {  // from the bottom
      const int32_t c = CeilRatio(ht, n);
      const int64_t reach = int64_t(c) * i;
      if (reach <= ht) {
        if (i == 0) return {};
        const int32_t r = int32_t(reach);
        return TRegion::RoundRect(TRect{0, ht - r, wd + 1, ht + r}, wd, ht);
      }
      return TRegion::RoundRect(TRect{0, 0, wd + 1, 2 * ht}, StraightenedCorner(wd, i, n),
                                StraightenedCorner(ht, i, n));
    }
  }
  return {};
}

// ---- DoShape ------------------------------------------------------------

std::vector<TTriangle> ShapeTriangles(int32_t v, int32_t i, int32_t n, int32_t wd, int32_t ht) {
  const int32_t hw = wd / 2, hh = ht / 2;
  const TPoint c{hw, hh};
  // ceil(size * k / n) for a whole-number multiple k of the frame counter.
  auto part = [n](int32_t size, int64_t k) { return CeilRatio(size * k, n); };
  const int32_t p = part(wd, i), q = part(ht, i), P = part(wd, 2 * int64_t(i)),
                Q = part(ht, 2 * int64_t(i));
  const int64_t i4 = 4 * int64_t(i);
  switch (v) {
    case 1: return {{{{0, 0}, {0, Q}, {P, 0}}}};
    case 2: return {{{{wd, 0}, {wd, Q}, {wd - P, 0}}}};
    case 3: return {{{{wd, ht}, {wd, ht - Q}, {wd - P, ht}}}};
    case 4: return {{{{0, ht}, {0, ht - Q}, {P, ht}}}};
    case 5:  // propeller, clockwise
      return {{{{0, 0}, c, {p, 0}}},
              {{{0, ht}, c, {0, ht - q}}},
              {{{wd, ht}, c, {wd - p, ht}}},
              {{{wd, 0}, c, {wd, q}}}};
    case 6:  // propeller, counter-clockwise
      return {{{{wd, 0}, c, {wd - p, 0}}},
              {{{0, 0}, c, {0, q}}},
              {{{0, ht}, c, {p, ht}}},
              {{{wd, ht}, c, {wd, ht - q}}}};
    case 7:  // clock: one wedge per quarter, the quarters compared as reals
      if (i4 <= n) return {{{{0, 0}, c, {part(wd, i4), 0}}}};
      if (2 * int64_t(i) <= n) return {{{{wd, 0}, c, {wd, part(ht, i4 - n)}}}};
      if (i4 <= 3 * int64_t(n)) return {{{{wd, ht}, c, {wd - part(wd, i4 - 2 * n), ht}}}};
      return {{{{0, ht}, c, {0, ht - part(ht, i4 - 3 * int64_t(n))}}}};
    case 8:  // clock counter-clockwise
      if (i4 <= n) return {{{{0, 0}, c, {0, part(ht, i4)}}}};
      if (2 * int64_t(i) <= n) return {{{{0, ht}, c, {part(wd, i4 - n), ht}}}};
      if (i4 <= 3 * int64_t(n)) return {{{{wd, ht}, c, {wd, ht - part(ht, i4 - 2 * n)}}}};
      return {{{{wd, 0}, c, {wd - part(wd, i4 - 3 * int64_t(n)), 0}}}};
    case 9: {  // chaos star: the frame counter is the angle in radians
      // The moving corners circle the picture's centre, like the fixed one;
      // circling (hw, hw) would push the star off wide pictures.
      const double ri = double(i), rx = double(ht) * ri / n, ry = double(wd) * ri / n;
      const double a = ri, b = ri + std::numbers::pi / 2;
      return {{{c,
                {hw + RoundEven(std::cos(a) * rx), hh + RoundEven(std::sin(a) * ry)},
                {hw + RoundEven(std::cos(b) * rx), hh + RoundEven(std::sin(b) * ry)}}}};
    }
    case 10:  // window washer
      return {{{{0, 0}, {0, ht}, {p, ht - q}}}, {{{wd, ht}, {wd, 0}, {wd - p, q}}}};
    case 11: {  // triangles on a 7 x 7 grid
      const int64_t y3 = 3 * int64_t((n + 1) / 2);
      const int32_t lx = CeilRatio(wd * int64_t(i), y3), ly = CeilRatio(ht * int64_t(i), y3);
      std::vector<TTriangle> tris{{{{0, 0}, {0, ly}, {lx, 0}}}};
      for (int32_t j = 0; j <= 6; ++j)
        for (int32_t k = 0; k <= 6; ++k) {
          const TPoint node{int32_t(int64_t(wd) * j / 6), int32_t(int64_t(ht) * k / 6)};
          tris.push_back({{node, {node.X, node.Y + ly}, {node.X + lx, node.Y}}});
        }
      return tris;
    }
    case 12:
    case 13:
    case 14:
    case 15: {  // quarter clocks: a hand walks the first edge, passes the corner, then the next edge
      const int64_t total = int64_t(wd) + ht;
      const int32_t s = CeilRatio(total * i, n), s0 = CeilRatio(total * (int64_t(i) - 1), n);
      const int32_t edge = (v == 12 || v == 14) ? wd : ht;
      const bool within = s <= edge, passing = s > edge && edge >= s0;
      const int32_t beyond = s - edge;  // ceil(total * i / n - edge)
      switch (v) {
        case 12:
          if (within) return {{{{0, 0}, {0, ht}, {s, 0}}}};
          if (passing) return {{{{0, 0}, {0, ht}, {wd, 0}}}};
          return {{{{wd, 0}, {0, ht}, {wd, beyond}}}};
        case 13:
          if (within) return {{{{wd, ht}, {0, ht}, {wd, ht - s}}}};
          if (passing) return {{{{0, ht}, {wd, ht}, {wd, 0}}}};
          return {{{{wd, 0}, {0, ht}, {wd - beyond, 0}}}};
        case 14:
          if (within) return {{{{wd, ht}, {wd, 0}, {wd - s, ht}}}};
          if (passing) return {{{{wd, ht}, {wd, 0}, {0, ht}}}};
          return {{{{0, ht}, {wd, 0}, {0, ht - beyond}}}};
        default:
          if (within) return {{{{0, 0}, {wd, 0}, {0, s}}}};
          if (passing) return {{{{wd, 0}, {0, 0}, {0, ht}}}};
          return {{{{0, ht}, {wd, 0}, {beyond, ht}}}};
      }
    }
    case 16:  // diamond in: four corners grow inwards
      return {{{{0, 0}, {0, q}, {p, 0}}},
              {{{wd, 0}, {wd, q}, {wd - p, 0}}},
              {{{wd, ht}, {wd, ht - q}, {wd - p, ht}}},
              {{{0, ht}, {0, ht - q}, {p, ht}}}};
    case 17:  // diamond out: four quarters grow from the centre
      return {{{c, {hw, hh - q}, {hw - p, hh}}},
              {{c, {hw, hh - q}, {hw + p, hh}}},
              {{c, {hw, hh + q}, {hw + p, hh}}},
              {{c, {hw, hh + q}, {hw - p, hh}}}};
    case 18:
      return {{{{0, 0}, {0, q}, {p, 0}}}, {{{wd, ht}, {wd, ht - q}, {wd - p, ht}}}};
    case 19:
      return {{{{wd, 0}, {wd, q}, {wd - p, 0}}}, {{{0, ht}, {0, ht - q}, {p, ht}}}};
  }
  return {};
}

// ---- DoRandom -----------------------------------------------------------

// Shuffles by swapping each position with a uniformly drawn one.
template <typename T>
void Shuffle(TTransThread& t, std::vector<T>& list) {
  const int32_t d = int32_t(list.size());
  for (int32_t k = 0; k < d; ++k) std::swap(list[size_t(k)], list[size_t(t.Random(d))]);
}

}  // namespace

void DoEllipse(TTransThread& t, int32_t v) {
  const int32_t n = t.Steps(), wd = t.FWidth, ht = t.FHeight;
  t.FWork = t.FOldPicture;
  // 71 and 72 run while i <= n / 1.5, the others while i <= 1.5 n (reals).
  auto done = [&](int64_t i) { return v <= 2 ? 3 * i > 2 * int64_t(n) : 2 * i > 3 * int64_t(n); };
  TPartCopier copier;
  for (int32_t i = 0; !t.Aborted();) {
    t.BeginFrame();
    // 72 counts down: its box shrinks from the largest size of 71.
    const int32_t shapeI = v == 2 ? RoundEven(n / 1.5 - i) : i;
    TFrameCopy changed;
    copier.Copy(t, 0, EllipseRegion(v, shapeI, n, wd, ht), changed);
    ++i;
    EndFrame(t, changed);
    if (done(i)) break;
  }
}

void DoShape(TTransThread& t, int32_t v) {
  const int32_t n = t.Steps(), wd = t.FWidth, ht = t.FHeight;
  t.FWork = t.FOldPicture;
  const int32_t gridLast = (n + 1) / 2;  // 87 grows its triangles until ceil(n / 2)
  TPartCopier copier;
  for (int32_t i = 0; i <= n && !t.Aborted();) {
    t.BeginFrame();
    if (v == 11 && i > gridLast) i = n + 1;  // one last, larger frame covers the picture
    TFrameCopy changed;
    const std::vector<TTriangle> triangles = ShapeTriangles(v, i, n, wd, ht);
    for (size_t k = 0; k < triangles.size(); ++k)
      copier.Copy(t, k, TriangleRegion(triangles[k]), changed);
    ++i;
    EndFrame(t, changed);
  }
}

void DoRandom(TTransThread& t, int32_t v) {
  const int32_t n = t.Steps(), wd = t.FWidth, ht = t.FHeight;
  if (wd <= 0 || ht <= 0) return;
  t.FWork = t.FOldPicture;
  const int64_t frameLimit = int64_t(n) * n * n;
  if (v <= 2) {  // 96, 97: one strip per frame in random order
    const int32_t d = std::min(n, v == 1 ? ht : wd);
    std::vector<int32_t> strips(static_cast<size_t>(d));
    for (int32_t k = 0; k < d; ++k) strips[size_t(k)] = k;
    Shuffle(t, strips);
    for (int64_t i = 0; i < frameLimit && !strips.empty() && !t.Aborted(); ++i) {
      t.BeginFrame();
      const int64_t e = strips.back();
      strips.pop_back();
      const TRect strip = v == 1 ? TRect{0, int32_t(ht * e / d), wd, int32_t(ht * (e + 1) / d)}
                                 : TRect{int32_t(wd * e / d), 0, int32_t(wd * (e + 1) / d), ht};
      TFrameCopy changed;
      CopyThrough(t, TRegion::FromRect(strip), changed);
      EndFrame(t, changed);
    }
    return;
  }
  // 98-100: cells of a d x d grid, or ellipses two cells wide on its nodes.
  // Small pictures would give d = 0; a grid needs at least one cell.
  const int32_t d = std::max(1, v == 3 ? std::min(n, ht / 4) : v == 4 ? std::min(n, ht / 8) : 10);
  const size_t perFrame = v == 5 ? 1 : size_t(std::max(1, d / 4 * 4));
  std::vector<TPoint> nodes;
  nodes.reserve(size_t(d + 1) * size_t(d + 1));
  for (int32_t y = 0; y <= d; ++y)
    for (int32_t x = 0; x <= d; ++x) nodes.push_back({x, y});
  Shuffle(t, nodes);
  auto at = [d](int32_t size, int32_t k) { return int32_t(int64_t(size) * k / d); };
  for (int64_t i = 0; i < frameLimit && !nodes.empty() && !t.Aborted(); ++i) {
    t.BeginFrame();
    TFrameCopy changed;
    for (size_t k = 0; k < perFrame && !nodes.empty(); ++k) {
      const TPoint node = nodes.back();
      nodes.pop_back();
      const int32_t x = node.X, y = node.Y;
      if (v == 3)
        CopyThrough(t, TRegion::FromRect(TRect{at(wd, x), at(ht, y), at(wd, x + 1), at(ht, y + 1)}),
                    changed);
      else
        CopyThrough(t,
                    TRegion::Ellipse(
                        TRect{at(wd, x - 1), at(ht, y - 1), at(wd, x + 1), at(ht, y + 1)}),
                    changed);
    }
    EndFrame(t, changed);
  }
}

}  // namespace saver
