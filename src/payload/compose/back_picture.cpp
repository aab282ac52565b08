#include "payload/compose/back_picture.h"

#include <algorithm>
#include <string>

#include "payload/compose/draw_picture.h"
#include "payload/compose/fit_rect.h"
#include "payload/format/log_line.h"

namespace saver {

namespace {

// Draws picture at (x, y), blended, cut at the area's right and bottom edges.
void DrawUnscaled(TBitmap32& canvas, const TBitmap32& picture, int32_t x, int32_t y,
                  int32_t W, int32_t H) {
  const int32_t w = std::min(picture.Width(), W - x), h = std::min(picture.Height(), H - y);
  if (w <= 0 || h <= 0) return;
  picture.DrawTo(canvas, TRect{x, y, x + w, y + h}, TRect{0, 0, w, h});
}

void DrawScaled(TBitmap32& canvas, int32_t W, int32_t H, const TBitmap32& picture) {
  if (W <= 0 || H <= 0) return;
  const TRect r = FitRect(W, H, picture.Width(), picture.Height());
  if (r.IsEmpty() || picture.Empty()) return;
  try {
    TBitmap32 copy = picture;  // converted to an opaque bitmap of its own size
    FlattenOnBlack(copy);
    // Only the area's part of the canvas is drawn on, as on a copy of that area.
    if (W >= canvas.Width() && H >= canvas.Height()) {
      DrawPicture(copy, canvas, r, nullptr);
      return;
    }
    TBitmap32 area(W, H);
    canvas.DrawTo(area, 0, 0);
    DrawPicture(copy, area, r, nullptr);
    area.DrawTo(canvas, 0, 0);
  } catch (...) {
    // A picture that cannot be drawn leaves the background as it was.
  }
}

}  // namespace

void DrawBackPicture(TBitmap32& canvas, int32_t W, int32_t H, int32_t mode,
                     const TBitmap32& picture) {
  LogLine("Stretch mode = " + std::to_string(mode));
  const int32_t w = picture.Width(), h = picture.Height();
  if (mode == BackPictureTiled) {
    if (w <= 0 || h <= 0) return;
    TBitmap32 tile = picture;
    tile.DrawMode = TDrawMode::Blend;
    tile.MasterAlpha = 255;
    for (int32_t y = 0; y < H; y += h)
      for (int32_t x = 0; x < W; x += w) DrawUnscaled(canvas, tile, x, y, W, H);
    return;
  }
  if (mode == BackPictureFitted) {
    DrawScaled(canvas, W, H, picture);
    return;
  }
  const int32_t x = (W - w) / 2, y = (H - h) / 2;
  if (x >= 0 && y >= 0) {
    TBitmap32 centred = picture;
    centred.DrawMode = TDrawMode::Blend;
    centred.MasterAlpha = 255;
    DrawUnscaled(canvas, centred, x, y, W, H);
  } else
    DrawScaled(canvas, W, H, picture);
}

}  // namespace saver
