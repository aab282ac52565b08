// Unfold effects 23-64 and line-drop effects 65-68: moving windows reveal
// the incoming picture in place; nothing is erased.
#include <algorithm>
#include <array>
#include <vector>

#include "graphics/pixel_kernels.h"

#include "trans/effects.h"
#include "trans/piece_variants.h"
#include "trans/rounding.h"
#include "trans/trans_thread.h"

namespace saver {

std::vector<TFold> MakeUnfoldVariant(int32_t variant, int32_t Wd, int32_t Ht, int32_t N) {
  std::vector<TFold> p;
  auto add = [&](int32_t x0, int32_t y0, int32_t w, int32_t h, double dx, double dy,
                 int32_t steps) { p.emplace_back().Init(x0, y0, w, h, steps, dx, dy, Wd, Ht); };
  using Real = long double;
  const double a = double(Wd) / N, b = double(Ht) / N;
  const int32_t ca = Ceil(a), cb = Ceil(b);
  const int32_t hw = Wd / 2, hh = Ht / 2;
  // Line pairs: half-step-wide windows; the count is capped by half the
  // picture size (at least 1, so that a one-pixel picture still divides).
  auto lineSteps = [&](int32_t half) { return std::max(1, std::min(N, half)); };
  const int32_t effect = variant + 22;
  switch (effect) {
    case 23: add(0, 0, ca, Ht, a, 0, N); break;
    case 24: add(Wd, 0, -ca, Ht, -a, 0, N + 1); break;
    case 25: add(0, 0, Wd, cb, 0, b, N); break;
    case 26: add(0, Ht, Wd, -cb, 0, -b, N + 1); break;
    case 27:
      add(0, -Ht, ca, Ht, a, b, N);
      add(-Wd, 0, Wd + ca, cb, a, b, N);
      break;
    case 28:
      add(Wd, -Ht, -ca, Ht, -a, b, N + 1);
      add(2 * Wd, 0, -Wd - ca, cb, -a, b, N + 1);
      break;
    case 29:
      add(Wd, 2 * Ht, -ca, -Ht, -a, -b, N + 1);
      add(2 * Wd, Ht, -Wd - ca, -cb, -a, -b, N + 1);
      break;
    case 30:
      add(0, 2 * Ht, ca, -Ht, a, -b, N + 1);
      add(-Wd, Ht, Wd + ca, -cb, a, -b, N + 1);
      break;
    case 31: {
      const double d = double(Wd) / (2.0 * N);
      add(0, 0, Ceil(d), Ht, d, 0, N);
      add(Wd, 0, -Ceil(d), Ht, -d, 0, N + 1);
      break;
    }
    case 32:
      add(Wd / 2, 0, Ceil(a / 2), Ht, a / 2, 0, N);
      add(Wd / 2, 0, -Ceil(a / 2), Ht, -a / 2, 0, N + 1);
      break;
    case 33:
      add(-hw, -hh, hw, hh, a / 2, b / 2, N + 1);
      add(Wd + hw, Ht + hh, -hw, -hh, -a / 2, -b / 2, N + 1);
      add(Wd + hw, -hh, -hw, hh, -a / 2, b / 2, N + 2);
      add(-hw, Ht + hh, hw, -hh, a / 2, -b / 2, N + 2);
      break;
    case 34: {
      const int32_t cw = Ceil(Wd / 2.0L), ch = Ceil(Ht / 2.0L);
      add(0, 0, Ceil(a / 2), ch, a / 2, 0, N + 1);
      add(Wd / 2, 0, cw, Ceil(b / 2), 0, b / 2, N + 1);
      add(Wd, Ht / 2, Ceil(a / 2), ch, -a / 2, 0, N + 1);
      add(0, Ht, cw, Ceil(b / 2), 0, -b / 2, N + 1);
      break;
    }
    case 35:
      for (int32_t i = 1; i <= 10; ++i) {
        const int32_t e = i - 1, x0 = RoundEven(Real(Wd) * e / 10), w = Ceil(Wd / 10.0L);
        if (i % 2) add(x0, 0, w, cb, 0, b, N);
        else add(x0, Ht, w, -cb, 0, -b, N + 1);
      }
      break;
    case 36:
      for (int32_t e = 0; e <= 9; ++e)
        add(RoundEven(Real(Wd) * e / 10), RoundEven(Real(-Ht) * e / 2), Ceil(Wd / 10.0L), cb, 0, b,
            e * (N / 2) + N);
      break;
    case 37:
      for (int32_t i = 1; i <= 10; ++i) {
        const int32_t e = i - 1, y0 = RoundEven(Real(Ht) * e / 10), h = Ceil(Ht / 10.0L);
        if (i % 2) add(0, y0, ca, h, a, 0, N);
        else add(Wd, y0, -ca, h, -a, 0, N + 1);
      }
      break;
    case 38:
      for (int32_t e = 0; e <= 9; ++e)
        add(RoundEven(Real(-Wd) * e / 2), RoundEven(Real(Ht) * e / 10), ca, Ceil(Ht / 10.0L), a, 0,
            e * (N / 2) + N);
      break;
    case 39:
      add(0, 0, Wd / 2, cb, 0, b, N);
      add(Wd / 2, Ht, Wd, -cb, 0, -b, N + 1);
      break;
    case 40:
      add(0, 0, ca, Ht / 2, a, 0, N);
      add(Wd, Ht / 2, -ca, Ht, -a, 0, N + 1);
      break;
    case 41:
    case 42: {
      auto s = [&](int32_t e) { return RoundEven(0.15L * N * e + N); };
      if (effect == 41) {
        const int32_t w = Ceil(a + 1), h = Ceil(Ht / 10.0L);
        for (int32_t e = 0; e <= 9; ++e)
          add(RoundEven(Real(-Wd) * e / 4), Ht * e / 10, w, h, a, 0, s(e));
        for (int32_t i = 1; i <= 10; ++i)
          add(RoundEven(Real(Wd) * i - 0.75L * Wd * (i - 1)), Ht * (11 - i) / 10, -w, h, -a, 0,
              s(i - 1));
      } else {
        const int32_t w = Ceil(Wd / 10.0L);
        for (int32_t e = 0; e <= 9; ++e)
          add(Wd * e / 10, RoundEven(Real(-Ht) * e / 4), w, Ceil(b + 1), 0, b, s(e));
        for (int32_t i = 1; i <= 10; ++i)
          add(Wd * (11 - i) / 10, RoundEven(Real(Ht) * i - 0.75L * Ht * (i - 1)), w, -cb, 0, -b,
              s(i - 1));
      }
      break;
    }
    case 43:
    case 45: {
      const int32_t M = lineSteps(Wd / 2);
      const double d = double(Wd) / M;
      add(0, 0, Ceil(d / 2), Ht, d, 0, M);
      if (effect == 43) add(Wd, 0, -Ceil(d / 2), Ht, -d, 0, M);
      else add(2 * Wd, 0, -Ceil(d / 2 + 1), Ht, -d, 0, 2 * M);
      break;
    }
    case 44:
    case 46: {
      const int32_t M = lineSteps(Ht / 2);
      const double d = double(Ht) / M;
      add(0, 0, Wd, Ceil(d / 2), 0, d, M);
      if (effect == 44) add(0, Ht, Wd, -Ceil(d / 2), 0, -d, M);
      else add(0, 2 * Ht, Wd, -Ceil(d / 2 + 1), 0, -d, 2 * M);
      break;
    }
    case 47: case 48: case 49: case 50: case 51:
    case 52: case 53: case 54: case 55: case 56: {
      // 32 strips; odd and even strips come from the sides the name says.
      const bool rows = effect <= 51;
      const int32_t size = rows ? Wd : Ht, thick = rows ? Ceil(Ht / 32.0L) : Ceil(Wd / 32.0L);
      const double d = rows ? a : b;
      const int32_t c = rows ? ca : cb;
      struct TStart { int32_t Pos, Extent; double Speed; int32_t Steps; };
      const TStart fromStart{0, c, d, N}, fromEnd{size, -c, -d, N + 1};
      const TStart lateStart{-size, c, d, 2 * N}, lateEnd{2 * size, -c, -d, 2 * N + 1};
      TStart odd{}, even{};
      switch ((effect - 47) % 5) {
        case 0: odd = fromStart; even = lateStart; break;
        case 1: odd = fromEnd; even = lateEnd; break;
        case 2: odd = fromStart; even = lateEnd; break;
        case 3: odd = fromEnd; even = lateStart; break;
        case 4: odd = fromStart; even = fromEnd; break;
      }
      for (int32_t i = 1; i <= 32; ++i) {
        const TStart& m = i % 2 ? odd : even;
        const int32_t across = (i - 1) * thick;
        if (rows) add(m.Pos, across, m.Extent, thick, m.Speed, 0, m.Steps);
        else add(across, m.Pos, thick, m.Extent, 0, m.Speed, m.Steps);
      }
      break;
    }
    case 57: case 58: case 59: case 60: {
      const int32_t M = lineSteps(Ht / 2);
      const double dx = double(Wd) / M, dy = double(Ht) / M;
      // Horizontal mover of the first pass: from the left (57, 58) or the right.
      if (effect <= 58) add(0, 0, Ceil(dx / 2), Ht, dx, 0, M);
      else add(Wd - 1, 0, -Ceil(dx / 2), Ht, -dx, 0, M);
      // Vertical mover of the first pass: from the bottom (57, 59) or the top.
      if (effect % 2) add(0, Ht - 1, Wd, -Ceil(dy / 2), 0, -dy, M);
      else add(0, 0, Wd, Ceil(dy / 2), 0, dy, M);
      // Second pass, a picture further out and twice as long.
      if (effect % 2) add(0, -Ht - 1, Wd, Ceil(dy / 2 + 1), 0, dy, 2 * M);
      else add(0, 2 * Ht, Wd, -Ceil(dy / 2 + 1), 0, -dy, 2 * M);
      if (effect <= 58) add(2 * Wd, 0, -Ceil(dx / 2 + 1), Ht, -dx, 0, 2 * M);
      else add(-Wd - 1, 0, Ceil(dx / 2 + 1), Ht, dx, 0, 2 * M);
      break;
    }
    case 61:
    case 62: {
      const int32_t M = std::max(4, N / 3);
      for (int32_t i = 1; i <= 10; ++i) {
        const int32_t e = i - 1;
        if (effect == 61) {
          const int32_t x0 = RoundEven(Real(Wd) * e / 10), w = Ceil(Wd / 10.0L);
          const int32_t h = Ceil(Real(Ht) / M);
          const double dy = double(Ht) / M;
          if (i % 2) add(x0, -e * Ht, w, h, 0, dy, i * M);
          else add(x0, i * Ht, w, -h, 0, -dy, i * M + 1);
        } else {
          const int32_t y0 = RoundEven(Real(Ht) * e / 10), h = Ceil(Ht / 10.0L);
          const int32_t w = Ceil(Real(Wd) / M);
          const double dx = double(Wd) / M;
          if (i % 2) add(-e * Wd, y0, w, h, dx, 0, i * M);
          else add(i * Wd, y0, -w, h, -dx, 0, i * M + 1);
        }
      }
      break;
    }
    case 63:
    case 64: {
      // Both take M from the height; at least 1 so that small pictures divide.
      const int32_t M = std::max(1, std::min(N / 4, Ht / 4));
      for (int32_t k = 0; k <= 3; ++k) {
        if (effect == 63) {
          const int32_t q = Ceil(Real(Wd) / M / 4);
          add(k * q - k * Wd, 0, q, Ht, double(Wd) / M, 0, (k + 1) * M);
        } else {
          const int32_t q = Ceil(Real(Ht) / M / 4);
          add(0, k * q - k * Ht, Wd, q, 0, double(Ht) / M, (k + 1) * M);
        }
      }
      break;
    }
    default: break;
  }
  return p;
}

TFold MakeLineDropPiece(int32_t variant, int32_t Wd, int32_t Ht, int32_t N) {
  const double a = double(Wd) / N, b = double(Ht) / N;
  TFold f;
  switch (variant) {
    case 1: f.Init(0, 0, Ceil(a), Ht, N, a, 0, Wd, Ht); break;
    case 2: f.Init(Wd, 0, -Ceil(a), Ht, N, -a, 0, Wd, Ht); break;
    case 3: f.Init(0, 0, Wd, Ceil(b), N, 0, b, Wd, Ht); break;
    case 4: f.Init(0, Ht, Wd, -Ceil(b), N, 0, -b, Wd, Ht); break;
    default: f.Init(0, 0, 0, 0, 0, 0, 0, Wd, Ht); break;
  }
  return f;
}

TLineDropLine LineDropLine(int32_t variant, const TFold& piece, int32_t Wd, int32_t Ht) {
  const int32_t x = RoundEven(piece.X), y = RoundEven(piece.Y);
  switch (variant) {
    case 1: return {TRect{x, 0, x + 1, Ht}, TRect{x, 0, Wd, Ht}};
    case 2: return {TRect{x, 0, x + 1, Ht}, TRect{0, 0, x, Ht}};
    case 3: return {TRect{0, y, Wd, y + 1}, TRect{0, y, Wd, Ht}};
    case 4: return {TRect{0, y, Wd, y + 1}, TRect{0, 0, Wd, y}};
    default: return {};
  }
}

void DoUnfold(TTransThread& t, int32_t variant) {
  std::vector<TFold> pieces = MakeUnfoldVariant(variant, t.FWidth, t.FHeight, t.Steps());
  std::vector<TPaintPiece> paints;
  for (;;) {
    t.BeginFrame();
    bool more = false;
    paints.clear();
    for (TFold& f : pieces) {
      if (f.Steps <= 0) continue;  // done: its rectangles are on the surface already
      more |= f.Step();
      paints.push_back({&t.FNewPicture, f.SrcRect, f.DstRect});
    }
    t.PaintPieces(paints);
    if (!more || t.Aborted()) break;
    t.WaitFrame();
  }
}

namespace {

// Puts line.Src (one column or one row of picture) stretched over line.Dst
// into work, at line.Dst, in bands of rows. A one-pixel line stretched is that
// line repeated, so it is filled rather than resampled. False when there is
// nothing to show.
bool StretchLineInto(TTransThread& t, const TBitmap32& picture, const TLineDropLine& line,
                     TBitmap32& work) {
  const TRect src = IntersectRect(line.Src, picture.BoundsRect());
  const TRect dst = IntersectRect(line.Dst, work.BoundsRect());
  if (src.IsEmpty() || dst.IsEmpty()) return false;
  const TPixelKernels& k = PixelKernels();
  const bool stream = StreamingPays(size_t(dst.Width()) * size_t(dst.Height()) * 4,
                                    size_t(work.Width()) * size_t(work.Height()) * 4);
  const size_t n = size_t(dst.Width());
  t.ComposeRows(dst.Top, dst.Bottom, dst.Width(), [&](int32_t top, int32_t bottom) {
    for (int32_t y = top; y < bottom; ++y) {
      TColor32* out = work.ScanLine(y) + dst.Left;
      if (src.Width() == 1) {
        const TColor32 c = picture.Pixel(src.Left, std::clamp(y, src.Top, src.Bottom - 1));
        if (stream)
          k.FillStream(out, n, c);
        else
          k.Fill(out, n, c);
      } else {
        const TColor32* from = picture.ScanLine(src.Top) + dst.Left;
        if (stream)
          k.CopyStream(out, from, n);
        else
          std::copy(from, from + n, out);
      }
    }
  });
  return true;
}

}  // namespace

void DoLineDrop(TTransThread& t, int32_t variant) {
  TFold piece = MakeLineDropPiece(variant, t.FWidth, t.FHeight, t.Steps());
  t.PrepareWork();
  for (;;) {
    t.BeginFrame();
    if (!piece.Step() || t.Aborted()) break;
    // The part of the incoming picture in place, then its line stretched
    // over what is still to come: one hand-over paints both.
    std::array<TPaintPiece, 2> paints{TPaintPiece{&t.FNewPicture, piece.SrcRect, piece.DstRect},
                                      TPaintPiece{&t.FWork, {}, {}}};
    const TLineDropLine line = LineDropLine(variant, piece, t.FWidth, t.FHeight);
    if (StretchLineInto(t, t.FNewPicture, line, t.FWork))
      paints[1].SrcRect = paints[1].DstRect = IntersectRect(line.Dst, t.FWork.BoundsRect());
    t.PaintPieces(paints);
    t.WaitFrame();
  }
}

}  // namespace saver
