#pragma once
// The two sample pictures the settings dialog previews its effects on,
// built into the program (assets/sample-1.png and sample-2.png, drawn by
// scripts/make-sample-pictures).
#include "graphics/bitmap32.h"

namespace saver {

constexpr int32_t kSamplePictureWidth = 119;
constexpr int32_t kSamplePictureHeight = 95;

// Sample picture 1 or 2, opaque, decoded on first use.
const TBitmap32& SamplePicture(int number);

}  // namespace saver
