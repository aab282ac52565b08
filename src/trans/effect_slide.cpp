// Slide effects 1-22: the picture, or strips of it, slide into place.
#include <vector>

#include "trans/effects.h"
#include "trans/piece_variants.h"
#include "trans/rounding.h"
#include "trans/trans_thread.h"

namespace saver {

TSlideVariant MakeSlideVariant(int32_t variant, int32_t Wd, int32_t Ht, int32_t N) {
  TSlideVariant v;
  auto& s = v.Slides;
  auto add = [&](int32_t l, int32_t t, int32_t r, int32_t b, int32_t x0, int32_t y0, double dx,
                 double dy, int32_t steps, bool outgoing = false) {
    s.emplace_back().Init(x0, y0, steps, dx, dy, l, t, r, b, outgoing);
  };
  // Real arithmetic in extended precision, as the strip tables were made.
  using Real = long double;
  const int32_t hw = Wd / 2, hh = Ht / 2, q = N / 4;
  const double a = double(Wd) / N, b = double(Ht) / N;
  const double a2 = double(Wd) / (2.0 * N), b2 = double(Ht) / (2.0 * N);
  switch (variant) {
    case 1: add(0, 0, Wd, Ht, -Wd, -Ht, a, b, N); break;
    case 2: add(0, 0, Wd, Ht, Wd, -Ht, -a, b, N); break;
    case 3: add(0, 0, Wd, Ht, Wd, Ht, -a, -b, N); break;
    case 4: add(0, 0, Wd, Ht, -Wd, Ht, a, -b, N); break;
    case 5: add(0, 0, Wd, Ht, -Wd, 0, a, 0, N); break;
    case 6: add(0, 0, Wd, Ht, Wd, 0, -a, 0, N); break;
    case 7: add(0, 0, Wd, Ht, 0, Ht, 0, -b, N); break;
    case 8: add(0, 0, Wd, Ht, 0, -Ht, 0, b, N); break;
    case 9:
      add(0, 0, hw, Ht, -hw, 0, a2, 0, N);
      add(hw, 0, Wd, Ht, hw, 0, -a2, 0, N);
      break;
    case 10: {
      // The outgoing halves move apart; two folds reveal the middle.
      add(0, 0, hw, Ht, RoundEven(a2), 0, -a2, 0, N, true);
      add(hw, 0, Wd, Ht, RoundEven(-a2), 0, a2, 0, N, true);
      const int32_t w = Ceil(a2);
      v.Folds.emplace_back().Init(hw - 1, 0, w, Ht, N, a2, 0, Wd, Ht);
      v.Folds.emplace_back().Init(hw + 1, 0, -w, Ht, N + 1, -a2, 0, Wd, Ht);
      break;
    }
    case 11:
      add(0, 0, hw, hh, -hw, -hh, a2, b2, N);
      add(hw, 0, Wd, hh, hw, -hh, -a2, b2, N);
      add(0, hh, hw, Ht, -hw, hh, a2, -b2, N);
      add(hw, hh, Wd, Ht, hw, hh, -a2, -b2, N);
      break;
    case 12:
      add(0, 0, hw, hh, -hw, 0, a2, 0, N);
      add(hw, 0, Wd, hh, 0, -hh, 0, b2, N);
      add(0, hh, hw, Ht, 0, hh, 0, -b2, N);
      add(hw, hh, Wd, Ht, hw, 0, -a2, 0, N);
      break;
    case 13:
      for (int32_t i = 1; i <= 5; ++i) {
        add(Wd * (2 * i - 2) / 10, 0, Wd * (2 * i - 1) / 10, Ht, 0, -Ht, 0, b, N);
        add(Wd * (2 * i - 1) / 10, 0, Wd * 2 * i / 10, Ht, 0, Ht, 0, -b, N);
      }
      break;
    case 14:
      for (int32_t e = 0; e <= 9; ++e)
        add(Wd * e / 10, 0, Wd * (e + 1) / 10, Ht, 0, RoundEven(0.75L * Ht * e - Real(e + 1) * Ht),
            0, b, e * q + N);
      break;
    case 15:
      for (int32_t i = 1; i <= 5; ++i) {
        add(0, Ht * (2 * i - 2) / 10, Wd, Ht * (2 * i - 1) / 10, -Wd, 0, a, 0, N);
        add(0, Ht * (2 * i - 1) / 10, Wd, Ht * 2 * i / 10, Wd, 0, -a, 0, N);
      }
      break;
    case 16:
      for (int32_t e = 0; e <= 9; ++e)
        add(0, Ht * e / 10, Wd, Ht * (e + 1) / 10, RoundEven(0.75L * Wd * e - Real(e + 1) * Wd), 0,
            a, 0, e * q + N);
      break;
    case 17:
      add(0, 0, hw, Ht, 0, -Ht, 0, b, N);
      add(hw, 0, Wd, Ht, 0, Ht, 0, -b, N);
      break;
    case 18:
      add(0, 0, Wd, hh, -Wd, 0, a, 0, N);
      add(0, hh, Wd, Ht, Wd, 0, -a, 0, N);
      break;
    case 19:
      for (int32_t e = 0; e <= 9; ++e)
        add(0, Ht * e / 10, RoundEven(Wd - 0.1L * e * Wd), Ht * (e + 1) / 10,
            RoundEven(0.75L * Wd * e - Real(e + 1) * Wd), 0, a, 0, e * q + N);
      for (int32_t i = 1; i <= 10; ++i)
        add(RoundEven(0.1L * i * Wd), Ht * (10 - i) / 10, Wd, Ht * (11 - i) / 10,
            RoundEven(Real(i) * Wd - 0.75L * Wd * (i - 1)), 0, -a, 0, (i - 1) * q + N);
      break;
    case 20:
      for (int32_t e = 0; e <= 9; ++e)
        add(Wd * e / 10, 0, Wd * (e + 1) / 10, RoundEven(Ht - 0.1L * e * Ht), 0,
            RoundEven(0.75L * Ht * e - Real(e + 1) * Ht), 0, b, e * q + N);
      for (int32_t i = 1; i <= 10; ++i)
        add(Wd * (10 - i) / 10, RoundEven(0.1L * i * Ht) - 1, Wd * (11 - i) / 10, Ht, 0,
            RoundEven(Real(i) * Ht - 0.75L * Ht * (i - 1)), 0, -b, (i - 1) * q + N);
      break;
    case 21:
    case 22: {
      const int32_t sign = variant == 21 ? 1 : -1;
      const int32_t x0 = -sign * Ceil(Wd / 10.0L);
      const double dx = sign * (double(Wd) / 10 / N);
      for (int32_t i = 1; i <= 10; ++i) add(Wd * (i - 1) / 10, 0, Wd * i / 10, Ht, x0, 0, dx, 0, N);
      break;
    }
    default: break;
  }
  return v;
}

void DoSlide(TTransThread& t, int32_t variant) {
  TSlideVariant pieces = MakeSlideVariant(variant, t.FWidth, t.FHeight, t.Steps());
  std::vector<TPaintPiece> paints;
  for (;;) {
    t.BeginFrame();
    bool more = false;
    // A piece without steps left keeps its last rectangle and paints nothing:
    // painting it again would put the outgoing halves of "Door Open" back
    // over revealed pixels.
    paints.clear();
    for (TSlide& s : pieces.Slides) {
      const bool moved = s.Steps > 0;
      more |= s.Step();
      if (moved)
        paints.push_back({s.Outgoing ? &t.FOldPicture : &t.FNewPicture, s.SrcRect, s.DstRect});
    }
    for (TFold& f : pieces.Folds) {
      const bool moved = f.Steps > 0;
      more |= f.Step();
      if (moved) paints.push_back({&t.FNewPicture, f.SrcRect, f.DstRect});
    }
    t.PaintPieces(paints);
    if (!more || t.Aborted()) break;
    t.WaitFrame();
  }
}

}  // namespace saver
