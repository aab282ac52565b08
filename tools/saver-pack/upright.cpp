#include "upright.h"

#include <tiffio.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "payload/decoders/picture_decoder.h"

namespace saver {
namespace {

uint16_t Read16(std::span<const uint8_t> b, size_t at, bool bigEndian) {
  return bigEndian ? uint16_t(b[at] << 8 | b[at + 1]) : uint16_t(b[at + 1] << 8 | b[at]);
}

uint32_t Read32(std::span<const uint8_t> b, size_t at, bool bigEndian) {
  const uint32_t hi = Read16(b, at + (bigEndian ? 0 : 2), bigEndian);
  const uint32_t lo = Read16(b, at + (bigEndian ? 2 : 0), bigEndian);
  return hi << 16 | lo;
}

// The orientation entry of IFD0 in the TIFF structure of an EXIF block.
std::optional<TExifOrientation> OrientationInExif(std::span<const uint8_t> file, size_t base,
                                                  size_t size) {
  const std::span<const uint8_t> tiff = file.subspan(base, size);
  if (tiff.size() < 8) return std::nullopt;
  bool big;
  if (tiff[0] == 'I' && tiff[1] == 'I') big = false;
  else if (tiff[0] == 'M' && tiff[1] == 'M') big = true;
  else return std::nullopt;
  if (Read16(tiff, 2, big) != 42) return std::nullopt;
  const uint64_t ifd = Read32(tiff, 4, big);
  if (ifd + 2 > tiff.size()) return std::nullopt;
  const uint16_t count = Read16(tiff, size_t(ifd), big);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t entry = ifd + 2 + uint64_t(i) * 12;
    if (entry + 12 > tiff.size()) return std::nullopt;
    if (Read16(tiff, size_t(entry), big) != 0x0112) continue;
    // SHORT, one value, held in the entry itself.
    if (Read16(tiff, size_t(entry) + 2, big) != 3 || Read32(tiff, size_t(entry) + 4, big) != 1)
      return std::nullopt;
    const int value = Read16(tiff, size_t(entry) + 8, big);
    if (value < 1 || value > 8) return std::nullopt;
    return TExifOrientation{value, base + size_t(entry) + 8, big};
  }
  return std::nullopt;
}

// True when the JPEG's frame is progressive (SOF2), so that the turned
// picture keeps the coding it had.
bool IsProgressiveJpeg(std::span<const uint8_t> jpeg) {
  for (size_t p = 2; p + 4 <= jpeg.size();) {
    if (jpeg[p] != 0xFF) return false;
    const uint8_t marker = jpeg[p + 1];
    if (marker == 0xFF) {
      ++p;
      continue;
    }
    if (marker == 0xC2) return true;
    if (marker == 0xDA || marker == 0xD9) return false;
    p += 2 + (size_t(jpeg[p + 2]) << 8 | jpeg[p + 3]);
  }
  return false;
}

struct TTjHandle {
  tjhandle Handle = tjInitTransform();
  ~TTjHandle() {
    if (Handle) tjDestroy(Handle);
  }
};

struct TTjBuffer {
  unsigned char* Data = nullptr;
  unsigned long Size = 0;
  ~TTjBuffer() { tjFree(Data); }
};

// ---- TIFF in memory -------------------------------------------------------

struct TMemoryFile {
  std::vector<uint8_t> Bytes;
  uint64_t Pos = 0;
  char Error[256] = "";
};

tmsize_t MemRead(thandle_t h, void* out, tmsize_t n) {
  auto* f = static_cast<TMemoryFile*>(h);
  if (n <= 0 || f->Pos >= f->Bytes.size()) return 0;
  const size_t k = std::min<uint64_t>(uint64_t(n), f->Bytes.size() - f->Pos);
  std::memcpy(out, f->Bytes.data() + f->Pos, k);
  f->Pos += k;
  return tmsize_t(k);
}

tmsize_t MemWrite(thandle_t h, void* in, tmsize_t n) {
  auto* f = static_cast<TMemoryFile*>(h);
  if (n <= 0) return 0;
  if (f->Pos + uint64_t(n) > f->Bytes.size()) f->Bytes.resize(size_t(f->Pos + uint64_t(n)));
  std::memcpy(f->Bytes.data() + f->Pos, in, size_t(n));
  f->Pos += uint64_t(n);
  return n;
}

toff_t MemSeek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<TMemoryFile*>(h);
  const uint64_t base = whence == SEEK_CUR ? f->Pos : whence == SEEK_END ? f->Bytes.size() : 0;
  f->Pos = base + offset;
  return f->Pos;
}

int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t h) { return static_cast<TMemoryFile*>(h)->Bytes.size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

int OnTiffError(TIFF*, void* user, const char*, const char* fmt, va_list args) {
  auto* f = static_cast<TMemoryFile*>(user);
  if (!f->Error[0]) std::vsnprintf(f->Error, sizeof f->Error, fmt, args);
  return 1;
}
int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiff {
  TIFFOpenOptions* Options = nullptr;
  TIFF* Tiff = nullptr;
  TTiff(TMemoryFile& file, const char* mode) {
    Options = TIFFOpenOptionsAlloc();
    if (!Options) throw std::runtime_error("TIFF: out of memory");
    TIFFOpenOptionsSetErrorHandlerExtR(Options, OnTiffError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(Options, OnTiffWarning, &file);
    Tiff = TIFFClientOpenExt("memory", mode, &file, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                             MemMap, MemUnmap, Options);
  }
  ~TTiff() {
    if (Tiff) TIFFClose(Tiff);
    if (Options) TIFFOpenOptionsFree(Options);
  }
};

[[noreturn]] void TiffFailure(const TMemoryFile& file, const char* what) {
  throw std::runtime_error(std::string("TIFF: ") + what + (file.Error[0] ? ": " : "") + file.Error);
}

// Where the stored pixel (c, r) of a w x h raster shows in the upright
// picture, for each orientation as the TIFF and EXIF tags define it: the
// sides of the picture that the stored first row and first column belong to.
void DisplayPosition(int orientation, uint32_t c, uint32_t r, uint32_t w, uint32_t h,
                     uint32_t& x, uint32_t& y) {
  switch (orientation) {
    case 2: x = w - 1 - c, y = r; break;              // row top, column right
    case 3: x = w - 1 - c, y = h - 1 - r; break;      // row bottom, column right
    case 4: x = c, y = h - 1 - r; break;              // row bottom, column left
    case 5: x = r, y = c; break;                      // row left, column top
    case 6: x = h - 1 - r, y = c; break;              // row right, column top
    case 7: x = h - 1 - r, y = w - 1 - c; break;      // row right, column bottom
    case 8: x = r, y = w - 1 - c; break;              // row left, column bottom
    default: x = c, y = r; break;
  }
}

// The raster holds libtiff's packed pixels (R in the low byte, A in the top).
std::vector<uint8_t> WriteTiff(const TBitmap32& raster) {
  const uint32_t w = uint32_t(raster.Width()), h = uint32_t(raster.Height());
  const TColor32* rgba = raster.Bits();
  const bool alpha = std::any_of(rgba, rgba + size_t(w) * h, [](uint32_t p) { return p >> 24 != 255; });
  const uint16_t samples = alpha ? 4 : 3;
  TMemoryFile file;
  {
    TTiff out(file, "w");
    if (!out.Tiff) TiffFailure(file, "cannot write");
    TIFF* t = out.Tiff;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    if (alpha) {
      // The raster is premultiplied, as libtiff hands it out; so it is stored.
      const uint16_t extra[] = {EXTRASAMPLE_ASSOCALPHA};
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    std::vector<uint8_t> row(size_t(w) * samples);
    for (uint32_t y = 0; y < h; ++y) {
      for (uint32_t x = 0; x < w; ++x) {
        const uint32_t p = rgba[size_t(y) * w + x];
        for (uint16_t s = 0; s < samples; ++s) row[size_t(x) * samples + s] = uint8_t(p >> (8 * s));
      }
      if (TIFFWriteScanline(t, row.data(), y, 0) < 0) TiffFailure(file, "cannot write");
    }
    if (!TIFFWriteDirectory(t)) TiffFailure(file, "cannot write");
  }
  return std::move(file.Bytes);
}

}  // namespace

TBitmap32 TurnUpright(const TBitmap32& stored, int orientation) {
  if (orientation < 2 || orientation > 8) return stored;
  const uint32_t w = uint32_t(stored.Width()), h = uint32_t(stored.Height());
  const bool swapped = orientation >= 5;
  TBitmap32 display(int32_t(swapped ? h : w), int32_t(swapped ? w : h));
  for (uint32_t r = 0; r < h; ++r) {
    const TColor32* row = stored.ScanLine(int32_t(r));
    for (uint32_t c = 0; c < w; ++c) {
      uint32_t x, y;
      DisplayPosition(orientation, c, r, w, h, x, y);
      display.SetPixel(int32_t(x), int32_t(y), row[c]);
    }
  }
  return display;
}

std::optional<int> ExifPayloadOrientation(std::span<const uint8_t> exif) {
  // The TIFF structure starts at once, after "Exif\0\0", or after the
  // four-byte offset the HEIF formats put before either.
  for (size_t at = 0; at + 8 <= exif.size() && at <= 16; ++at)
    if ((exif[at] == 'I' && exif[at + 1] == 'I' && exif[at + 2] == 42 && exif[at + 3] == 0) ||
        (exif[at] == 'M' && exif[at + 1] == 'M' && exif[at + 2] == 0 && exif[at + 3] == 42)) {
      const auto tag = OrientationInExif(exif, at, exif.size() - at);
      if (tag) return tag->Value;
      return std::nullopt;
    }
  return std::nullopt;
}

std::optional<TExifOrientation> FindJpegOrientation(std::span<const uint8_t> jpeg) {
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return std::nullopt;
  for (size_t p = 2; p + 4 <= jpeg.size();) {
    if (jpeg[p] != 0xFF) return std::nullopt;
    const uint8_t marker = jpeg[p + 1];
    if (marker == 0xFF) {  // fill byte
      ++p;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return std::nullopt;  // the picture data starts
    const size_t length = size_t(jpeg[p + 2]) << 8 | jpeg[p + 3];
    if (length < 2 || p + 2 + length > jpeg.size()) return std::nullopt;
    if (marker == 0xE1 && length >= 8 && std::memcmp(&jpeg[p + 4], "Exif\0\0", 6) == 0)
      return OrientationInExif(jpeg, p + 10, length - 8);
    p += 2 + length;
  }
  return std::nullopt;
}

std::optional<TUprightPicture> UprightJpeg(std::span<const uint8_t> jpeg) {
  const std::optional<TExifOrientation> tag = FindJpegOrientation(jpeg);
  if (!tag || tag->Value == 1) return std::nullopt;
  static constexpr int kOperation[9] = {TJXOP_NONE,  TJXOP_NONE,      TJXOP_HFLIP,
                                        TJXOP_ROT180, TJXOP_VFLIP,     TJXOP_TRANSPOSE,
                                        TJXOP_ROT90,  TJXOP_TRANSVERSE, TJXOP_ROT270};
  TTjHandle tj;
  if (!tj.Handle) throw std::runtime_error("JPEG: cannot start the lossless transform");
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  if (tjDecompressHeader3(tj.Handle, jpeg.data(), jpeg.size(), &width, &height, &subsampling,
                          &colourspace) != 0)
    throw std::runtime_error(std::string("JPEG: ") + tjGetErrorStr2(tj.Handle));
  tjtransform transform{};
  transform.op = kOperation[tag->Value];
  // A partial block at an edge that moves cannot be turned losslessly: it is
  // dropped (nothing is lost when the size is a whole number of blocks).
  transform.options = TJXOPT_TRIM | (IsProgressiveJpeg(jpeg) ? TJXOPT_PROGRESSIVE : 0);
  TTjBuffer out;
  if (tjTransform(tj.Handle, jpeg.data(), jpeg.size(), 1, &out.Data, &out.Size, &transform, 0) != 0)
    throw std::runtime_error(std::string("JPEG: ") + tjGetErrorStr2(tj.Handle));
  int outWidth = 0, outHeight = 0;
  if (tjDecompressHeader3(tj.Handle, out.Data, out.Size, &outWidth, &outHeight, &subsampling,
                          &colourspace) != 0)
    throw std::runtime_error(std::string("JPEG: ") + tjGetErrorStr2(tj.Handle));

  TUprightPicture upright;
  upright.Orientation = tag->Value;
  upright.Bytes.assign(out.Data, out.Data + out.Size);
  const bool swapped = tag->Value >= 5;
  upright.TrimmedColumns = (swapped ? height : width) - outWidth;
  upright.TrimmedRows = (swapped ? width : height) - outHeight;
  // The markers came along, the EXIF block with them: it must say upright now.
  if (const auto copied = FindJpegOrientation(upright.Bytes)) {
    upright.Bytes[copied->Offset] = copied->BigEndian ? 0 : 1;
    upright.Bytes[copied->Offset + 1] = copied->BigEndian ? 1 : 0;
  }
  return upright;
}

std::optional<TUprightPicture> UprightTiff(std::span<const uint8_t> tiff) {
  TMemoryFile file;
  file.Bytes.assign(tiff.begin(), tiff.end());
  TTiff in(file, "rm");
  if (!in.Tiff) TiffFailure(file, "cannot open");
  uint16_t orientation = ORIENTATION_TOPLEFT;
  if (!TIFFGetField(in.Tiff, TIFFTAG_ORIENTATION, &orientation) || orientation <= 1 ||
      orientation > 8)
    return std::nullopt;
  uint32_t w = 0, h = 0;
  if (!TIFFGetField(in.Tiff, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(in.Tiff, TIFFTAG_IMAGELENGTH, &h) ||
      w == 0 || h == 0 || uint64_t(w) * h > kMaxPicturePixels)
    TiffFailure(file, "no picture size, or too large a one");
  // Asking for the file's own orientation gives the raster as stored, first
  // stored row first: libtiff itself only flips, and the turning is done here.
  TBitmap32 stored{int32_t(w), int32_t(h)};
  if (!TIFFReadRGBAImageOriented(in.Tiff, w, h, stored.Bits(), orientation, 0))
    TiffFailure(file, "damaged picture data");
  TUprightPicture upright;
  upright.Orientation = orientation;
  upright.Bytes = WriteTiff(TurnUpright(stored, orientation));
  return upright;
}

bool MayCarryOrientation(const std::string& ext) {
  std::string e = ext;
  for (char& ch : e) ch = char(std::tolower(uint8_t(ch)));
  return e == ".jpg" || e == ".jpeg" || e == ".jpe" || e == ".jfif" || e == ".tif" || e == ".tiff";
}

std::optional<TUprightPicture> UprightPicture(std::span<const uint8_t> bytes, const std::string& ext) {
  if (!MayCarryOrientation(ext)) return std::nullopt;
  std::string e = ext;
  for (char& ch : e) ch = char(std::tolower(uint8_t(ch)));
  return e.rfind(".tif", 0) == 0 ? UprightTiff(bytes) : UprightJpeg(bytes);
}

}  // namespace saver
