// PNG encoding through libpng. As in the decoder, the longjmp-prone calls
// live in a function that holds only plain C data.
#include "payload/decoders/png_writer.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace saver {
namespace {

struct PngSink {
  png_structp png;
  png_infop info;
  unsigned char* buffer;  // malloc'ed, grows as libpng writes
  size_t size;
  size_t capacity;
  char error[256];
};

void OnWriteError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  std::snprintf(sink->error, sizeof sink->error, "%s", message ? message : "libpng error");
  png_longjmp(png, 1);
}

void OnWriteWarning(png_structp, png_const_charp) {}

void WriteToMemory(png_structp png, png_bytep data, png_size_t count) {
  auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
  if (count > sink->capacity - sink->size) {
    size_t wanted = sink->size + count;
    size_t capacity = sink->capacity ? sink->capacity : 4096;
    while (capacity < wanted) capacity *= 2;
    auto* grown = static_cast<unsigned char*>(std::realloc(sink->buffer, capacity));
    if (!grown) png_error(png, "out of memory");
    sink->buffer = grown;
    sink->capacity = capacity;
  }
  std::memcpy(sink->buffer + sink->size, data, count);
  sink->size += count;
}

void FlushNothing(png_structp) {}

// rows point at B, G, R, A bytes; alpha is written or stripped.
bool WritePngRows(PngSink* sink, png_bytep* rows, uint32_t width, uint32_t height, bool withAlpha) {
  if (setjmp(png_jmpbuf(sink->png))) return false;
  png_set_write_fn(sink->png, sink, WriteToMemory, FlushNothing);
  png_set_IHDR(sink->png, sink->info, width, height, 8,
               withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(sink->png, sink->info);
  png_set_bgr(sink->png);
  if (!withAlpha) png_set_filler(sink->png, 0, PNG_FILLER_AFTER);
  png_write_image(sink->png, rows);
  png_write_end(sink->png, nullptr);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodePng(const TBitmap32& bitmap, bool withAlpha) {
  if (bitmap.Empty()) throw std::runtime_error("PNG: cannot write an empty picture");
  PngSink sink{};
  sink.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnWriteError, OnWriteWarning);
  if (!sink.png) throw std::runtime_error("PNG: out of memory");
  sink.info = png_create_info_struct(sink.png);
  struct Cleanup {
    PngSink& s;
    ~Cleanup() {
      png_destroy_write_struct(&s.png, s.info ? &s.info : nullptr);
      std::free(s.buffer);
    }
  } cleanup{sink};
  if (!sink.info) throw std::runtime_error("PNG: out of memory");

  std::vector<png_bytep> rows(size_t(bitmap.Height()));
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<TColor32*>(bitmap.ScanLine(y)));
  if (!WritePngRows(&sink, rows.data(), uint32_t(bitmap.Width()), uint32_t(bitmap.Height()),
                    withAlpha))
    throw std::runtime_error(std::string("PNG: ") + sink.error);
  return std::vector<uint8_t>(sink.buffer, sink.buffer + sink.size);
}

void WritePng(const TBitmap32& bitmap, const std::string& path, bool withAlpha) {
  std::vector<uint8_t> bytes = EncodePng(bitmap, withAlpha);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("PNG: cannot write " + path);
}

}  // namespace saver
