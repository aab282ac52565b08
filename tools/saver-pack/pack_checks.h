#pragma once
// Everything that can be checked before a byte of the saver is written.
#include <cstdint>
#include <functional>
#include <string>

#include "pack_job.h"

namespace saver {

// Raises one PackError naming every problem, one line each: a file that
// cannot be read or is empty, a picture (item, mask, background or preview)
// that cannot be decoded, an extension, caption or text too long for its
// field, a mask that is not BMP, PNG or GIF, a MaskIndex that names no mask.
// Video items are not decoded. checked(done, total) follows the decoding.
void CheckPackJob(const TPackJob& job,
                  const std::function<void(size_t done, size_t total)>& checked = {});

// The Format code of a mask file: 0 BMP, 1 PNG, 2 GIF (by extension).
uint8_t MaskFormatOf(const std::string& path);

// "1 mask", "2 masks".
std::string Plural(size_t n, const char* word);

}  // namespace saver
