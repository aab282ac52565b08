// Feeds arbitrary bytes to the jpeg decoder.
#include "decode_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return saver::fuzz::FuzzDecode(data, size, "jpeg");
}
