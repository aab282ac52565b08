#include "picture_size.h"

#include <turbojpeg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "payload/decoders/picture_decoder.h"
#include "payload/format/extract.h"

namespace saver {
namespace {

uint32_t BigEndian32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

std::optional<TPictureSize> FromHeader(const std::vector<uint8_t>& file) {
  static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() >= 24 && std::equal(std::begin(kPng), std::end(kPng), file.begin()))
    return TPictureSize{int32_t(BigEndian32(file, 16)), int32_t(BigEndian32(file, 20))};
  if (file.size() >= 4 && file[0] == 0xFF && file[1] == 0xD8) {
    tjhandle tj = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    const bool read = tj && tjDecompressHeader3(tj, file.data(), file.size(), &width, &height,
                                                &subsampling, &colourspace) == 0;
    if (tj) tjDestroy(tj);
    if (read) return TPictureSize{width, height};
  }
  return std::nullopt;
}

}  // namespace

std::optional<TPictureSize> PictureSizeOf(const PayloadData& data, const PictureEntry& entry) {
  std::string path;
  try {
    path = TempItemPath("SSINSPECT", entry.Ext);
    ExtractItem(data.SourcePath, path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
                data.PicturePosition(entry));
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::optional<TPictureSize> size = FromHeader(file);
    if (!size) {
      const TBitmap32 picture = DecodePictureMemory(file.data(), file.size(), entry.Ext);
      size = TPictureSize{picture.Width(), picture.Height()};
    }
    std::remove(path.c_str());
    return size;
  } catch (const std::exception&) {
    if (!path.empty()) std::remove(path.c_str());
    return std::nullopt;
  }
}

}  // namespace saver
