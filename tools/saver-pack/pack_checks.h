#pragma once
// Everything that can be checked before a byte of the saver is written.
#include <cstdint>
#include <string>

#include "pack_job.h"

namespace saver {

// Raises PackError for an unreadable or empty file, an extension, caption or
// text too long for its field, a mask that is not BMP, PNG or GIF, or a
// MaskIndex that names no mask.
void CheckPackJob(const TPackJob& job);

// The Format code of a mask file: 0 BMP, 1 PNG, 2 GIF (by extension).
uint8_t MaskFormatOf(const std::string& path);

// "1 mask", "2 masks".
std::string Plural(size_t n, const char* word);

}  // namespace saver
