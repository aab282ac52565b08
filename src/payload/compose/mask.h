#pragma once
// Masks: grey pictures whose blue channel is the opacity of the picture they
// belong to.
#include <cstdint>
#include <string>

#include "graphics/bitmap32.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/records.h"

namespace saver {

// The temporary file name of a mask by its format: ".bmp" (0), ".png" (1), else ".gif".
std::string MaskExtension(uint8_t format);

// Extracts the mask item (at payloadStart + entry.Start of the saver file
// source) into the temporary folder (named by tempPrefix), decodes it into
// mask (opaque; stretched and cut as hint's fit says, whatever the mask's own
// size) and deletes the file. Any failure (also a mask larger than the hint
// allows) is absorbed and leaves mask as it was.
void LoadMask(const std::string& source, int64_t payloadStart, const MaskEntry& entry,
              TBitmap32& mask, const TDecodeHint& hint = {},
              const std::string& tempPrefix = "SSMASK");

}  // namespace saver
