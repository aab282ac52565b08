#include "zlib_codec.h"

#include <algorithm>
#include <vector>

#include <zlib.h>

#include "input_file.h"
#include "pack_error.h"

namespace saver {

int64_t ZlibCompressStream(std::FILE* in, const std::string& inPath, int64_t length,
                           const std::function<void(std::span<const uint8_t>)>& write) {
  constexpr size_t kChunk = 512 * 1024;
  z_stream z{};
  if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) throw PackError("compression failed");
  struct TEnd {
    z_stream& z;
    ~TEnd() { deflateEnd(&z); }
  } end{z};
  std::vector<uint8_t> input(kChunk), output(kChunk);
  int64_t written = 0;
  for (;;) {
    const size_t chunk = size_t(std::min<int64_t>(length, int64_t(kChunk)));
    if (chunk && std::fread(input.data(), 1, chunk, in) != chunk)
      throw PackError("cannot read " + inPath + ": " +
                      (std::ferror(in) ? ErrnoText() : "file shrank while packing"));
    length -= int64_t(chunk);
    const int flush = length == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = input.data();
    z.avail_in = uInt(chunk);
    int result = Z_OK;
    do {
      z.next_out = output.data();
      z.avail_out = uInt(output.size());
      result = deflate(&z, flush);
      if (result == Z_STREAM_ERROR) throw PackError("compression failed");
      const size_t produced = output.size() - z.avail_out;
      write({output.data(), produced});
      written += int64_t(produced);
    } while (z.avail_out == 0);
    if (flush == Z_FINISH) return written;
  }
}

}  // namespace saver
