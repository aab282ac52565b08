#include "payload/decoders/picture_decoder.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "payload/decoders/decoders.h"

namespace saver {
namespace {

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

namespace {

TBitmap32 DecodeSource(const TPictureSource& source, TPictureFormat format,
                       const std::string& ext, const TDecodeHint& hint) {
  switch (format) {
    case TPictureFormat::Bmp:
      return DecodeBmp(source, hint);
    case TPictureFormat::Ico:
      return DecodeIco(source, hint);
    case TPictureFormat::Jpeg:
      return DecodeJpeg(source, hint);
    case TPictureFormat::Png:
      return DecodePng(source, hint);
    case TPictureFormat::Gif:
      return DecodeGif(source, hint);
    case TPictureFormat::Tiff:
      return DecodeTiff(source, hint);
    case TPictureFormat::Unknown:
      break;
  }
  throw DecodeError("unknown picture format '" + ext + "'");
}

}  // namespace

TBitmap32 DecodePictureMemory(const uint8_t* data, size_t size, const std::string& ext,
                              const TDecodeHint& hint) {
  return DecodeSource(TMemorySource(data, size), FormatOfExtension(ext), ext, hint);
}

TBitmap32 DecodePictureFile(const std::string& path, const std::string& ext,
                            const TDecodeHint& hint) {
  // Refuse unknown formats before touching the file, as the decoders would.
  const TPictureFormat format = FormatOfExtension(ext);
  if (format == TPictureFormat::Unknown) throw DecodeError("unknown picture format '" + ext + "'");
  // The decoder reads the file as it goes: however large the file, only what
  // the picture needs is read, and memory follows the picture's size.
  const TFileSource source(path);
  return DecodeSource(source, format, ext, hint);
}

}  // namespace saver
