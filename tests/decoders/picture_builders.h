#pragma once
// Writers for the test pictures: bitmaps and icons byte by byte, the
// library formats with the libraries' own encoders.
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"

namespace saver::testing {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& b, uint32_t v);
void PutU32(Bytes& b, uint32_t v);

struct TBmpLayout {
  int32_t width = 0, height = 0;  // height < 0: top-down
  int bpp = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;       // 12 (core), 40, 56, 108 or 124
  bool fileHeader = true;         // false: a packed DIB as .dib files may hold
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  std::vector<uint32_t> masks;    // bit fields; in the header from 56 bytes on, else after it
  uint32_t colorsUsed = 0;
};

// A complete bitmap file from a layout and the raw pixel data (rows in file
// order with padding, or an RLE stream).
Bytes BuildBmp(const TBmpLayout& layout, const Bytes& pixelData);

// Packs picture rows (top row first) of per-pixel values of `bpp` bits into
// padded rows in file order.
Bytes PackRows(const std::vector<uint32_t>& values, int32_t width, int32_t height, int bpp,
               bool topDown);

struct TIconEntry {
  uint8_t dirWidth = 0, dirHeight = 0;  // as the directory states them (0 = 256)
  uint16_t bpp = 32;
  Bytes data;  // PNG file or DIB with AND mask
};
Bytes BuildIco(const std::vector<TIconEntry>& entries);

// The DIB of an icon image: 32-bit colour rows with alpha, or 8-bit palette
// rows, followed by the AND mask (1 = transparent), bottom-up.
Bytes BuildIconDib32(const TBitmap32& picture, const std::vector<bool>& andMask);
Bytes BuildIconDib8(const std::vector<uint8_t>& indices, int32_t width, int32_t height,
                    const std::vector<uint32_t>& palette, const std::vector<bool>& andMask);

// A PNG file whose header states another size (CRC kept valid).
Bytes WithPngSize(Bytes png, uint32_t width, uint32_t height);

Bytes EncodeJpeg(const TBitmap32& picture, int quality, bool gray = false);
Bytes EncodeCmykJpeg(int32_t width, int32_t height, const std::vector<uint8_t>& cmyk, bool adobe);
// palette: 0x00RRGGBB; transparent < 0 for none.
Bytes EncodeGif(const std::vector<uint8_t>& indices, int32_t width, int32_t height,
                const std::vector<uint32_t>& palette, int transparent, bool interlace,
                int32_t screenWidth = 0, int32_t screenHeight = 0, int32_t left = 0,
                int32_t top = 0);
Bytes EncodeTiff(const TBitmap32& picture, bool withAlpha);
// An RGB PNG of one colour, written row by row: a picture of gigabytes
// that takes kilobytes.
Bytes EncodeFlatPng(int32_t width, int32_t height, TColor32 color);
// An RGBA PNG written in the seven passes of Adam7 interlacing.
Bytes EncodeInterlacedPng(const TBitmap32& picture);

// A test picture with varied colours (and varied alpha when asked).
TBitmap32 Pattern(int32_t width, int32_t height, bool varyAlpha);

Bytes ReadFile(const std::string& path);

}  // namespace saver::testing
