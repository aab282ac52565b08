#include "preview_maker.h"

#include "bmp_writer.h"
#include "pack_job.h"
#include "payload/fit_rect.h"
#include "payload/picture_decoder.h"

namespace saver {

TBitmap32 MakePreview(const TBitmap32& picture, int32_t backColor) {
  TBitmap32 preview(kPreviewWidth, kPreviewHeight);
  const auto bgr = uint32_t(backColor);
  preview.Clear(Color32(uint8_t(bgr), uint8_t(bgr >> 8), uint8_t(bgr >> 16)));
  if (!picture.Empty()) {
    const TRect dst = FitRect(kPreviewWidth, kPreviewHeight, picture.Width(), picture.Height());
    TBitmap32 source = picture;
    source.DrawMode = TDrawMode::Blend;  // transparent parts show the background
    source.DrawTo(preview, dst, source.BoundsRect());
  }
  preview.ResetAlpha(255);
  return preview;
}

std::vector<uint8_t> PreviewBmpFromFile(const std::string& path, int32_t backColor) {
  TDecodeHint hint;
  hint.TargetWidth = kPreviewWidth;
  hint.TargetHeight = kPreviewHeight;
  return EncodeBmp32(MakePreview(DecodePictureFile(path, ExtensionOf(path), hint), backColor));
}

}  // namespace saver
