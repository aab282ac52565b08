#include "payload/picture_decoder.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "payload/decoders.h"

namespace saver {
namespace {

// A compressed picture is far smaller than its pixels; a file above the
// pixel limit's byte size cannot hold a picture we would accept.
constexpr uintmax_t kMaxPictureFileBytes = kMaxPicturePixels * 4;

enum class TPictureFormat { Unknown, Bmp, Ico, Jpeg, Png, Gif, Tiff };

// Metafiles (wmf, emf) and Flash (swf, fla) have no decoder and fall
// through as Unknown.
TPictureFormat FormatOfExtension(const std::string& ext) {
  std::string e = ext;
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  std::transform(e.begin(), e.end(), e.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (e == "bmp" || e == "dib" || e == "rle") return TPictureFormat::Bmp;
  if (e == "ico") return TPictureFormat::Ico;
  if (e == "jpg" || e == "jpeg" || e == "jpe" || e == "jfif") return TPictureFormat::Jpeg;
  if (e == "png") return TPictureFormat::Png;
  if (e == "gif") return TPictureFormat::Gif;
  if (e == "tif" || e == "tiff" || e == "fax") return TPictureFormat::Tiff;
  return TPictureFormat::Unknown;
}

}  // namespace

void CheckPictureSize(int64_t width, int64_t height, const TDecodeHint& hint) {
  if (width <= 0 || height <= 0)
    throw DecodeError("picture has no pixels (" + std::to_string(width) + " x " +
                      std::to_string(height) + ")");
  // TBitmap32 sizes are int32; below that the product fits in 64 bits.
  if (width > INT32_MAX || height > INT32_MAX ||
      uint64_t(width) * uint64_t(height) > hint.MaxPixels)
    throw DecodeError("picture is too large (" + std::to_string(width) + " x " +
                      std::to_string(height) + ")");
}

bool IsDecodableExtension(const std::string& ext) {
  return FormatOfExtension(ext) != TPictureFormat::Unknown;
}

TBitmap32 DecodePictureMemory(const uint8_t* data, size_t size, const std::string& ext,
                              const TDecodeHint& hint) {
  if (!data) size = 0;
  static const uint8_t kNothing = 0;
  if (!data) data = &kNothing;
  switch (FormatOfExtension(ext)) {
    case TPictureFormat::Bmp:
      return DecodeBmp(data, size, hint);
    case TPictureFormat::Ico:
      return DecodeIco(data, size, hint);
    case TPictureFormat::Jpeg:
      return DecodeJpeg(data, size, hint);
    case TPictureFormat::Png:
      return DecodePng(data, size, hint);
    case TPictureFormat::Gif:
      return DecodeGif(data, size, hint);
    case TPictureFormat::Tiff:
      return DecodeTiff(data, size, hint);
    case TPictureFormat::Unknown:
      break;
  }
  throw DecodeError("unknown picture format '" + ext + "'");
}

TBitmap32 DecodePictureFile(const std::string& path, const std::string& ext,
                            const TDecodeHint& hint) {
  // Refuse unknown formats before touching the file, as the decoders would.
  if (!IsDecodableExtension(ext)) throw DecodeError("unknown picture format '" + ext + "'");
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw DecodeError("cannot open " + path);
  uintmax_t length = std::filesystem::file_size(path, error);
  if (error) throw DecodeError("cannot read " + path);
  if (length > kMaxPictureFileBytes) throw DecodeError("picture file is too large: " + path);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(length)))
    throw DecodeError("cannot read " + path);
  return DecodePictureMemory(bytes.data(), bytes.size(), ext, hint);
}

}  // namespace saver
