#pragma once
// Turning pictures upright at pack time. Cameras store a portrait photo as a
// landscape raster and say in an orientation tag (EXIF in JPEG, the
// Orientation field in TIFF) how to turn it; the player does not read that
// tag, so saver-pack stores the picture already turned, tagged upright.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver {

// Where a JPEG's EXIF orientation lives: Value is 1-8 as written; Offset is
// the position of its two bytes in the file, in the byte order of the EXIF
// block (BigEndian).
struct TExifOrientation {
  int Value = 0;
  size_t Offset = 0;
  bool BigEndian = false;
};

// The orientation tag of the first EXIF block of a JPEG, or nothing when
// the file has no EXIF block, no tag, or a malformed one. Reads no further
// than the start of the picture data.
std::optional<TExifOrientation> FindJpegOrientation(std::span<const uint8_t> jpeg);

// The orientation tag (1-8) of an EXIF payload as the HEIF formats carry
// it: a TIFF structure, possibly after "Exif\0\0" or a four-byte offset.
std::optional<int> ExifPayloadOrientation(std::span<const uint8_t> exif);

// The picture as it is shown when stored as the orientation tag (1-8) says.
TBitmap32 TurnUpright(const TBitmap32& stored, int orientation);

struct TUprightPicture {
  std::vector<uint8_t> Bytes;  // the picture file, upright and tagged so
  int Orientation = 1;         // the tag it carried
  // Pixels cut off at an edge of the turned picture: a JPEG turns
  // losslessly only in whole blocks of 8 or 16 pixels, and the partial
  // block at an edge that must move is dropped (never more than 15).
  int TrimmedColumns = 0;
  int TrimmedRows = 0;
};

// A JPEG whose EXIF orientation is 2-8, turned losslessly through the DCT
// coefficients (libjpeg-turbo's transform), every marker kept and its
// orientation set to 1. Nothing for orientation 1, no tag or a file the
// transform cannot read. Throws std::runtime_error when the transform fails.
std::optional<TUprightPicture> UprightJpeg(std::span<const uint8_t> jpeg);

// A TIFF whose first directory's Orientation is 2-8, decoded and written
// again upright (8 bits a sample, RGB, or RGBA with associated alpha when
// the picture has transparency; deflate-compressed) with Orientation 1.
// Nothing for orientation 1 or no tag. Throws std::runtime_error when the
// file cannot be decoded or written.
std::optional<TUprightPicture> UprightTiff(std::span<const uint8_t> tiff);

// By extension: .jpg/.jpeg/.jpe/.jfif and .tif/.tiff (any case).
bool MayCarryOrientation(const std::string& ext);
std::optional<TUprightPicture> UprightPicture(std::span<const uint8_t> bytes,
                                              const std::string& ext);

}  // namespace saver
