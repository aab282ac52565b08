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
              TBitmap32& mask, const TDecodeHint& hint, const std::string& tempPrefix) {
  TTempFile file;
  try {
    const std::string ext = MaskExtension(entry.Format);
    file.Path = TempItemPath(tempPrefix, ext);
    ExtractItem(source, file.Path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
                payloadStart + entry.Start);
    // Only the blue channel counts. PNG and GIF masks are drawn over black, so
    // their transparent parts hide the picture; a bitmap is taken as it is.
    TDecodeHint opaque = hint;
    if (entry.Format == 0)
      opaque.RowFilter = [](TColor32* row, size_t n) {
        for (size_t i = 0; i < n; ++i) row[i] |= 0xFF000000u;
      };
    else
      opaque.RowFilter = FlattenRowOnBlack;
    mask = DecodePictureFile(file.Path, ext, opaque);
  } catch (...) {
    // An undecodable mask stays as it was.
  }
}

}  // namespace saver
