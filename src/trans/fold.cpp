#include "trans/fold.h"

#include <algorithm>

#include "trans/rounding.h"

namespace saver {

void TFold::Init(int32_t x0, int32_t y0, int32_t w, int32_t h, int32_t steps, double dx,
                 double dy, int32_t pictureWidth, int32_t pictureHeight) {
  X = x0;
  Y = y0;
  W = w;
  H = h;
  Steps = steps;
  DX = dx;
  DY = dy;
  PictureWidth = pictureWidth;
  PictureHeight = pictureHeight;
  SrcRect = DstRect = TRect{};
}

bool TFold::Step() {
  if (Steps <= 0) return false;
  Steps--;
  TRect r{RoundEven(std::min(X, X + W)), RoundEven(std::min(Y, Y + H)),
          RoundEven(std::max(X, X + W)), RoundEven(std::max(Y, Y + H))};
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, PictureWidth);
  r.Bottom = std::min(r.Bottom, PictureHeight);
  auto within = [](double v, int32_t limit) { return v >= 0 && v <= limit; };
  const bool visible = (within(X, PictureWidth) || within(X + W, PictureWidth)) &&
                       (within(Y, PictureHeight) || within(Y + H, PictureHeight));
  SrcRect = DstRect = visible ? r : TRect{};
  X += DX;
  Y += DY;
  return Steps > 0;
}

}  // namespace saver
