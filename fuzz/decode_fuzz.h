#pragma once
// Shared body of the decoder fuzz targets: arbitrary bytes must decode or
// throw DecodeError, never crash, leak or touch memory they do not own.
#include <cstddef>
#include <cstdint>

#include "payload/decoders/picture_decoder.h"

namespace saver::fuzz {

inline int FuzzDecode(const uint8_t* data, size_t size, const char* ext) {
  // A lower limit than the player's keeps each run fast and within the
  // fuzzer's memory budget; the check itself is the same.
  TDecodeHint hint;
  hint.MaxPixels = 4u << 20;
  if (size > 0) {
    // The last byte sometimes asks for a scaled decode (JPEG uses it).
    hint.TargetWidth = data[size - 1] & 0x0F ? 16 * (data[size - 1] & 0x0F) : 0;
    hint.TargetHeight = hint.TargetWidth;
  }
  try {
    DecodePictureMemory(data, size, ext, hint);
  } catch (const DecodeError&) {
  }
  return 0;
}

}  // namespace saver::fuzz
