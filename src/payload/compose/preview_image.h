#pragma once
// The preview picture: the one still picture the display settings' small
// preview window shows instead of the slideshow.
#include <optional>
#include <string>

#include "graphics/bitmap32.h"

namespace saver {

class ISurface;

// Reads the trailer of the saver file at path by itself and decodes its
// preview bitmap. None when the file has no payload (a bare player) or the
// payload no preview. Failures to read the file or decode the bitmap raise.
std::optional<TBitmap32> LoadPreviewImage(const std::string& path);

// Stretches the preview picture of the saver file at path over the whole
// surface. Returns false, leaving the surface as it was, when there is none.
bool ShowPreviewImage(const std::string& path, ISurface& surface);

}  // namespace saver
