// Feeds arbitrary bytes to the gif decoder: it must decode or throw
// DecodeError, never crash, leak or touch memory it does not own.
#include <cstddef>
#include <cstdint>

#include "payload/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A lower limit than the player's keeps each run fast and within the
  // fuzzer's memory budget; the check itself is the same.
  saver::TDecodeHint hint;
  hint.MaxPixels = 4u << 20;
  if (size > 0) {
    // The last byte sometimes asks for a scaled decode (JPEG uses it).
    hint.TargetWidth = data[size - 1] & 0x0F ? 16 * (data[size - 1] & 0x0F) : 0;
    hint.TargetHeight = hint.TargetWidth;
  }
  try {
    saver::DecodePictureMemory(data, size, "gif", hint);
  } catch (const saver::DecodeError&) {
  }
  return 0;
}
