#pragma once
// Pictures in formats the player does not read (SVG, WebP, HEIC/HEIF, AVIF,
// JPEG XL), converted when a saver is packed into a format every player of
// the payload reads: JPEG (quality 95, full colour resolution) for photos
// without transparency, PNG for pictures with transparent parts, lossless
// sources and drawings. Each is read with its format's own library.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

// True for .svg, .svgz, .webp, .heic, .heif, .avif and .jxl, in any case.
bool IsImportedExtension(const std::string& ext);

// "saver-pack takes pictures in JPEG, PNG, ... and videos in AVI, ...": what
// to tell a user whose file has none of the extensions saver-pack knows.
std::string AcceptedFormatsText();

struct TImportOptions {
  // Turn the picture as its orientation says (HEIC/HEIF and AVIF: their
  // rotation and mirror properties, else the EXIF orientation; JPEG XL: its
  // orientation field).
  bool Upright = true;
  // Store without loss, whatever the source (masks).
  bool Lossless = false;
};

struct TImportedPicture {
  std::vector<uint8_t> Bytes;  // a JPEG or PNG file
  std::string Ext;             // ".jpg" or ".png"
  std::string How;             // "converted from WebP (lossless) to PNG"
};

// Raises DecodeError naming the format and the library's reason.
TImportedPicture ImportPicture(const std::string& path, const std::string& ext,
                               const TImportOptions& options);

// The picture itself, decoded and turned upright as ImportPicture would store it.
TBitmap32 DecodeImportedPicture(const std::string& path, const std::string& ext, bool upright);

}  // namespace saver
