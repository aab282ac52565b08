#include "payload/compose/mask.h"

#include "payload/compose/draw_picture.h"
#include "payload/format/extract.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/temp_file.h"

namespace saver {

std::string MaskExtension(uint8_t format) {
  return format == 0 ? ".bmp" : format == 1 ? ".png" : ".gif";
}

void LoadMask(const std::string& source, int64_t payloadStart, const MaskEntry& entry,
              TBitmap32& mask, uint64_t maxPixels, const std::string& tempPrefix) {
  TTempFile file;
  try {
    const std::string ext = MaskExtension(entry.Format);
    file.Path = TempItemPath(tempPrefix, ext);
    ExtractItem(source, file.Path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
                payloadStart + entry.Start);
    TDecodeHint hint;
    hint.MaxPixels = maxPixels;
    TBitmap32 decoded = DecodePictureFile(file.Path, ext, hint);
    // Only the blue channel counts. PNG and GIF masks are drawn over black, so
    // their transparent parts hide the picture; a bitmap is taken as it is.
    if (entry.Format == 0)
      decoded.ResetAlpha(255);
    else
      FlattenOnBlack(decoded);
    mask = std::move(decoded);
  } catch (...) {
    // An undecodable mask stays as it was.
  }
}

}  // namespace saver
