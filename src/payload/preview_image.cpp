#include "payload/preview_image.h"

#include <cstdio>

#include "payload/extract.h"
#include "payload/payload_data.h"
#include "payload/picture_decoder.h"
#include "payload/reader.h"
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
  const std::string name = TempItemPath("SSIMG", ".BMP");
  ExtractItem(path, name, false, data.Trailer.PreviewSize, 0, data.PreviewStart());
  struct Remove {
    const std::string& name;
    ~Remove() { std::remove(name.c_str()); }
  } remove{name};
  TBitmap32 picture = DecodePictureFile(name, ".bmp");
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
