// PNG decoding through libpng. libpng reports errors with longjmp, so the
// calls into it live in small functions that hold only plain C data; the
// C++ side allocates and throws outside of them.
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "payload/decoders/decoders.h"
#include "payload/decoders/picture_out.h"

namespace saver {
namespace {

static_assert(std::endian::native == std::endian::little,
              "B, G, R, A bytes in memory must form 0xAARRGGBB words");

struct PngSource {
  png_structp png;
  png_infop info;
  TSourceReader* reader;
  bool failed;  // the source could not be read
  char error[256];
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* src = static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(src->error, sizeof src->error, "%s", message ? message : "libpng error");
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// libpng's read callback; what cannot be read ends the picture through
// png_error, after the C++ part of the call has finished.
void ReadFromSource(png_structp png, png_bytep out, png_size_t count) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  size_t got = 0;
  try {
    got = src->reader->Read(out, count);
  } catch (...) {
    src->failed = true;
  }
  if (src->failed) png_error(png, "cannot read the file");
  if (got != count) png_error(png, "file is truncated");
}

// Reads the header and sets up the transformations to 8-bit B, G, R, A.
// Returns false with src->error set on failure.
bool ReadPngHeader(PngSource* src, uint32_t* width, uint32_t* height) {
  if (setjmp(png_jmpbuf(src->png))) return false;
  png_set_read_fn(src->png, src, ReadFromSource);
  // Ancillary chunks (text, profiles) may not make the library hold more than
  // a few megabytes, however much they claim to inflate to.
  png_set_chunk_malloc_max(src->png, 8u << 20);
  png_set_chunk_cache_max(src->png, 1000);
  png_read_info(src->png, src->info);
  *width = png_get_image_width(src->png, src->info);
  *height = png_get_image_height(src->png, src->info);
  png_set_expand(src->png);
  png_set_strip_16(src->png);
  png_set_gray_to_rgb(src->png);
  png_set_bgr(src->png);
  png_set_filler(src->png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(src->png);
  png_read_update_info(src->png, src->info);
  if (png_get_rowbytes(src->png, src->info) != size_t(*width) * 4) {
    std::snprintf(src->error, sizeof src->error, "unexpected row size");
    return false;
  }
  return true;
}

// An interlaced picture comes whole, in passes; the others row by row, as
// many as the output wants.
bool ReadPngRows(PngSource* src, TPictureOut* out, png_bytep* wholeRows, uint32_t height) {
  if (setjmp(png_jmpbuf(src->png))) return false;
  if (wholeRows) {
    png_read_image(src->png, wholeRows);
    return true;
  }
  for (uint32_t y = 0; y < height && out->WantsRows(); ++y) {
    png_read_row(src->png, reinterpret_cast<png_bytep>(out->Row(int32_t(y))), nullptr);
    out->Put(int32_t(y));
  }
  return true;
}

}  // namespace

TBitmap32 DecodePng(const TPictureSource& source, const TDecodeHint& hint) {
  uint8_t signature[8] = {};
  if (source.ReadAt(0, signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0)
    throw DecodeError("PNG: bad signature");
  TSourceReader reader(source);
  PngSource src{};
  src.reader = &reader;
  src.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &src, OnPngError, OnPngWarning);
  if (!src.png) throw DecodeError("PNG: out of memory");
  src.info = png_create_info_struct(src.png);
  struct Cleanup {
    PngSource& s;
    ~Cleanup() { png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr); }
  } cleanup{src};
  if (!src.info) throw DecodeError("PNG: out of memory");

  uint32_t width = 0, height = 0;
  if (!ReadPngHeader(&src, &width, &height)) throw DecodeError(std::string("PNG: ") + src.error);
  CheckPictureSize(width, height, hint);

  TPictureOut out(hint, int32_t(width), int32_t(height));
  out.Begin(int32_t(width), int32_t(height));
  std::vector<png_bytep> wholeRows;
  if (png_get_interlace_type(src.png, src.info) != PNG_INTERLACE_NONE) {
    TBitmap32& whole = out.Whole();
    wholeRows.resize(height);
    for (uint32_t y = 0; y < height; ++y)
      wholeRows[y] = reinterpret_cast<png_bytep>(whole.ScanLine(int32_t(y)));
  }
  if (!ReadPngRows(&src, &out, wholeRows.empty() ? nullptr : wholeRows.data(), height))
    throw DecodeError(std::string("PNG: ") + src.error);
  return out.Finish();
}

}  // namespace saver
