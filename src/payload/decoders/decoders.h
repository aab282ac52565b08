#pragma once
// The per-format decoders behind DecodePictureFile and DecodePictureMemory.
// Each reads its source as it goes (never the whole file at once), throws
// DecodeError for damaged input and checks the stated size against
// hint.MaxPixels before reserving pixel memory.
#include <cstddef>
#include <cstdint>

#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/picture_source.h"

namespace saver {

TBitmap32 DecodeBmp(const TPictureSource& source, const TDecodeHint& hint);
TBitmap32 DecodeIco(const TPictureSource& source, const TDecodeHint& hint);
TBitmap32 DecodeJpeg(const TPictureSource& source, const TDecodeHint& hint);
TBitmap32 DecodePng(const TPictureSource& source, const TDecodeHint& hint);
TBitmap32 DecodeGif(const TPictureSource& source, const TDecodeHint& hint);
TBitmap32 DecodeTiff(const TPictureSource& source, const TDecodeHint& hint);

// An icon image in bitmap form: a device-independent bitmap without file
// header whose height counts both the colour rows and the 1-bit AND mask
// that follows them.
TBitmap32 DecodeIconDib(const TPictureSource& source, const TDecodeHint& hint);

// Throws DecodeError when width x height is not positive or exceeds
// hint.MaxPixels.
void CheckPictureSize(int64_t width, int64_t height, const TDecodeHint& hint);

}  // namespace saver
