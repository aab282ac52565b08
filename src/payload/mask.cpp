#include "payload/mask.h"

#include <cstdio>

#include "payload/extract.h"
#include "payload/picture_decoder.h"

namespace saver {

std::string MaskExtension(uint8_t format) {
  return format == 0 ? ".bmp" : format == 1 ? ".png" : ".gif";
}

void LoadMask(const std::string& source, int64_t payloadStart, const MaskEntry& entry,
              TBitmap32& mask) {
  std::string name;
  try {
    const std::string ext = MaskExtension(entry.Format);
    name = TempItemPath("SSMASK", ext);
    ExtractItem(source, name, entry.PackedSize > 0, entry.Size, entry.PackedSize,
                payloadStart + entry.Start);
    TBitmap32 decoded = DecodePictureFile(name, ext);
    // Only the blue channel counts; a mask's own transparency must not hide it.
    decoded.ResetAlpha(255);
    mask = std::move(decoded);
  } catch (...) {
    // An undecodable mask stays as it was.
  }
  if (!name.empty()) std::remove(name.c_str());
}

}  // namespace saver
