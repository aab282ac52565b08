#include "preview_maker.h"

#include "input_file.h"
#include "pack_error.h"
#include "pack_job.h"
#include "payload/decoders/bmp_writer.h"
#include "payload/compose/fit_rect.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/compose/picture_loader.h"
#include "picture_import.h"
#include "upright.h"

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

namespace {

// The picture at the preview's size, turned upright as the pack stores it
// when its orientation tag says so and upright is true.
TBitmap32 DecodeForPreview(const std::string& path, const std::string& ext, bool upright) {
  if (IsImportedExtension(ext)) return DecodeImportedPicture(path, ext, upright);
  const TDecodeHint hint{kPreviewWidth, kPreviewHeight, kMaxPicturePixels};
  std::optional<TUprightPicture> turned;
  if (upright && MayCarryOrientation(ext)) {
    try {
      turned = UprightPicture(ReadWholeFile(path), ext);
    } catch (const std::runtime_error&) {
      // The pack itself reports a picture it cannot turn.
    }
  }
  return turned ? DecodePictureMemory(turned->Bytes.data(), turned->Bytes.size(), ext, hint)
                : DecodePictureFile(path, ext, hint);
}

TBitmap32 DecodeStored(const std::vector<uint8_t>& file, const std::string& ext) {
  return DecodePictureMemory(file.data(), file.size(), ext, {kPreviewWidth, kPreviewHeight, kMaxPicturePixels});
}

}  // namespace

std::vector<uint8_t> PreviewBmpFromFile(const std::string& path, int32_t backColor, bool upright) {
  return EncodeBmp32(MakePreview(DecodeForPreview(path, ExtensionOf(path), upright), backColor));
}

std::vector<uint8_t> PreviewBmpForJob(const TPackJob& job, const TConvertedPictures& converted,
                                     const std::function<void(const std::string&)>& progress) {
  if (!job.Preview.empty()) {
    if (LowerExtensionOf(job.Preview) == ".bmp") {
      std::vector<uint8_t> bmp = ReadWholeFile(job.Preview);
      if (bmp.size() < 54 || bmp[0] != 'B' || bmp[1] != 'M')
        throw PackError("preview " + job.Preview + ": not a BMP file");
      return bmp;
    }
    if (IsVideoExtension(ExtensionOf(job.Preview)))
      throw PackError("preview " + job.Preview + ": a video cannot be the preview; give a picture");
    try {
      return PreviewBmpFromFile(job.Preview, job.Trailer.BackColor, !job.KeepOrientation);
    } catch (const DecodeError& e) {
      throw PackError("cannot decode preview " + job.Preview + ": " + e.what());
    }
  }
  for (auto& p : job.Pictures) {
    const std::string ext = p.Entry.Ext.empty() ? ExtensionOf(p.File) : p.Entry.Ext;
    const auto* c = converted.Find(p.File);
    if (!c && (IsVideoExtension(ext) || !IsDecodableExtension(ext))) continue;  // videos, sounds...
    try {
      const TBitmap32 picture =
          c ? DecodeStored(converted.Bytes(*c), c->Ext) : DecodeForPreview(p.File, ext, !job.KeepOrientation);
      std::vector<uint8_t> bmp = EncodeBmp32(MakePreview(picture, job.Trailer.BackColor));
      progress("preview made from " + p.File);
      return bmp;
    } catch (const DecodeError& e) {
      progress("cannot decode " + p.File + " for the preview: " + e.what());
    }
  }
  progress("no picture to make the preview from; it shows the background colour");
  return EncodeBmp32(MakePreview(TBitmap32(), job.Trailer.BackColor));
}

}  // namespace saver
