#pragma once
// One picture of a saver file composed as the show composes it before its
// transition: the background with its gradient and background picture, the
// picture fitted by its size and position mode through its mask, and its
// caption. Uses the payload's default settings; makers of savers check
// their pictures with it.
#include <cstdint>
#include <string>

#include "graphics/bitmap32.h"

namespace saver {

// Renders picture index of the saver file at path on a screen of
// width x height. seed drives every random choice (colours, gradient style,
// placement). Raises std::runtime_error with a readable message when the
// file cannot be read, the index does not exist, or the item cannot be
// shown as a picture (undecodable, or a video).
TBitmap32 ComposeFrame(const std::string& path, int32_t index, int32_t width, int32_t height,
                       uint32_t seed);

}  // namespace saver
