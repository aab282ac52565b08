#pragma once
// The size of a picture item as stored, for the description of a saver.
#include <optional>
#include <string>

#include "payload/format/payload_data.h"

namespace saver {

struct TPictureSize {
  int32_t Width = 0, Height = 0;
};

// Read from the picture's header where that is quick (JPEG, PNG), else by
// decoding it. Nothing when the item cannot be decoded.
std::optional<TPictureSize> PictureSizeOf(const PayloadData& data, const PictureEntry& entry);

}  // namespace saver
