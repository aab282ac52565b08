// SVG (and gzipped SVGZ) drawings rendered through librsvg with cairo, large
// enough to stay sharp on a 4K screen.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "import_decoders.h"
#include "payload/decoders/picture_decoder.h"

namespace saver {
namespace {

[[noreturn]] void Fail(GError* error, const char* what) {
  const std::string reason = error ? error->message : what;
  if (error) g_error_free(error);
  throw DecodeError("SVG: " + reason);
}

// The drawing's own size in pixels: its width and height, or its viewBox's.
void OwnSize(RsvgHandle* handle, double& width, double& height) {
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height) && width > 0 && height > 0)
    return;
  gboolean hasWidth = FALSE, hasHeight = FALSE, hasViewBox = FALSE;
  RsvgLength w, h;
  RsvgRectangle viewBox;
  rsvg_handle_get_intrinsic_dimensions(handle, &hasWidth, &w, &hasHeight, &h, &hasViewBox, &viewBox);
  if (!hasViewBox || !(viewBox.width > 0) || !(viewBox.height > 0))
    throw DecodeError("SVG: the drawing states no size (a width and height, or a viewBox)");
  width = viewBox.width;
  height = viewBox.height;
}

}  // namespace

TImportedPixels DecodeSvg(const std::string& path) {
  GError* error = nullptr;
  std::unique_ptr<RsvgHandle, decltype(&g_object_unref)> handle(
      rsvg_handle_new_from_file(path.c_str(), &error), &g_object_unref);
  if (!handle) Fail(error, "cannot read the drawing");
  double width = 0, height = 0;
  OwnSize(handle.get(), width, height);
  // Scaled up until the longer side fills a 4K screen, never down below the
  // drawing's own size, and within what a picture may hold.
  const double longer = std::max(width, height);
  double scale = std::max(1.0, kSvgLongerSide / longer);
  scale = std::min(scale, kSvgMaxSide / longer);
  scale = std::min(scale, std::sqrt(double(kMaxPicturePixels) / (width * height)));
  const int32_t w = std::max<int32_t>(1, int32_t(std::lround(width * scale)));
  const int32_t h = std::max<int32_t>(1, int32_t(std::lround(height * scale)));

  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h), &cairo_surface_destroy);
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    throw DecodeError("SVG: out of memory for " + std::to_string(w) + " x " + std::to_string(h));
  {
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr(cairo_create(surface.get()), &cairo_destroy);
    const RsvgRectangle viewport{0, 0, double(w), double(h)};
    if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error))
      Fail(error, "cannot draw the drawing");
  }
  cairo_surface_flush(surface.get());

  // Cairo's pixels are premultiplied 0xAARRGGBB words; TBitmap32's are straight.
  TImportedPixels pixels;
  pixels.Lossless = true;
  pixels.Picture.SetSize(w, h);
  const uint8_t* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int32_t y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const uint32_t*>(data + size_t(y) * size_t(stride));
    TColor32* out = pixels.Picture.ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = in[x], a = p >> 24;
      auto straight = [a](uint32_t c) {
        return uint8_t(a ? std::min<uint32_t>(255, (c * 255 + a / 2) / a) : 0);
      };
      out[x] = a == 255 ? p
                        : Color32(straight(p >> 16 & 255), straight(p >> 8 & 255), straight(p & 255),
                                  uint8_t(a));
    }
  }
  return pixels;
}

}  // namespace saver
