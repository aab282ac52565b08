#include "payload/compose/fit_rect.h"

#include <cmath>
#include <string>

#include "payload/format/log_line.h"

namespace saver {

namespace {

// Round half to even, as the fitted sizes are specified.
int32_t RoundEven(double v) { return int32_t(std::nearbyint(v)); }

std::string RectText(const TRect& r) {
  return "R = " + std::to_string(r.Left) + " " + std::to_string(r.Top) + " " +
         std::to_string(r.Right) + " " + std::to_string(r.Bottom);
}

}  // namespace

TRect FitRect(int32_t aw, int32_t ah, int32_t pw, int32_t ph) {
  if (aw == 0 || ah == 0 || pw == 0 || ph == 0) return TRect{0, 0, aw, ah};
  int32_t width, height;
  // Products in 64 bits, so that very long or tall pictures cannot overflow them.
  // pw / ph >= aw / ah, compared exactly.
  if (int64_t(pw) * ah >= int64_t(aw) * ph) {
    width = aw;
    height = RoundEven(double(int64_t(ph) * aw) / pw);
  } else {
    width = RoundEven(double(int64_t(pw) * ah) / ph);
    height = ah;
  }
  const int32_t dx = (aw - width) / 2, dy = (ah - height) / 2;
  return TRect{dx, dy, dx + width, dy + height};
}

namespace {

// PictureRect before a random position moves it (mode 3).
TRect UnplacedPictureRect(int32_t mode, bool preview, int32_t W, int32_t H, int32_t w,
                          int32_t h) {
  if (mode == StretchFill || preview) return TRect{0, 0, W, H};
  if (w <= 0 || h <= 0) return TRect{};
  if (mode == StretchFit) {
    if (int64_t(W) * h > int64_t(H) * w) {  // W / w > H / h, compared exactly
      const int32_t nw = int32_t(int64_t(w) * H / h);
      return TRect{W / 2 - nw / 2, 0, W / 2 + nw / 2, H};
    }
    const int32_t nh = int32_t(int64_t(h) * W / w);
    return TRect{0, H / 2 - nh / 2, W, H / 2 + nh / 2};
  }
  if (mode == StretchCentre) {
    const int32_t x = (W - w) / 2, y = (H - h) / 2;
    return TRect{x, y, x + w, y + h};
  }
  return (h > H || w > W) ? FitRect(W, H, w, h)
                          : TRect{(W - w) / 2, (H - h) / 2, (W - w) / 2 + w, (H - h) / 2 + h};
}

}  // namespace

TRect PictureRect(int32_t mode, bool preview, int32_t W, int32_t H, int32_t w, int32_t h,
                  const TRandomInt& random) {
  TRect r = UnplacedPictureRect(mode, preview, W, H, w, h);
  const bool atRandom = !(mode == StretchFill || preview || mode == StretchFit ||
                        mode == StretchCentre || w <= 0 || h <= 0);
  if (!atRandom) return r;
  LogLine(RectText(r));
  const int32_t rw = r.Width(), rh = r.Height();
  const int32_t x = W - rw > 0 ? random(W - rw) : 0;
  const int32_t y = H - rh > 0 ? random(H - rh) : 0;
  r = TRect{x, y, x + rw, y + rh};
  LogLine(RectText(r));
  return r;
}

TFit PictureFit(int32_t mode, bool preview, int32_t W, int32_t H, int32_t w, int32_t h) {
  const TRect r = UnplacedPictureRect(mode, preview, W, H, w, h);
  const TRect onScreen = IntersectRect(r, TRect{0, 0, W, H});
  if (onScreen.IsEmpty()) return TFit{1, 1, TRect{0, 0, 1, 1}};
  return TFit{r.Width(), r.Height(),
              TRect{onScreen.Left - r.Left, onScreen.Top - r.Top, onScreen.Right - r.Left,
                    onScreen.Bottom - r.Top}};
}

}  // namespace saver
