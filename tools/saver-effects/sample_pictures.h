#pragma once
// Two built-in pictures for a contact sheet when none are given: an
// outgoing one in warm colours and an incoming one in cool colours with
// shapes that make movement easy to see.
#include <cstdint>

#include "graphics/bitmap32.h"

namespace saver {

TBitmap32 SampleOutgoingPicture(int32_t width, int32_t height);
TBitmap32 SampleIncomingPicture(int32_t width, int32_t height);

}  // namespace saver
