#include "decoders/picture_builders.h"

#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>
#include <zlib.h>

namespace saver::testing {

void PutU16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void PutU32(Bytes& b, uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}

Bytes BuildBmp(const TBmpLayout& l, const Bytes& pixelData) {
  Bytes info;
  if (l.headerSize == 12) {
    PutU32(info, 12);
    PutU16(info, uint32_t(l.width));
    PutU16(info, uint32_t(l.height));
    PutU16(info, 1);
    PutU16(info, uint32_t(l.bpp));
  } else {
    PutU32(info, l.headerSize);
    PutU32(info, uint32_t(l.width));
    PutU32(info, uint32_t(l.height));
    PutU16(info, 1);
    PutU16(info, uint32_t(l.bpp));
    PutU32(info, l.compression);
    PutU32(info, uint32_t(pixelData.size()));
    PutU32(info, 2835);
    PutU32(info, 2835);
    PutU32(info, l.colorsUsed);
    PutU32(info, 0);
    if (l.headerSize >= 52)
      for (size_t i = 0; i < 4 && 40 + 4 * i + 4 <= l.headerSize; ++i)
        PutU32(info, i < l.masks.size() ? l.masks[i] : 0);
    info.resize(l.headerSize, 0);
    if (l.headerSize == 40)
      for (uint32_t m : l.masks) PutU32(info, m);
  }
  for (uint32_t c : l.palette) {
    info.push_back(uint8_t(c));
    info.push_back(uint8_t(c >> 8));
    info.push_back(uint8_t(c >> 16));
    if (l.headerSize != 12) info.push_back(0);
  }
  Bytes file;
  if (l.fileHeader) {
    uint32_t offset = uint32_t(14 + info.size());
    file = {'B', 'M'};
    PutU32(file, uint32_t(offset + pixelData.size()));
    PutU32(file, 0);
    PutU32(file, offset);
  }
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), pixelData.begin(), pixelData.end());
  return file;
}

Bytes PackRows(const std::vector<uint32_t>& values, int32_t width, int32_t height, int bpp,
               bool topDown) {
  size_t stride = (size_t(width) * size_t(bpp) + 31) / 32 * 4;
  Bytes out(stride * size_t(height), 0);
  for (int32_t r = 0; r < height; ++r) {
    int32_t y = topDown ? r : height - 1 - r;
    uint8_t* row = out.data() + size_t(r) * stride;
    for (int32_t x = 0; x < width; ++x) {
      uint32_t v = values[size_t(y) * size_t(width) + size_t(x)];
      if (bpp < 8) {
        size_t bit = size_t(x) * size_t(bpp);
        row[bit / 8] |= uint8_t(v << (8 - bpp - bit % 8));
      } else {
        for (int i = 0; i < bpp / 8; ++i)
          row[size_t(x) * size_t(bpp / 8) + size_t(i)] = uint8_t(v >> (8 * i));
      }
    }
  }
  return out;
}

Bytes BuildIco(const std::vector<TIconEntry>& entries) {
  Bytes file;
  PutU16(file, 0);
  PutU16(file, 1);
  PutU16(file, uint32_t(entries.size()));
  uint32_t offset = uint32_t(6 + 16 * entries.size());
  for (const TIconEntry& e : entries) {
    file.push_back(e.dirWidth);
    file.push_back(e.dirHeight);
    file.push_back(0);
    file.push_back(0);
    PutU16(file, 1);
    PutU16(file, e.bpp);
    PutU32(file, uint32_t(e.data.size()));
    PutU32(file, offset);
    offset += uint32_t(e.data.size());
  }
  for (const TIconEntry& e : entries) file.insert(file.end(), e.data.begin(), e.data.end());
  return file;
}

namespace {

Bytes IconDibHeader(int32_t width, int32_t height, int bpp, uint32_t colors) {
  Bytes b;
  PutU32(b, 40);
  PutU32(b, uint32_t(width));
  PutU32(b, uint32_t(height * 2));
  PutU16(b, 1);
  PutU16(b, uint32_t(bpp));
  PutU32(b, 0);
  PutU32(b, 0);
  PutU32(b, 0);
  PutU32(b, 0);
  PutU32(b, colors);
  PutU32(b, 0);
  return b;
}

void AppendAndMask(Bytes& b, const std::vector<bool>& mask, int32_t width, int32_t height) {
  std::vector<uint32_t> bits(mask.begin(), mask.end());
  Bytes rows = PackRows(bits, width, height, 1, false);
  b.insert(b.end(), rows.begin(), rows.end());
}

}  // namespace

Bytes BuildIconDib32(const TBitmap32& picture, const std::vector<bool>& andMask) {
  Bytes b = IconDibHeader(picture.Width(), picture.Height(), 32, 0);
  std::vector<uint32_t> values(picture.Bits(),
                               picture.Bits() + size_t(picture.Width()) * size_t(picture.Height()));
  Bytes rows = PackRows(values, picture.Width(), picture.Height(), 32, false);
  b.insert(b.end(), rows.begin(), rows.end());
  AppendAndMask(b, andMask, picture.Width(), picture.Height());
  return b;
}

Bytes BuildIconDib8(const std::vector<uint8_t>& indices, int32_t width, int32_t height,
                    const std::vector<uint32_t>& palette, const std::vector<bool>& andMask) {
  Bytes b = IconDibHeader(width, height, 8, uint32_t(palette.size()));
  for (uint32_t c : palette) PutU32(b, c);
  Bytes rows =
      PackRows(std::vector<uint32_t>(indices.begin(), indices.end()), width, height, 8, false);
  b.insert(b.end(), rows.begin(), rows.end());
  AppendAndMask(b, andMask, width, height);
  return b;
}

Bytes WithPngSize(Bytes png, uint32_t width, uint32_t height) {
  auto putBig = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) png[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
  };
  putBig(16, width);
  putBig(20, height);
  putBig(29, uint32_t(crc32(0, png.data() + 12, 17)));  // over "IHDR" and its 13 bytes
  return png;
}

namespace {

struct TJpegBuffer {
  unsigned char* data = nullptr;
  unsigned long size = 0;
  ~TJpegBuffer() { free(data); }
};

}  // namespace

Bytes EncodeJpeg(const TBitmap32& picture, int quality, bool gray) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  TJpegBuffer buffer;
  jpeg_mem_dest(&cinfo, &buffer.data, &buffer.size);
  cinfo.image_width = JDIMENSION(picture.Width());
  cinfo.image_height = JDIMENSION(picture.Height());
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRA;
  jpeg_set_defaults(&cinfo);
  if (gray) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(
        const_cast<TColor32*>(picture.ScanLine(int32_t(cinfo.next_scanline))));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return Bytes(buffer.data, buffer.data + buffer.size);
}

Bytes EncodeCmykJpeg(int32_t width, int32_t height, const std::vector<uint8_t>& cmyk, bool adobe) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  TJpegBuffer buffer;
  jpeg_mem_dest(&cinfo, &buffer.data, &buffer.size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row =
        const_cast<JSAMPROW>(cmyk.data() + size_t(cinfo.next_scanline) * size_t(width) * 4);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return Bytes(buffer.data, buffer.data + buffer.size);
}

namespace {

int AppendToBytes(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

}  // namespace

Bytes EncodeGif(const std::vector<uint8_t>& indices, int32_t width, int32_t height,
                const std::vector<uint32_t>& palette, int transparent, bool interlace,
                int32_t screenWidth, int32_t screenHeight, int32_t left, int32_t top) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, AppendToBytes, &error);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  GifColorType colors[256] = {};
  for (size_t i = 0; i < palette.size() && i < 256; ++i)
    colors[i] = {GifByteType(palette[i] >> 16), GifByteType(palette[i] >> 8),
                 GifByteType(palette[i])};
  ColorMapObject* map = GifMakeMapObject(256, colors);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, screenWidth ? screenWidth : width, screenHeight ? screenHeight : height, 8,
                    0, map);
  if (transparent >= 0) {
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    size_t length = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), ext);
  }
  EGifPutImageDesc(gif, left, top, width, height, interlace, nullptr);
  std::vector<int> order;
  if (interlace) {
    const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = start[pass]; y < height; y += step[pass]) order.push_back(y);
  } else {
    for (int y = 0; y < height; ++y) order.push_back(y);
  }
  for (int y : order) {
    std::vector<GifPixelType> line(indices.begin() + y * width, indices.begin() + (y + 1) * width);
    EGifPutLine(gif, line.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Bytes EncodeTiff(const TBitmap32& picture, bool withAlpha) {
  auto path = std::filesystem::temp_directory_path() /
              ("decoders_test_" + std::to_string(::getpid()) + ".tif");
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) throw std::runtime_error("TIFFOpen failed");
  const uint16_t samples = withAlpha ? 4 : 3;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(picture.Width()));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(picture.Height()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
  if (withAlpha) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  std::vector<uint8_t> row(size_t(picture.Width()) * samples);
  for (int32_t y = 0; y < picture.Height(); ++y) {
    for (int32_t x = 0; x < picture.Width(); ++x) {
      TColor32 c = picture.Pixel(x, y);
      uint8_t* p = row.data() + size_t(x) * samples;
      p[0] = RedOf(c), p[1] = GreenOf(c), p[2] = BlueOf(c);
      if (withAlpha) p[3] = AlphaOf(c);
    }
    TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
  }
  TIFFClose(tif);
  Bytes bytes = ReadFile(path.string());
  std::filesystem::remove(path);
  return bytes;
}

namespace {

void AppendToBytes(png_structp png, png_bytep data, png_size_t n) {
  auto* bytes = static_cast<Bytes*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + n);
}

}  // namespace

Bytes EncodeFlatPng(int32_t width, int32_t height, TColor32 color) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes out;
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, uint32_t(width), uint32_t(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<uint8_t> row(size_t(width) * 3);
  for (size_t x = 0; x < size_t(width); ++x)
    row[x * 3] = RedOf(color), row[x * 3 + 1] = GreenOf(color), row[x * 3 + 2] = BlueOf(color);
  for (int32_t y = 0; y < height; ++y) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes EncodeInterlacedPng(const TBitmap32& picture) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes out;
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, uint32_t(picture.Width()), uint32_t(picture.Height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);  // 0xAARRGGBB words are B, G, R, A in memory
  std::vector<png_bytep> rows(size_t(picture.Height()));
  for (int32_t y = 0; y < picture.Height(); ++y)
    rows[size_t(y)] = reinterpret_cast<png_bytep>(const_cast<TColor32*>(picture.ScanLine(y)));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

TBitmap32 Pattern(int32_t width, int32_t height, bool varyAlpha) {
  TBitmap32 b(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      b.SetPixel(
          x, y,
          Color32(uint8_t(x * 255 / std::max(1, width - 1)),
                  uint8_t(y * 255 / std::max(1, height - 1)), uint8_t((x * 3) ^ (y * 5)),
                  varyAlpha ? uint8_t(40 + (x + y) * 200 / std::max(1, width + height)) : 255));
  return b;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace saver::testing
