#include "payload/compose/preview_image.h"

#include "payload/format/extract.h"
#include "payload/format/payload_data.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/reader.h"
#include "payload/format/temp_file.h"
#include "platform/surface.h"

namespace saver {

std::optional<TBitmap32> LoadPreviewImage(const std::string& path) {
  PayloadData data;
  try {
    ReadTrailer(data, path);
  } catch (const PayloadError&) {
    return std::nullopt;  // no payload: the window stays black
  }
  if (data.Trailer.PreviewSize <= 0) return std::nullopt;
  const TTempFile file(TempItemPath("SSIMG", ".BMP"));
  ExtractItem(path, file.Path, false, data.Trailer.PreviewSize, 0, data.PreviewStart());
  TBitmap32 picture = DecodePictureFile(file.Path, ".bmp");
  picture.ResetAlpha(255);
  return picture;
}

bool ShowPreviewImage(const std::string& path, ISurface& surface) {
  std::optional<TBitmap32> picture = LoadPreviewImage(path);
  if (!picture) return false;
  surface.StretchFrom(*picture, picture->BoundsRect(),
                      TRect{0, 0, surface.Width(), surface.Height()});
  surface.Invalidate();
  return true;
}

}  // namespace saver
