#include "graphics/region.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace saver {

namespace {

const std::vector<TSpan> kNoSpans;

int32_t ClampCoord(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, -kRegionLimit, kRegionLimit));
}

// Appends [left, right) clipped to the coordinate range; merges with a touching last span.
void PushSpan(std::vector<TSpan>& row, int64_t left, int64_t right) {
  const int32_t l = ClampCoord(left), r = ClampCoord(right);
  if (l >= r) return;
  if (!row.empty() && l <= row.back().Right) {
    row.back().Right = std::max(row.back().Right, r);
    return;
  }
  row.push_back({l, r});
}

// A rectangle with its corners put in order, wide enough for any int32 corners.
struct TBox {
  int64_t Left, Top, Right, Bottom;
  int64_t Width() const { return Right - Left; }
  int64_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
};

TBox Normalised(const TRect& r) {
  return TBox{std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
              std::max(r.Top, r.Bottom)};
}

// Columns [x, w - x) of row k of the ellipse inscribed in a w x h box at the origin; returns x.
// In doubled coordinates about the centre, px = 2x + 1 - w and py = 2k + 1 - h, a pixel centre
// is inside when px^2 h^2 + py^2 w^2 <= w^2 h^2.
int64_t EllipseRowInset(int64_t w, int64_t h, int64_t k) {
  const int64_t py = 2 * k + 1 - h;
  if (py >= -1 && py <= 1) return 0;  // the horizontal axis always spans the full width
  const long double ratio = (long double)(h - py) * (long double)(h + py);
  int64_t m = int64_t(std::floor(std::sqrt(ratio) * (long double)w / (long double)h));
  m = std::clamp<int64_t>(m, 0, w);
  if (w <= (int64_t(1) << 30) && h <= (int64_t(1) << 30)) {
    // Settle the rounding of the estimate exactly.
    const __int128 w2 = __int128(w) * w, h2 = __int128(h) * h, rhs = w2 * h2 - __int128(py) * py * w2;
    auto inside = [&](int64_t px) { return __int128(px) * px * h2 <= rhs; };
    while (m > 0 && !inside(m)) --m;
    while (m < w && inside(m + 1)) ++m;
  }
  if ((m - (w + 1)) % 2 != 0) --m;  // px has the parity of w + 1
  m = std::max<int64_t>(m, (w + 1) % 2);  // the vertical axis always belongs to the ellipse
  return (w - 1 - m) / 2;
}

// The rectangle b with its corners cut by the quarters of an ew x eh ellipse.
TRegion RoundedBox(const TBox& b, int64_t ew, int64_t eh);

enum class TCombineOp { Union, Intersect, Xor, Subtract };

bool Apply(TCombineOp op, bool a, bool b) {
  switch (op) {
    case TCombineOp::Union: return a || b;
    case TCombineOp::Intersect: return a && b;
    case TCombineOp::Xor: return a != b;
    case TCombineOp::Subtract: return a && !b;
  }
  return false;
}

// Merges two sorted span lists by sweeping their boundaries left to right.
void CombineRow(const std::vector<TSpan>& a, const std::vector<TSpan>& b, TCombineOp op,
                std::vector<TSpan>& out) {
  constexpr int64_t kEnd = std::numeric_limits<int64_t>::max();
  size_t i = 0, j = 0;
  bool inA = false, inB = false, in = false;
  int32_t start = 0;
  auto nextA = [&]() -> int64_t { return i < a.size() ? (inA ? a[i].Right : a[i].Left) : kEnd; };
  auto nextB = [&]() -> int64_t { return j < b.size() ? (inB ? b[j].Right : b[j].Left) : kEnd; };
  for (;;) {
    const int64_t x = std::min(nextA(), nextB());
    if (x == kEnd) break;
    while (nextA() == x) {
      if (inA) ++i;
      inA = !inA;
    }
    while (nextB() == x) {
      if (inB) ++j;
      inB = !inB;
    }
    const bool now = Apply(op, inA, inB);
    if (now && !in) start = int32_t(x);
    if (!now && in) out.push_back({start, int32_t(x)});
    in = now;
  }
}

struct TEdge {
  int64_t X0, Y0, X1, Y1;  // Y0 < Y1
  int Dir;                 // +1 when the polygon runs downward along it
};

// First pixel column whose centre is at or right of the edge's crossing with row y's centre
// line: ceil(crossingX - 0.5), computed exactly.
int64_t CrossingColumn(const TEdge& e, int64_t y) {
  const __int128 dy = e.Y1 - e.Y0, dx = e.X1 - e.X0;
  const __int128 num = 2 * dy * e.X0 + (2 * (y - e.Y0) + 1) * dx - dy, den = 2 * dy;
  __int128 q = num / den;
  if (num % den != 0 && num > 0) ++q;
  return int64_t(std::clamp<__int128>(q, -2 * int64_t(kRegionLimit), 2 * int64_t(kRegionLimit)));
}

}  // namespace

// Collects rows top to bottom and trims empty rows at both ends.
class TRegionBuilder {
 public:
  explicit TRegionBuilder(int32_t top, size_t rowsHint = 0) {
    region_.top_ = top;
    region_.rows_.reserve(rowsHint);
  }
  std::vector<TSpan>& NextRow() { return region_.rows_.emplace_back(); }
  TRegion Finish() {
    auto& rows = region_.rows_;
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    size_t lead = 0;
    while (lead < rows.size() && rows[lead].empty()) ++lead;
    rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(lead));
    region_.top_ = rows.empty() ? 0 : region_.top_ + int32_t(lead);
    return std::move(region_);
  }

 private:
  TRegion region_;
};

namespace {

TRegion RoundedBox(const TBox& b, int64_t ew, int64_t eh) {
  const int64_t first = std::max<int64_t>(b.Top, -kRegionLimit);
  const int64_t last = std::min<int64_t>(b.Bottom, kRegionLimit);
  if (b.IsEmpty() || first >= last) return {};
  ew = std::clamp<int64_t>(ew, 0, b.Width());
  eh = std::clamp<int64_t>(eh, 0, b.Height());
  const bool square = ew <= 1 || eh <= 1;
  TRegionBuilder out{int32_t(first), size_t(last - first)};
  for (int64_t y = first; y < last; ++y) {
    const int64_t fromTop = y - b.Top, fromBottom = b.Bottom - 1 - y;
    int64_t inset = 0;
    if (!square && fromTop < eh / 2)
      inset = EllipseRowInset(ew, eh, fromTop);
    else if (!square && fromBottom < eh / 2)
      inset = EllipseRowInset(ew, eh, eh - 1 - fromBottom);
    PushSpan(out.NextRow(), b.Left + inset, b.Right - inset);
  }
  return out.Finish();
}

TRegion Combine(const TRegion& a, const TRegion& b, TCombineOp op) {
  if (a.IsEmpty() || b.IsEmpty()) {
    if (op == TCombineOp::Intersect) return {};
    if (a.IsEmpty()) return op == TCombineOp::Subtract ? TRegion{} : b;
    return a;
  }
  int32_t first = a.Top(), last = a.Bottom();
  if (op == TCombineOp::Union || op == TCombineOp::Xor) {
    first = std::min(first, b.Top());
    last = std::max(last, b.Bottom());
  } else if (op == TCombineOp::Intersect) {
    first = std::max(first, b.Top());
    last = std::min(last, b.Bottom());
  }
  if (first >= last) return {};
  TRegionBuilder out{first, size_t(last - first)};
  for (int32_t y = first; y < last; ++y) CombineRow(a.Row(y), b.Row(y), op, out.NextRow());
  return out.Finish();
}

}  // namespace

TRegion TRegion::FromRect(const TRect& r) { return RoundedBox(Normalised(r), 0, 0); }

TRegion TRegion::RoundRect(const TRect& r, int32_t ellipseW, int32_t ellipseH) {
  return RoundedBox(Normalised(r), ellipseW, ellipseH);
}

TRegion TRegion::Ellipse(const TRect& r) {
  const TBox b = Normalised(r);
  return RoundedBox(b, b.Width(), b.Height());
}

TRegion TRegion::Polygon(const std::vector<TPoint>& points, TFillMode mode) {
  std::vector<TEdge> edges;
  int64_t minY = std::numeric_limits<int64_t>::max(), maxY = std::numeric_limits<int64_t>::min();
  for (size_t i = 0; i < points.size() && points.size() >= 3; ++i) {
    const TPoint p = points[i], q = points[(i + 1) % points.size()];
    if (p.Y == q.Y) continue;  // horizontal edges never cross a row's centre line
    if (p.Y < q.Y)
      edges.push_back({p.X, p.Y, q.X, q.Y, +1});
    else
      edges.push_back({q.X, q.Y, p.X, p.Y, -1});
    minY = std::min<int64_t>(minY, std::min(p.Y, q.Y));
    maxY = std::max<int64_t>(maxY, std::max(p.Y, q.Y));
  }
  if (edges.empty()) return {};
  const int64_t first = std::max<int64_t>(minY, -kRegionLimit);
  const int64_t last = std::min<int64_t>(maxY, kRegionLimit);
  if (first >= last) return {};
  std::sort(edges.begin(), edges.end(), [](const TEdge& a, const TEdge& b) { return a.Y0 < b.Y0; });

  TRegionBuilder out{int32_t(first), size_t(last - first)};
  std::vector<const TEdge*> active;
  std::vector<std::pair<int64_t, int>> crossings;
  size_t next = 0;
  for (int64_t y = first; y < last; ++y) {
    while (next < edges.size() && edges[next].Y0 <= y) active.push_back(&edges[next++]);
    std::erase_if(active, [y](const TEdge* e) { return e->Y1 <= y; });
    crossings.clear();
    for (const TEdge* e : active) crossings.emplace_back(CrossingColumn(*e, y), e->Dir);
    std::sort(crossings.begin(), crossings.end());
    auto& row = out.NextRow();
    int winding = 0;
    int64_t start = 0;
    auto inside = [&] { return mode == TFillMode::Winding ? winding != 0 : (winding & 1) != 0; };
    for (const auto& [x, dir] : crossings) {
      const bool before = inside();
      winding += dir;
      const bool after = inside();
      if (after && !before) start = x;
      if (before && !after) PushSpan(row, start, x);
    }
  }
  return out.Finish();
}

TRegion TRegion::Union(const TRegion& other) const {
  return Combine(*this, other, TCombineOp::Union);
}
TRegion TRegion::Intersect(const TRegion& other) const {
  return Combine(*this, other, TCombineOp::Intersect);
}
TRegion TRegion::Xor(const TRegion& other) const { return Combine(*this, other, TCombineOp::Xor); }
TRegion TRegion::Subtract(const TRegion& other) const {
  return Combine(*this, other, TCombineOp::Subtract);
}

void TRegion::Offset(int32_t dx, int32_t dy) {
  if (IsEmpty()) return;
  const TRect box = BoundingBox();
  const bool staysInRange = int64_t(box.Left) + dx >= -kRegionLimit &&
                            int64_t(box.Right) + dx <= kRegionLimit &&
                            int64_t(box.Top) + dy >= -kRegionLimit &&
                            int64_t(box.Bottom) + dy <= kRegionLimit;
  if (staysInRange) {
    top_ += dy;
    for (auto& row : rows_)
      for (auto& span : row) {
        span.Left += dx;
        span.Right += dx;
      }
    return;
  }
  // Moved partly or wholly out of range: rebuild what remains, clipped.
  const int64_t first = std::max<int64_t>(int64_t(top_) + dy, -kRegionLimit);
  const int64_t last = std::min<int64_t>(int64_t(Bottom()) + dy, kRegionLimit);
  if (first >= last) {
    *this = TRegion{};
    return;
  }
  TRegionBuilder out{int32_t(first), size_t(last - first)};
  for (int64_t y = first; y < last; ++y) {
    auto& row = out.NextRow();
    for (const TSpan& s : Row(int32_t(y - dy))) PushSpan(row, int64_t(s.Left) + dx, int64_t(s.Right) + dx);
  }
  *this = out.Finish();
}

TRect TRegion::BoundingBox() const {
  if (IsEmpty()) return TRect{};
  int32_t left = std::numeric_limits<int32_t>::max(), right = std::numeric_limits<int32_t>::min();
  for (const auto& row : rows_) {
    if (row.empty()) continue;
    left = std::min(left, row.front().Left);
    right = std::max(right, row.back().Right);
  }
  return TRect{left, top_, right, Bottom()};
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  const auto& row = Row(y);
  auto it = std::upper_bound(row.begin(), row.end(), x,
                             [](int32_t v, const TSpan& s) { return v < s.Left; });
  return it != row.begin() && x < std::prev(it)->Right;
}

int64_t TRegion::Area() const {
  int64_t area = 0;
  for (const auto& row : rows_)
    for (const auto& s : row) area += s.Right - s.Left;
  return area;
}

const std::vector<TSpan>& TRegion::Row(int32_t y) const {
  if (y < top_ || y >= Bottom()) return kNoSpans;
  return rows_[size_t(y - top_)];
}

namespace {

// Calls fn(y, left, right) for every span piece of region inside [0, width) x [0, height).
template <typename Fn>
void ForEachClippedSpan(const TRegion& region, int32_t width, int32_t height, Fn fn) {
  const int32_t first = std::max(region.Top(), 0), last = std::min(region.Bottom(), height);
  for (int32_t y = first; y < last; ++y)
    for (const TSpan& s : region.Row(y)) {
      const int32_t l = std::max(s.Left, 0), r = std::min(s.Right, width);
      if (l < r) fn(y, l, r);
    }
}

}  // namespace

void CopyThroughRegion(const TBitmap32& src, TBitmap32& dst, const TRegion& region) {
  ForEachClippedSpan(region, std::min(src.Width(), dst.Width()),
                     std::min(src.Height(), dst.Height()), [&](int32_t y, int32_t l, int32_t r) {
                       std::memcpy(dst.ScanLine(y) + l, src.ScanLine(y) + l,
                                   size_t(r - l) * sizeof(TColor32));
                     });
}

void FillRegion(TBitmap32& dst, const TRegion& region, TColor32 color) {
  ForEachClippedSpan(region, dst.Width(), dst.Height(), [&](int32_t y, int32_t l, int32_t r) {
    FillPixels(dst.ScanLine(y) + l, size_t(r - l), color);
  });
}

}  // namespace saver
