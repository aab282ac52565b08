// HEIC and HEIF through libheif. The file's rotation and mirror properties
// turn the picture (libheif applies them); a file without them is turned
// as its EXIF orientation says, as a JPEG would be. A phone's photo carries
// both, and the EXIF copy then only repeats what the properties did.
#include <libheif/heif.h>

#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "import_decoders.h"
#include "payload/decoders/picture_decoder.h"
#include "upright.h"

namespace saver {
namespace {

// The boxes of an ISO base media file from `at` to the end of `bytes`:
// calls visit(type, content) for each until it returns true.
template <class F>
bool ForEachBox(std::span<const uint8_t> bytes, F&& visit) {
  size_t at = 0;
  while (at + 8 <= bytes.size()) {
    uint64_t size = uint64_t(bytes[at]) << 24 | uint64_t(bytes[at + 1]) << 16 |
                    uint64_t(bytes[at + 2]) << 8 | bytes[at + 3];
    size_t header = 8;
    if (size == 1) {
      if (at + 16 > bytes.size()) return false;
      size = 0;
      for (int i = 0; i < 8; ++i) size = size << 8 | bytes[at + 8 + size_t(i)];
      header = 16;
    } else if (size == 0) {
      size = bytes.size() - at;
    }
    if (size < header || size > bytes.size() - at) return false;
    const std::string type(reinterpret_cast<const char*>(&bytes[at + 4]), 4);
    if (visit(type, bytes.subspan(at + header, size_t(size) - header))) return true;
    at += size_t(size);
  }
  return false;
}

// Whether the item properties (meta/iprp/ipco) hold a rotation or a mirror.
bool HasTurningProperties(std::span<const uint8_t> file) {
  return ForEachBox(file, [](const std::string& type, std::span<const uint8_t> meta) {
    if (type != "meta" || meta.size() < 4) return false;
    return ForEachBox(meta.subspan(4), [](const std::string& type, std::span<const uint8_t> iprp) {
      if (type != "iprp") return false;
      return ForEachBox(iprp, [](const std::string& type, std::span<const uint8_t> ipco) {
        if (type != "ipco") return false;
        return ForEachBox(ipco, [](const std::string& type, std::span<const uint8_t>) {
          return type == "irot" || type == "imir";
        });
      });
    });
  });
}

std::optional<int> ExifOrientation(const heif_image_handle* handle) {
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return std::nullopt;
  std::vector<uint8_t> exif(heif_image_handle_get_metadata_size(handle, id));
  if (exif.empty() || heif_image_handle_get_metadata(handle, id, exif.data()).code != heif_error_Ok)
    return std::nullopt;
  return ExifPayloadOrientation(exif);
}

void Check(const heif_error& error) {
  if (error.code != heif_error_Ok) throw DecodeError(std::string("HEIF: ") + error.message);
}

}  // namespace

TImportedPixels DecodeHeif(const std::vector<uint8_t>& file, bool upright) {
  std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                       &heif_context_free);
  if (!context) throw DecodeError("HEIF: out of memory");
  Check(heif_context_read_from_memory_without_copy(context.get(), file.data(), file.size(), nullptr));
  heif_image_handle* rawHandle = nullptr;
  Check(heif_context_get_primary_image_handle(context.get(), &rawHandle));
  std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
      rawHandle, &heif_image_handle_release);
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPicturePixels)
    throw DecodeError("HEIF: no picture size, or too large a one");

  std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> options(
      heif_decoding_options_alloc(), &heif_decoding_options_free);
  const bool turns = HasTurningProperties(file);
  options->ignore_transformations = upright ? 0 : 1;
  heif_image* rawImage = nullptr;
  Check(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGBA, options.get()));
  std::unique_ptr<heif_image, decltype(&heif_image_release)> image(rawImage, &heif_image_release);
  int stride = 0;
  const uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int h = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (!plane || w <= 0 || h <= 0) throw DecodeError("HEIF: the picture decoded to nothing");

  TImportedPixels pixels;
  pixels.Picture.SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    const uint8_t* in = plane + size_t(y) * size_t(stride);
    TColor32* out = pixels.Picture.ScanLine(y);
    for (int x = 0; x < w; ++x, in += 4) out[x] = Color32(in[0], in[1], in[2], in[3]);
  }
  if (upright && !turns)
    if (const auto orientation = ExifOrientation(handle.get()))
      pixels.Picture = TurnUpright(pixels.Picture, *orientation);
  return pixels;
}

}  // namespace saver
