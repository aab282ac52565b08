// WebP through libwebp: still pictures, and the first frame of an animation.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>
#include <memory>

#include "import_decoders.h"
#include "payload/decoders/picture_decoder.h"

namespace saver {

TImportedPixels DecodeWebp(const std::vector<uint8_t>& file) {
  WebPBitstreamFeatures features;
  if (WebPGetFeatures(file.data(), file.size(), &features) != VP8_STATUS_OK)
    throw DecodeError("WebP: not a WebP picture, or a damaged one");
  if (uint64_t(features.width) * uint64_t(features.height) > kMaxPicturePixels)
    throw DecodeError("WebP: picture is too large");
  // The animation decoder reads still pictures too, and gives an
  // animation's first frame on its canvas.
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) throw DecodeError("WebP: library version mismatch");
  options.color_mode = MODE_BGRA;  // TBitmap32's byte order, straight alpha
  options.use_threads = 0;
  const WebPData data{file.data(), file.size()};
  std::unique_ptr<WebPAnimDecoder, decltype(&WebPAnimDecoderDelete)> decoder(
      WebPAnimDecoderNew(&data, &options), &WebPAnimDecoderDelete);
  WebPAnimInfo info;
  if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
    throw DecodeError("WebP: damaged picture");
  if (uint64_t(info.canvas_width) * uint64_t(info.canvas_height) > kMaxPicturePixels)
    throw DecodeError("WebP: picture is too large");
  uint8_t* frame = nullptr;
  int timestamp = 0;
  if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp))
    throw DecodeError("WebP: damaged picture data");
  TImportedPixels pixels;
  pixels.Picture.SetSize(int32_t(info.canvas_width), int32_t(info.canvas_height));
  std::memcpy(pixels.Picture.Bits(), frame, size_t(info.canvas_width) * info.canvas_height * 4);
  pixels.Lossless = features.format == 2;  // VP8L
  return pixels;
}

}  // namespace saver
