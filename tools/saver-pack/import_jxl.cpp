// JPEG XL through libjxl, turned by the orientation field of its header. A
// file made from a JPEG without loss gives that JPEG back, byte for byte; of
// an animation only the first frame is taken.
#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include "import_decoders.h"
#include "payload/decoders/picture_decoder.h"
#include "upright.h"

namespace saver {
namespace {

void Check(JxlDecoderStatus status) {
  if (status != JXL_DEC_SUCCESS) throw DecodeError("JPEG XL: the library refused the picture");
}

// Receives the JPEG a file gives back, growing its buffer as the library asks.
class TJpegOutput {
 public:
  void Start(JxlDecoder* decoder) {
    bytes_.resize(1 << 20);
    Check(JxlDecoderSetJPEGBuffer(decoder, bytes_.data(), bytes_.size()));
  }
  void Grow(JxlDecoder* decoder) {
    used_ = bytes_.size() - JxlDecoderReleaseJPEGBuffer(decoder);
    bytes_.resize(bytes_.size() * 2);
    Check(JxlDecoderSetJPEGBuffer(decoder, bytes_.data() + used_, bytes_.size() - used_));
  }
  std::vector<uint8_t> Finish(JxlDecoder* decoder) {
    bytes_.resize(bytes_.size() - JxlDecoderReleaseJPEGBuffer(decoder));
    return std::move(bytes_);
  }
  bool Started() const { return !bytes_.empty(); }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

}  // namespace

TImportedPixels DecodeJxl(const std::vector<uint8_t>& file, bool upright) {
  JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
  JxlDecoder* d = decoder.get();
  if (!d) throw DecodeError("JPEG XL: out of memory");
  Check(JxlDecoderSubscribeEvents(d, JXL_DEC_BASIC_INFO | JXL_DEC_JPEG_RECONSTRUCTION |
                                         JXL_DEC_FULL_IMAGE));
  // Turned here, as the other formats are: the library reports the
  // orientation only when it leaves the turning to its caller.
  Check(JxlDecoderSetKeepOrientation(d, JXL_TRUE));
  Check(JxlDecoderSetUnpremultiplyAlpha(d, JXL_TRUE));
  Check(JxlDecoderSetInput(d, file.data(), file.size()));
  JxlDecoderCloseInput(d);

  const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
  JxlBasicInfo info{};
  std::vector<uint8_t> rgba;
  TJpegOutput jpeg;
  TImportedPixels pixels;
  for (;;) {
    switch (JxlDecoderProcessInput(d)) {
      case JXL_DEC_BASIC_INFO:
        Check(JxlDecoderGetBasicInfo(d, &info));
        if (uint64_t(info.xsize) * info.ysize > kMaxPicturePixels)
          throw DecodeError("JPEG XL: picture is too large");
        pixels.Lossless = info.uses_original_profile;
        break;
      case JXL_DEC_JPEG_RECONSTRUCTION:
        jpeg.Start(d);
        break;
      case JXL_DEC_JPEG_NEED_MORE_OUTPUT:
        jpeg.Grow(d);
        break;
      case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
        size_t size = 0;
        Check(JxlDecoderImageOutBufferSize(d, &format, &size));
        rgba.resize(size);
        Check(JxlDecoderSetImageOutBuffer(d, &format, rgba.data(), rgba.size()));
        break;
      }
      case JXL_DEC_FULL_IMAGE:
      case JXL_DEC_SUCCESS: {
        // The first frame is complete. A JPEG given back comes without pixels.
        if (jpeg.Started()) {
          pixels.Jpeg = jpeg.Finish(d);
          pixels.JpegOrientation = int(info.orientation);
          return pixels;
        }
        const int32_t w = int32_t(info.xsize), h = int32_t(info.ysize);
        if (rgba.size() != size_t(w) * size_t(h) * 4) throw DecodeError("JPEG XL: no picture in the file");
        pixels.Picture.SetSize(w, h);
        const uint8_t* in = rgba.data();
        TColor32* out = pixels.Picture.Bits();
        for (size_t i = 0; i < size_t(w) * size_t(h); ++i, in += 4)
          out[i] = Color32(in[0], in[1], in[2], in[3]);
        if (upright) pixels.Picture = TurnUpright(pixels.Picture, int(info.orientation));
        return pixels;
      }
      case JXL_DEC_NEED_MORE_INPUT:
        throw DecodeError("JPEG XL: the file is cut short");
      default:
        throw DecodeError("JPEG XL: damaged picture");
    }
  }
}

}  // namespace saver
