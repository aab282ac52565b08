#include "trans/slide.h"

#include <algorithm>

#include "trans/rounding.h"

namespace saver {

void TSlide::Init(int32_t x0, int32_t y0, int32_t steps, double dx, double dy, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, bool outgoing) {
  X = x0;
  Y = y0;
  Steps = steps;
  DX = dx;
  DY = dy;
  Left = left;
  Top = top;
  Right = right;
  Bottom = bottom;
  Outgoing = outgoing;
  SrcRect = DstRect = TRect{};
}

namespace {

struct TRange {
  int32_t DstLo, DstHi, SrcLo, SrcHi;
  bool Valid;
};

// The part of [lo, hi) that a picture shifted by offset still covers, and
// where it comes from in the picture.
TRange ShiftedRange(int32_t lo, int32_t hi, double offset) {
  if (offset >= 0) {
    const int32_t start = RoundEven(lo + offset);
    return {start, hi, lo, hi - (start - lo), hi >= start};
  }
  const int32_t end = RoundEven(hi + offset);
  return {lo, end, lo + (hi - end), hi, end >= lo};
}

}  // namespace

bool TSlide::Step() {
  if (Steps <= 0) return false;
  Steps--;
  X += DX;
  Y += DY;
  const TRange h = ShiftedRange(Left, Right, X);
  const TRange v = ShiftedRange(Top, Bottom, Y);
  if (h.Valid && v.Valid) {
    DstRect = TRect{std::min(h.DstLo, h.DstHi), std::min(v.DstLo, v.DstHi),
                    std::max(h.DstLo, h.DstHi), std::max(v.DstLo, v.DstHi)};
    SrcRect = TRect{std::min(h.SrcLo, h.SrcHi), std::min(v.SrcLo, v.SrcHi),
                    std::max(h.SrcLo, h.SrcHi), std::max(v.SrcLo, v.SrcHi)};
  } else {
    DstRect = SrcRect = TRect{};
  }
  return Steps > 0;
}

}  // namespace saver
