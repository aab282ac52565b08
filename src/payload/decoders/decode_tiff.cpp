// TIFF decoding through libtiff: the first directory, converted to RGBA by
// the library's generic reader (any photometric, bit depth and layout it
// supports).
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "payload/decoders/decoders.h"
#include "payload/decoders/picture_out.h"

namespace saver {
namespace {

struct TiffSource {
  const TPictureSource* source;
  uint64_t size;
  uint64_t pos;
  bool failed;  // the source could not be read
  char error[256];
};

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t count) {
  auto* src = static_cast<TiffSource*>(handle);
  if (count <= 0 || src->pos >= src->size) return 0;
  size_t n = 0;
  try {
    n = src->source->ReadAt(src->pos, out, size_t(count));
  } catch (...) {
    src->failed = true;
    return tmsize_t(-1);
  }
  src->pos += n;
  return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  auto* src = static_cast<TiffSource*>(handle);
  uint64_t base = whence == SEEK_CUR ? src->pos : whence == SEEK_END ? src->size : 0;
  uint64_t target = base + offset;  // wraps for negative offsets, caught below
  if (target > src->size) return toff_t(-1);
  src->pos = target;
  return target;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<TiffSource*>(handle)->size; }
// Data already in memory is "mapped": the library gets the buffer, which it
// only reads (the file is opened read-only). A file is read as needed.
int MapProc(thandle_t handle, void** base, toff_t* size) {
  auto* src = static_cast<TiffSource*>(handle);
  const uint8_t* data = src->source->Data();
  if (!data) return 0;
  *base = const_cast<uint8_t*>(data);
  *size = src->size;
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int OnTiffError(TIFF*, void* user, const char* module, const char* fmt, va_list args) {
  auto* src = static_cast<TiffSource*>(user);
  if (!src->error[0]) std::vsnprintf(src->error, sizeof src->error, fmt, args);
  return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffHandles {
  TIFFOpenOptions* options = nullptr;
  TIFF* tiff = nullptr;
  ~TTiffHandles() {
    if (tiff) TIFFClose(tiff);
    if (options) TIFFOpenOptionsFree(options);
  }
};

// The library returns premultiplied R, G, B, A bytes; TBitmap32 holds
// straight 0xAARRGGBB.
void RgbaToArgb(TBitmap32& bitmap) {
  TColor32* p = bitmap.Bits();
  size_t count = size_t(bitmap.Width()) * size_t(bitmap.Height());
  for (size_t i = 0; i < count; ++i) {
    uint32_t v = p[i];
    uint32_t r = v & 0xFF, g = (v >> 8) & 0xFF, b = (v >> 16) & 0xFF, a = v >> 24;
    if (a != 255 && a != 0) {
      r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
      g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
      b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
    }
    p[i] = Color32(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a));
  }
}

}  // namespace

TBitmap32 DecodeTiff(const TPictureSource& source, const TDecodeHint& hint) {
  uint8_t head[8] = {};
  if (source.ReadAt(0, head, 8) != 8 ||
      !((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M')))
    throw DecodeError("TIFF: bad signature");
  TiffSource src{&source, source.Size(), 0, false, {}};
  TTiffHandles handles;
  handles.options = TIFFOpenOptionsAlloc();
  if (!handles.options) throw DecodeError("TIFF: out of memory");
  TIFFOpenOptionsSetErrorHandlerExtR(handles.options, OnTiffError, &src);
  TIFFOpenOptionsSetWarningHandlerExtR(handles.options, OnTiffWarning, &src);
  // No single buffer of the library may outgrow the largest picture we accept.
  TIFFOpenOptionsSetMaxSingleMemAlloc(
      handles.options, tmsize_t(std::min<uint64_t>(hint.MaxPixels * 8, INT64_MAX / 2)));
  handles.tiff = TIFFClientOpenExt("memory", "r", &src, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc, handles.options);
  auto fail = [&](const char* what) {
    if (src.failed) throw DecodeError("TIFF: cannot read the file");
    throw DecodeError(std::string("TIFF: ") + what + (src.error[0] ? ": " : "") + src.error);
  };
  if (!handles.tiff) fail("cannot open");

  uint32_t width = 0, height = 0;
  if (!TIFFGetField(handles.tiff, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(handles.tiff, TIFFTAG_IMAGELENGTH, &height))
    fail("no picture size");
  CheckPictureSize(width, height, hint);
  char reason[1024] = "";
  if (!TIFFRGBAImageOK(handles.tiff, reason)) throw DecodeError(std::string("TIFF: ") + reason);

  // The library's generic reader makes the whole picture.
  TPictureOut out(hint, int32_t(width), int32_t(height));
  out.Begin(int32_t(width), int32_t(height));
  TBitmap32& bitmap = out.Whole();
  if (!TIFFReadRGBAImageOriented(handles.tiff, width, height, bitmap.Bits(), ORIENTATION_TOPLEFT,
                                 1))
    fail("damaged picture data");
  RgbaToArgb(bitmap);
  return out.Finish();
}

}  // namespace saver
