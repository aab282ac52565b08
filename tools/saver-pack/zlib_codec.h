#pragma once
// zlib (RFC 1950) streams for payload items.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>

namespace saver {

// Deflates `length` bytes read from `in` at the best compression level as
// one zlib stream, handing the compressed bytes to `write` a chunk at a
// time, so that memory stays the same whatever the item's size. Returns
// the compressed length. Raises PackError naming inPath when reading fails.
int64_t ZlibCompressStream(std::FILE* in, const std::string& inPath, int64_t length,
                           const std::function<void(std::span<const uint8_t>)>& write);

}  // namespace saver
