// Windows bitmaps (bmp, dib, rle): 1, 4, 8, 16, 24 and 32 bits per pixel,
// RLE4 and RLE8 compression, bit fields, bottom-up and top-down rows, with
// or without the file header. Also the bitmap form of icon images.
#include <algorithm>
#include <cstring>
#include <vector>

#include "payload/decoders/decoders.h"
#include "payload/decoders/picture_out.h"

namespace saver {
namespace {

enum : uint32_t {
  kBiRgb = 0,
  kBiRle8 = 1,
  kBiRle4 = 2,
  kBiBitFields = 3,
  kBiAlphaBitFields = 6,
};

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kCoreHeaderSize = 12;
constexpr size_t kInfoHeaderSize = 40;
constexpr TColor32 kOpaqueBlack = 0xFF000000;

// Little-endian reads at offsets that refuse to run past the end of the file.
using TBytes = TSourceWindow;

// One channel of a bit-field pixel, scaled to 0-255.
struct TChannel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit TChannel(uint32_t m = 0) : mask(m) {
    if (!mask) return;
    while (!((mask >> shift) & 1)) ++shift;
    max = mask >> shift;
  }
  uint8_t Of(uint32_t v, uint8_t absent) const {
    if (!mask) return absent;
    return uint8_t((uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
  }
};

struct TDib {
  int64_t width = 0, height = 0;
  bool topDown = false;
  int bpp = 0;
  uint32_t compression = kBiRgb;
  uint32_t masks[4] = {};  // red, green, blue, alpha
  std::vector<TColor32> palette;
  size_t pixelOffset = 0;  // where the pixels start unless the file header says otherwise
};

// Parses the info header at `at`, the bit-field masks and the palette.
// forIcon: the stated height covers the colour rows and the AND mask, and
// 32-bit pixels carry alpha in their fourth byte.
TDib ParseDib(TBytes& in, size_t at, bool forIcon, const TDecodeHint& hint) {
  TDib dib;
  uint32_t headerSize = in.U32(at);
  uint32_t colorsUsed = 0;
  size_t paletteEntrySize = 4;
  if (headerSize == kCoreHeaderSize) {
    dib.width = in.U16(at + 4);
    dib.height = in.U16(at + 6);
    dib.bpp = in.U16(at + 10);
    paletteEntrySize = 3;
  } else if (headerSize >= kInfoHeaderSize) {
    in.Need(at, headerSize);
    dib.width = in.S32(at + 4);
    dib.height = in.S32(at + 8);
    dib.bpp = in.U16(at + 14);
    dib.compression = in.U32(at + 16);
    colorsUsed = in.U32(at + 32);
  } else {
    throw DecodeError("bitmap: unsupported header size " + std::to_string(headerSize));
  }
  if (dib.height < 0) {
    dib.topDown = true;
    dib.height = -dib.height;
  }
  if (forIcon) dib.height /= 2;

  const int bpp = dib.bpp;
  bool valid = false;
  switch (dib.compression) {
    case kBiRgb:
      valid = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
      break;
    case kBiRle8:
      valid = bpp == 8 && !forIcon;
      break;
    case kBiRle4:
      valid = bpp == 4 && !forIcon;
      break;
    case kBiBitFields:
    case kBiAlphaBitFields:
      valid = bpp == 16 || bpp == 32;
      break;
  }
  if (!valid)
    throw DecodeError("bitmap: unsupported format (" + std::to_string(bpp) + " bits, compression " +
                      std::to_string(dib.compression) + ")");
  CheckPictureSize(dib.width, dib.height, hint);

  size_t next = at + headerSize;
  if (dib.compression == kBiBitFields || dib.compression == kBiAlphaBitFields) {
    int count = dib.compression == kBiAlphaBitFields ? 4 : 3;
    if (headerSize >= kInfoHeaderSize + 12) {
      // Newer headers hold the masks themselves (alpha from 56 bytes on).
      count = headerSize >= kInfoHeaderSize + 16 ? 4 : 3;
      for (int i = 0; i < count; ++i) dib.masks[i] = in.U32(at + kInfoHeaderSize + 4 * size_t(i));
    } else {
      for (int i = 0; i < count; ++i) dib.masks[i] = in.U32(next + 4 * size_t(i));
      next += 4 * size_t(count);
    }
  } else if (bpp == 16) {
    dib.masks[0] = 0x7C00, dib.masks[1] = 0x03E0, dib.masks[2] = 0x001F;
  } else if (bpp == 32) {
    dib.masks[0] = 0xFF0000, dib.masks[1] = 0xFF00, dib.masks[2] = 0xFF;
    if (forIcon) dib.masks[3] = 0xFF000000;
  }

  if (bpp <= 8) {
    uint64_t stated = colorsUsed ? colorsUsed : (1u << bpp);
    size_t used = size_t(std::min<uint64_t>(stated, 1u << bpp));
    in.Need(next, used * paletteEntrySize);
    dib.palette.resize(used);
    const uint8_t* entries = in.At(next, used * paletteEntrySize);
    for (size_t i = 0; i < used; ++i) {
      const uint8_t* e = entries + i * paletteEntrySize;
      dib.palette[i] = Color32(e[2], e[1], e[0]);
    }
    // Entries beyond what the pixels can index still take room before them.
    if (in.Has(next, stated * paletteEntrySize))
      next += size_t(stated) * paletteEntrySize;
    else
      next += used * paletteEntrySize;
  } else if (colorsUsed <= 256 && in.Has(next, colorsUsed * paletteEntrySize)) {
    next += colorsUsed * paletteEntrySize;  // an unused palette for display hints
  }
  dib.pixelOffset = next;
  return dib;
}

TColor32 PaletteColor(const TDib& dib, uint32_t index) {
  return index < dib.palette.size() ? dib.palette[index] : kOpaqueBlack;
}

int64_t RowStride(const TDib& dib) { return (dib.width * dib.bpp + 31) / 32 * 4; }

int32_t TargetRow(const TDib& dib, int64_t fileRow) {
  return int32_t(dib.topDown ? fileRow : dib.height - 1 - fileRow);
}

// Uncompressed rows, whose presence the caller has checked. Returns the
// offset just past the last row.
size_t DecodeUncompressed(const TDib& dib, TBytes& in, size_t offset, TBitmap32& out) {
  const int64_t stride = RowStride(dib);
  const size_t rowBytes = size_t((dib.width * dib.bpp + 7) / 8);  // without the padding
  const TChannel red(dib.masks[0]), green(dib.masks[1]), blue(dib.masks[2]), alpha(dib.masks[3]);
  const int32_t width = int32_t(dib.width);
  for (int64_t row = 0; row < dib.height; ++row) {
    const uint8_t* src = in.At(offset + size_t(row * stride), rowBytes);
    TColor32* dst = out.ScanLine(TargetRow(dib, row));
    switch (dib.bpp) {
      case 1:
      case 4:
      case 8: {
        const int bits = dib.bpp;
        const uint32_t mask = (1u << bits) - 1;
        for (int32_t x = 0; x < width; ++x) {
          int64_t bit = int64_t(x) * bits;
          uint32_t index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
          dst[x] = PaletteColor(dib, index);
        }
        break;
      }
      case 24:
        for (int32_t x = 0; x < width; ++x, src += 3) dst[x] = Color32(src[2], src[1], src[0]);
        break;
      case 16:
      case 32:
        for (int32_t x = 0; x < width; ++x) {
          uint32_t v = dib.bpp == 16 ? uint32_t(src[0] | src[1] << 8)
                                     : uint32_t(src[0]) | uint32_t(src[1]) << 8 |
                                           uint32_t(src[2]) << 16 | uint32_t(src[3]) << 24;
          src += dib.bpp / 8;
          dst[x] = Color32(red.Of(v, 0), green.Of(v, 0), blue.Of(v, 0), alpha.Of(v, 255));
        }
        break;
    }
  }
  return offset + size_t(stride * dib.height);
}

// RLE8 and RLE4: runs, end of line, end of bitmap, deltas and absolute
// runs (padded to 16 bits). Pixels the data skips stay opaque black; pixels
// beyond the picture's edges are dropped.
void DecodeRle(const TDib& dib, TBytes& in, size_t offset, TBitmap32& out) {
  out.Clear(kOpaqueBlack);
  const bool rle4 = dib.compression == kBiRle4;
  int64_t x = 0, row = 0;
  size_t pos = offset;
  auto put = [&](uint32_t index) {
    if (x < dib.width && row < dib.height)
      out.SetPixel(int32_t(x), TargetRow(dib, row), PaletteColor(dib, index));
    ++x;
  };
  while (row < dib.height) {
    const uint8_t* code = in.At(pos, 2);
    const uint8_t count = code[0], value = code[1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(rle4 ? (i % 2 ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta
      const uint8_t* delta = in.At(pos, 2);
      x += delta[0];
      row += delta[1];
      pos += 2;
    } else {  // absolute run of `value` pixels
      size_t bytes = rle4 ? (value + 1u) / 2 : value;
      const uint8_t* p = in.At(pos, bytes);
      for (int i = 0; i < value; ++i) put(rle4 ? (i % 2 ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
      pos += (bytes + 1) & ~size_t(1);
    }
  }
}

bool AllAlphaZero(const TBitmap32& bitmap) {
  const TColor32* p = bitmap.Bits();
  size_t count = size_t(bitmap.Width()) * size_t(bitmap.Height());
  return std::all_of(p, p + count, [](TColor32 c) { return AlphaOf(c) == 0; });
}

// Decodes the pixels of a parsed DIB into the whole picture of out; returns
// the offset after the pixel rows through endOffset (uncompressed formats only).
TBitmap32& DecodeDibPixels(const TDib& dib, TBytes& in, size_t offset, size_t* endOffset,
                           TPictureOut& out) {
  if (dib.compression == kBiRle8 || dib.compression == kBiRle4) {
    in.Need(offset, 2);  // RLE data has no stated length: at least one code
    out.Begin(int32_t(dib.width), int32_t(dib.height));
    TBitmap32& bitmap = out.Whole();
    DecodeRle(dib, in, offset, bitmap);
    return bitmap;
  }
  // Check that the rows are there before reserving memory for them; the
  // last row's padding may be missing.
  in.Need(offset, uint64_t(RowStride(dib) * (dib.height - 1) + (dib.width * dib.bpp + 7) / 8));
  out.Begin(int32_t(dib.width), int32_t(dib.height));
  TBitmap32& bitmap = out.Whole();
  size_t end = DecodeUncompressed(dib, in, offset, bitmap);
  if (endOffset) *endOffset = end;
  return bitmap;
}

}  // namespace

TBitmap32 DecodeBmp(const TPictureSource& source, const TDecodeHint& hint) {
  TBytes in(source, "bitmap: file is truncated");
  const uint64_t size = in.Size();
  size_t headerAt = 0;
  uint64_t statedOffset = 0;
  if (size >= 2 && in.U8(0) == 'B' && in.U8(1) == 'M') {
    in.Need(0, kFileHeaderSize);
    statedOffset = in.U32(10);
    headerAt = kFileHeaderSize;
  }
  TDib dib = ParseDib(in, headerAt, false, hint);
  // A broken stated offset (0, inside the header, past the end) is ignored.
  size_t offset = dib.pixelOffset;
  if (statedOffset >= headerAt + 12 && statedOffset < size) offset = size_t(statedOffset);
  TPictureOut out(hint, int32_t(dib.width), int32_t(dib.height));
  TBitmap32& bitmap = DecodeDibPixels(dib, in, offset, nullptr, out);
  // Alpha from an alpha mask counts unless every pixel has 0: writers that
  // fill the byte with nothing meant an opaque picture.
  if (dib.masks[3] && AllAlphaZero(bitmap)) bitmap.ResetAlpha(255);
  return out.Finish();
}

TBitmap32 DecodeIconDib(const TPictureSource& source, const TDecodeHint& hint) {
  TBytes in(source, "bitmap: file is truncated");
  TDib dib = ParseDib(in, 0, true, hint);
  size_t andOffset = 0;
  TPictureOut out(hint, int32_t(dib.width), int32_t(dib.height));
  TBitmap32& bitmap = DecodeDibPixels(dib, in, dib.pixelOffset, &andOffset, out);
  // 32-bit images carry their own alpha; otherwise (or when that alpha is
  // all 0) the 1-bit AND mask marks the transparent pixels. A missing mask
  // leaves the picture opaque.
  if (dib.bpp == 32 && !AllAlphaZero(bitmap)) return out.Finish();
  bitmap.ResetAlpha(255);
  const int64_t andStride = (dib.width + 31) / 32 * 4;
  if (!in.Has(andOffset, uint64_t(andStride * dib.height))) return out.Finish();
  for (int64_t row = 0; row < dib.height; ++row) {
    const uint8_t* bits = in.At(andOffset + size_t(row * andStride), size_t(andStride));
    TColor32* dst = bitmap.ScanLine(TargetRow(dib, row));
    for (int64_t x = 0; x < dib.width; ++x)
      if ((bits[x / 8] >> (7 - x % 8)) & 1) dst[x] = 0;
  }
  return out.Finish();
}

}  // namespace saver
