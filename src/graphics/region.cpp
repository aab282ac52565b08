#include "graphics/region.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "graphics/pixel_kernels.h"

namespace saver {

namespace {

int32_t ClampCoord(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, -kRegionLimit, kRegionLimit));
}

}  // namespace

// Collects rows top to bottom and trims empty rows at both ends.
class TRegionBuilder {
 public:
  explicit TRegionBuilder(int32_t top, size_t rowsHint = 0) {
    region_.top_ = top;
    region_.rowStart_.reserve(rowsHint + 1);
    region_.spans_.reserve(rowsHint);
  }

  void NextRow() { region_.rowStart_.push_back(uint32_t(region_.spans_.size())); }

  // Appends [left, right) to the current row, clipped to the coordinate range; merges with a
  // touching last span of the row. Spans arrive left to right.
  void Push(int64_t left, int64_t right) {
    const int32_t l = ClampCoord(left), r = ClampCoord(right);
    if (l >= r) return;
    auto& spans = region_.spans_;
    if (spans.size() > region_.rowStart_.back() && l <= spans.back().Right) {
      spans.back().Right = std::max(spans.back().Right, r);
      return;
    }
    spans.push_back({l, r});
  }

  TRegion Finish() {
    auto& starts = region_.rowStart_;
    const size_t total = region_.spans_.size();
    // Row i is empty when its start equals the next row's start (or the end).
    size_t last = starts.size();
    while (last > 0 && starts[last - 1] == total) --last;
    size_t lead = 0;
    while (lead < last && starts[lead] == (lead + 1 < starts.size() ? starts[lead + 1] : total))
      ++lead;
    if (lead >= last) return TRegion{};
    starts.resize(last);
    starts.push_back(uint32_t(total));
    starts.erase(starts.begin(), starts.begin() + std::ptrdiff_t(lead));
    region_.top_ += int32_t(lead);
    return std::move(region_);
  }

 private:
  TRegion region_;
};

namespace {

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
    const __int128 w2 = __int128(w) * w, h2 = __int128(h) * h,
                   rhs = w2 * h2 - __int128(py) * py * w2;
    auto inside = [&](int64_t px) { return __int128(px) * px * h2 <= rhs; };
    while (m > 0 && !inside(m)) --m;
    while (m < w && inside(m + 1)) ++m;
  }
  if ((m - (w + 1)) % 2 != 0) --m;        // px has the parity of w + 1
  m = std::max<int64_t>(m, (w + 1) % 2);  // the vertical axis always belongs to the ellipse
  return (w - 1 - m) / 2;
}

// The rectangle b with its corners cut by the quarters of an ew x eh ellipse.
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
    out.NextRow();
    out.Push(b.Left + inset, b.Right - inset);
  }
  return out.Finish();
}

enum class TCombineOp { Union, Intersect, Xor, Subtract };

bool Apply(TCombineOp op, bool a, bool b) {
  switch (op) {
    case TCombineOp::Union:
      return a || b;
    case TCombineOp::Intersect:
      return a && b;
    case TCombineOp::Xor:
      return a != b;
    case TCombineOp::Subtract:
      return a && !b;
  }
  return false;
}

// Merges two sorted span lists by sweeping their boundaries left to right.
void CombineRow(std::span<const TSpan> a, std::span<const TSpan> b, TCombineOp op,
                TRegionBuilder& out) {
  constexpr int64_t kEnd = std::numeric_limits<int64_t>::max();
  size_t i = 0, j = 0;
  bool inA = false, inB = false, in = false;
  int64_t start = 0;
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
    if (now && !in) start = x;
    if (!now && in) out.Push(start, x);
    in = now;
  }
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
  for (int32_t y = first; y < last; ++y) {
    out.NextRow();
    CombineRow(a.Row(y), b.Row(y), op, out);
  }
  return out.Finish();
}

// A polygon edge walked down row by row. Its crossing with the centre line of row y is
// x(y) = X0 + (y + 0.5 - Y0) * dx / dy, and the first pixel whose centre is at or right of
// it is ceil(x(y) - 0.5) = ceil(num / den) with den = 2 dy and
// num = 2 dy X0 + (2 (y - Y0) + 1) dx - dy, which grows by 2 dx per row. The quotient and
// remainder of num / den are stepped exactly, without dividing per row.
class TEdgeWalker {
 public:
  TEdgeWalker(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int dir, int64_t firstRow)
      : Bottom(y1), Dir(dir), den_(2 * (y1 - y0)) {
    const __int128 dx = x1 - x0, dy = y1 - y0;
    const __int128 num = 2 * dy * x0 + (2 * (firstRow - y0) + 1) * dx - dy;
    Split(num, quotient_, remainder_);
    __int128 stepQ, stepR;
    Split(2 * dx, stepQ, stepR);
    stepQuotient_ = int64_t(stepQ);
    stepRemainder_ = int64_t(stepR);
  }

  // ceil(num / den) for the current row.
  int64_t Column() const { return quotient_ + (remainder_ > 0 ? 1 : 0); }

  void Step() {
    quotient_ += stepQuotient_;
    remainder_ += stepRemainder_;
    if (remainder_ >= den_) {
      remainder_ -= den_;
      ++quotient_;
    }
  }

  int64_t Bottom;  // first row below the edge
  int Dir;         // +1 where the polygon runs downward along the edge

 private:
  // value = q * den + r with 0 <= r < den (floor division).
  void Split(__int128 value, __int128& q, __int128& r) const {
    q = value / den_;
    r = value % den_;
    if (r < 0) {
      r += den_;
      --q;
    }
  }
  void Split(__int128 value, int64_t& q, int64_t& r) const {
    __int128 wq, wr;
    Split(value, wq, wr);
    q = int64_t(wq);
    r = int64_t(wr);
  }

  int64_t den_;
  int64_t quotient_ = 0, remainder_ = 0, stepQuotient_ = 0, stepRemainder_ = 0;
};

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
  struct TEdge {
    int64_t X0, Y0, X1, Y1;  // Y0 < Y1
    int Dir;
  };
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
  std::vector<TEdgeWalker> active;
  std::vector<std::pair<int64_t, int>> crossings;
  size_t next = 0;
  for (int64_t y = first; y < last; ++y) {
    for (; next < edges.size() && edges[next].Y0 <= y; ++next) {
      const TEdge& e = edges[next];
      if (e.Y1 > y) active.emplace_back(e.X0, e.Y0, e.X1, e.Y1, e.Dir, y);
    }
    std::erase_if(active, [y](const TEdgeWalker& e) { return e.Bottom <= y; });
    crossings.clear();
    for (TEdgeWalker& e : active) {
      crossings.emplace_back(e.Column(), e.Dir);
      e.Step();
    }
    std::sort(crossings.begin(), crossings.end());
    out.NextRow();
    int winding = 0;
    int64_t start = 0;
    auto inside = [&] { return mode == TFillMode::Winding ? winding != 0 : (winding & 1) != 0; };
    for (const auto& [x, dir] : crossings) {
      const bool before = inside();
      winding += dir;
      const bool after = inside();
      if (after && !before) start = x;
      if (before && !after) out.Push(start, x);
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
  const bool staysInRange =
      int64_t(box.Left) + dx >= -kRegionLimit && int64_t(box.Right) + dx <= kRegionLimit &&
      int64_t(box.Top) + dy >= -kRegionLimit && int64_t(box.Bottom) + dy <= kRegionLimit;
  if (staysInRange) {
    top_ += dy;
    for (TSpan& span : spans_) {
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
    out.NextRow();
    for (const TSpan& s : Row(int32_t(y - dy)))
      out.Push(int64_t(s.Left) + dx, int64_t(s.Right) + dx);
  }
  *this = out.Finish();
}

TRect TRegion::BoundingBox() const {
  if (IsEmpty()) return TRect{};
  int32_t left = std::numeric_limits<int32_t>::max(), right = std::numeric_limits<int32_t>::min();
  for (int32_t i = 0; i < RowCount(); ++i) {
    if (rowStart_[size_t(i)] == rowStart_[size_t(i) + 1]) continue;
    left = std::min(left, spans_[rowStart_[size_t(i)]].Left);
    right = std::max(right, spans_[rowStart_[size_t(i) + 1] - 1].Right);
  }
  return TRect{left, top_, right, Bottom()};
}

bool TRegion::Contains(int32_t x, int32_t y) const {
  const auto row = Row(y);
  auto it = std::upper_bound(row.begin(), row.end(), x,
                             [](int32_t v, const TSpan& s) { return v < s.Left; });
  return it != row.begin() && x < std::prev(it)->Right;
}

int64_t TRegion::Area() const {
  int64_t area = 0;
  for (const TSpan& s : spans_) area += s.Right - s.Left;
  return area;
}

std::span<const TSpan> TRegion::Row(int32_t y) const {
  if (y < top_ || y >= Bottom()) return {};
  const size_t i = size_t(y - top_);
  return std::span<const TSpan>(spans_.data() + rowStart_[i], rowStart_[i + 1] - rowStart_[i]);
}

namespace {

// Calls fn(y, left, right) for every span piece of region inside [0, width) x [top, bottom).
template <typename Fn>
void ForEachClippedSpan(const TRegion& region, int32_t width, int32_t top, int32_t bottom,
                        Fn fn) {
  const int32_t first = std::max(region.Top(), top), last = std::min(region.Bottom(), bottom);
  for (int32_t y = first; y < last; ++y)
    for (const TSpan& s : region.Row(y)) {
      const int32_t l = std::max(s.Left, 0), r = std::min(s.Right, width);
      if (l < r) fn(y, l, r);
    }
}

}  // namespace

void CopyThroughRegion(const TBitmap32& src, TBitmap32& dst, const TRegion& region,
                       int32_t top, int32_t bottom, bool stream) {
  const int32_t width = std::min(src.Width(), dst.Width());
  const bool sameStride = src.Width() == dst.Width();
  const TPixelKernels& k = PixelKernels();
  // Spans this long go out with non-temporal stores when streaming; shorter ones are not
  // worth a fence.
  constexpr size_t kStreamSpan = 1024;
  auto copy = [&](TColor32* to, const TColor32* from, size_t n) {
    if (stream && n >= kStreamSpan)
      k.CopyStream(to, from, n);
    else
      std::memcpy(to, from, n * sizeof(TColor32));
  };
  // Consecutive rows covered across the whole width are one block of memory: copy them in
  // one go, which lets the library stream large blocks.
  int32_t blockTop = 0, blockRows = 0;
  auto flush = [&] {
    if (blockRows > 0)
      copy(dst.ScanLine(blockTop), src.ScanLine(blockTop), size_t(blockRows) * size_t(width));
    blockRows = 0;
  };
  ForEachClippedSpan(region, width, std::max(top, 0), std::min({bottom, src.Height(), dst.Height()}),
                     [&](int32_t y, int32_t l, int32_t r) {
                       if (sameStride && l == 0 && r == width) {
                         if (blockRows > 0 && blockTop + blockRows == y) {
                           ++blockRows;
                           return;
                         }
                         flush();
                         blockTop = y;
                         blockRows = 1;
                         return;
                       }
                       flush();
                       copy(dst.ScanLine(y) + l, src.ScanLine(y) + l, size_t(r - l));
                     });
  flush();
}

void CopyThroughRegions(const TBitmap32& src, TBitmap32& dst,
                        std::span<const TRegion* const> regions, int32_t top, int32_t bottom,
                        bool stream) {
  if (regions.size() == 1) {
    CopyThroughRegion(src, dst, *regions[0], top, bottom, stream);
    return;
  }
  const int32_t width = std::min(src.Width(), dst.Width());
  top = std::max(top, 0);
  bottom = std::min({bottom, src.Height(), dst.Height()});
  const TPixelKernels& k = PixelKernels();
  constexpr size_t kStreamSpan = 1024;
  std::vector<TSpan> row;
  for (int32_t y = top; y < bottom; ++y) {
    // The row's spans of every region, sorted and merged: each pixel is copied once.
    row.clear();
    for (const TRegion* region : regions)
      for (const TSpan& s : region->Row(y)) {
        const int32_t l = std::max(s.Left, 0), r = std::min(s.Right, width);
        if (l < r) row.push_back({l, r});
      }
    if (row.empty()) continue;
    std::sort(row.begin(), row.end(), [](const TSpan& a, const TSpan& b) { return a.Left < b.Left; });
    TColor32* to = dst.ScanLine(y);
    const TColor32* from = src.ScanLine(y);
    TSpan run = row[0];
    auto copy = [&] {
      const size_t n = size_t(run.Right - run.Left);
      if (stream && n >= kStreamSpan)
        k.CopyStream(to + run.Left, from + run.Left, n);
      else
        std::memcpy(to + run.Left, from + run.Left, n * sizeof(TColor32));
    };
    for (size_t i = 1; i < row.size(); ++i) {
      if (row[i].Left <= run.Right) {
        run.Right = std::max(run.Right, row[i].Right);
      } else {
        copy();
        run = row[i];
      }
    }
    copy();
  }
}

void FillRegion(TBitmap32& dst, const TRegion& region, TColor32 color) {
  ForEachClippedSpan(region, dst.Width(), 0, dst.Height(), [&](int32_t y, int32_t l, int32_t r) {
    FillPixels(dst.ScanLine(y) + l, size_t(r - l), color);
  });
}

}  // namespace saver
