#pragma once
// Everything that can be checked before a byte of the saver is written.
#include <cstdint>
#include <string>

#include "converted_pictures.h"
#include "pack_job.h"
#include "pack_report.h"

namespace saver {

// Raises one PackError naming every problem, one line each: an output that
// is one of the inputs, a file that cannot be read or is empty, a picture
// (item, mask, background or preview) that cannot be decoded, music or a
// video the player's media library cannot play (unless job.MediaCheck is
// off; without the library report.Warning says so), an extension, caption
// or text too long for its field, a mask that is not BMP, PNG or GIF, a
// MaskIndex that names no mask. Pictures in the formats picture_import.h
// reads are converted on the way, into converted. report.Step follows the
// pictures decoded and the files played.
void CheckPackJob(const TPackJob& job, TConvertedPictures& converted, const TPackReport& report);

// The Format code of a mask file: 0 BMP, 1 PNG, 2 GIF (by extension).
uint8_t MaskFormatOf(const std::string& path);

// "1 mask", "2 masks".
std::string Plural(size_t n, const char* word);

}  // namespace saver
