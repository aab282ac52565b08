#pragma once
// zlib (RFC 1950) streams for payload items.
#include <cstdint>
#include <span>
#include <vector>

namespace saver {

// Deflates at the best compression level; throws std::runtime_error on failure.
std::vector<uint8_t> ZlibCompress(std::span<const uint8_t> data);

}  // namespace saver
