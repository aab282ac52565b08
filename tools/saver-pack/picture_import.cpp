#include "picture_import.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cctype>

#include "import_decoders.h"
#include "input_file.h"
#include "pack_error.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/decoders/png_writer.h"
#include "upright.h"

namespace saver {
namespace {

// Photos are stored at this JPEG quality, every colour sample kept (4:4:4).
constexpr int kJpegQuality = 95;

enum class TImported { None, Svg, Webp, Heif, Avif, Jxl };

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

TImported FormatOf(const std::string& ext) {
  const std::string e = Lower(ext);
  if (e == ".svg" || e == ".svgz") return TImported::Svg;
  if (e == ".webp") return TImported::Webp;
  if (e == ".heic" || e == ".heif") return TImported::Heif;
  if (e == ".avif") return TImported::Avif;
  if (e == ".jxl") return TImported::Jxl;
  return TImported::None;
}

const char* FormatName(TImported format, const std::string& ext) {
  switch (format) {
    case TImported::Svg: return "SVG";
    case TImported::Webp: return "WebP";
    case TImported::Heif: return Lower(ext) == ".heic" ? "HEIC" : "HEIF";
    case TImported::Avif: return "AVIF";
    case TImported::Jxl: return "JPEG XL";
    case TImported::None: break;
  }
  return "";
}

TImportedPixels Decode(const std::string& path, const std::string& ext, bool upright) {
  const TImported format = FormatOf(ext);
  if (format == TImported::None) throw DecodeError("unknown picture format '" + ext + "'");
  if (format == TImported::Svg) return DecodeSvg(path);
  std::vector<uint8_t> file;
  try {
    file = ReadWholeFile(path);
  } catch (const PackError& e) {
    throw DecodeError(e.what());
  }
  switch (format) {
    case TImported::Webp: return DecodeWebp(file);
    case TImported::Heif: return DecodeHeif(file, upright);
    case TImported::Avif: return DecodeAvif(file, upright);
    default: return DecodeJxl(file, upright);
  }
}

// The pixels of a source that holds a JPEG: that JPEG decoded, turned as
// the source says when upright.
void DecodeHeldJpeg(TImportedPixels& pixels, bool upright) {
  if (!pixels.Picture.Empty() || !pixels.Jpeg) return;
  pixels.Picture = DecodePictureMemory(pixels.Jpeg->data(), pixels.Jpeg->size(), ".jpg");
  if (upright) pixels.Picture = TurnUpright(pixels.Picture, pixels.JpegOrientation);
}

std::vector<uint8_t> EncodeJpeg(const TBitmap32& picture) {
  tjhandle tj = tjInitCompress();
  if (!tj) throw DecodeError("JPEG: cannot start the encoder");
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int failed = tjCompress2(tj, reinterpret_cast<const unsigned char*>(picture.Bits()),
                                 picture.Width(), 0, picture.Height(), TJPF_BGRA, &out, &size,
                                 TJSAMP_444, kJpegQuality, TJFLAG_ACCURATEDCT);
  const std::string error = failed ? tjGetErrorStr2(tj) : "";
  std::vector<uint8_t> bytes;
  if (!failed) bytes.assign(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  if (failed) throw DecodeError("JPEG: " + error);
  return bytes;
}

}  // namespace

bool IsImportedExtension(const std::string& ext) { return FormatOf(ext) != TImported::None; }

std::string AcceptedFormatsText() {
  return "saver-pack takes pictures in JPEG, PNG, GIF, BMP, TIFF, ICO, SVG, WebP, HEIC/HEIF, AVIF "
         "or JPEG XL, and videos in AVI, MPEG, MP4, MKV, WebM, MOV, M4V or OGV";
}

TImportedPicture ImportPicture(const std::string& path, const std::string& ext,
                               const TImportOptions& options) {
  TImportedPixels pixels = Decode(path, ext, options.Upright);
  const std::string from = std::string("converted from ") + FormatName(FormatOf(ext), ext);
  TImportedPicture picture;
  const auto tag = pixels.Jpeg ? FindJpegOrientation(*pixels.Jpeg) : std::nullopt;
  if (pixels.Jpeg && !options.Lossless && (tag ? tag->Value : 1) == pixels.JpegOrientation) {
    // The JPEG the source was made from comes back as it was, turned
    // losslessly like any JPEG when its orientation tag says so.
    picture.Bytes = std::move(*pixels.Jpeg);
    if (options.Upright)
      if (auto upright = UprightJpeg(picture.Bytes)) picture.Bytes = std::move(upright->Bytes);
    picture.Ext = ".jpg";
    picture.How = from + ": the JPEG it was made from";
    return picture;
  }
  DecodeHeldJpeg(pixels, options.Upright);
  const bool transparent = HasTransparency(pixels.Picture);
  try {
    if (transparent || pixels.Lossless || options.Lossless) {
      picture.Bytes = EncodePng(pixels.Picture, transparent);
      picture.Ext = ".png";
      picture.How = from + (transparent ? " (transparent)" : pixels.Lossless ? " (lossless)" : "") +
                    " to PNG";
    } else {
      picture.Bytes = EncodeJpeg(pixels.Picture);
      picture.Ext = ".jpg";
      picture.How = from + " to JPEG";
    }
  } catch (const std::runtime_error& e) {
    throw DecodeError(e.what());
  }
  if (FormatOf(ext) == TImported::Svg)
    picture.How += " at " + std::to_string(pixels.Picture.Width()) + " x " +
                   std::to_string(pixels.Picture.Height());
  return picture;
}

TBitmap32 DecodeImportedPicture(const std::string& path, const std::string& ext, bool upright) {
  TImportedPixels pixels = Decode(path, ext, upright);
  DecodeHeldJpeg(pixels, upright);
  return std::move(pixels.Picture);
}

bool HasTransparency(const TBitmap32& picture) {
  const TColor32* p = picture.Bits();
  return std::any_of(p, p + size_t(picture.Width()) * size_t(picture.Height()),
                     [](TColor32 c) { return c >> 24 != 255; });
}

}  // namespace saver
