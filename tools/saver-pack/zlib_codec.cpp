#include "zlib_codec.h"

#include <stdexcept>

#include <zlib.h>

namespace saver {

std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data) {
  uLongf length = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(length);
  if (compress2(out.data(), &length, data.data(), uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw std::runtime_error("compression failed");
  out.resize(length);
  return out;
}

}  // namespace saver
