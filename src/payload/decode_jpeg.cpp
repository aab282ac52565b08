// JPEG decoding through libjpeg. Its error handler longjmps, so the calls
// into the library live in functions that hold only plain C data, and the
// C++ side allocates and throws outside of them.
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "payload/decoders.h"

namespace saver {
namespace {

static_assert(std::endian::native == std::endian::little,
              "B, G, R, A bytes in memory must form 0xAARRGGBB words");

struct JpegSource {
  jpeg_decompress_struct cinfo;  // first member: the error handler casts back to us
  jpeg_error_mgr err;
  jmp_buf jump;
  char error[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr cinfo) {
  auto* src = reinterpret_cast<JpegSource*>(cinfo);
  (*cinfo->err->format_message)(cinfo, src->error);
  std::longjmp(src->jump, 1);
}

// Warnings are ignored, except running out of data: libjpeg would pad a
// truncated file with grey, but a cut-off picture counts as damaged.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) OnJpegError(cinfo);
}

bool CreateJpeg(JpegSource* src) {
  if (setjmp(src->jump)) return false;
  jpeg_create_decompress(&src->cinfo);
  return true;
}

bool IsCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

// Reads the header and picks the smallest DCT scale M/8 whose output still
// covers the target in both directions (full size when there is no target).
// Scales between one half and one decode slower than the full size with
// libjpeg-turbo (their inverse DCTs have no SIMD path), so a target that
// needs more than half size gets the full size.
constexpr unsigned kLargestReducedScale = 4;
bool ReadJpegHeader(JpegSource* src, const uint8_t* data, size_t size, int32_t targetW,
                    int32_t targetH) {
  if (setjmp(src->jump)) return false;
  jpeg_mem_src(&src->cinfo, data, (unsigned long)size);
  jpeg_read_header(&src->cinfo, TRUE);
  src->cinfo.out_color_space = IsCmyk(src->cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGRA;
  src->cinfo.scale_num = 8;
  src->cinfo.scale_denom = 8;
  if (targetW > 0 && targetH > 0) {
    for (unsigned num = 1; num <= kLargestReducedScale; ++num) {
      src->cinfo.scale_num = num;
      jpeg_calc_output_dimensions(&src->cinfo);
      if (src->cinfo.output_width >= JDIMENSION(targetW) &&
          src->cinfo.output_height >= JDIMENSION(targetH))
        break;
      src->cinfo.scale_num = 8;
    }
  }
  jpeg_calc_output_dimensions(&src->cinfo);
  return true;
}

// Decodes into the bitmap rows (B, G, R, A) or, for CMYK, into one
// 4-byte-per-pixel row buffer per scanline that the caller converts.
bool ReadJpegRows(JpegSource* src, unsigned char** rows, unsigned char* cmykRow,
                  void (*convert)(const unsigned char*, unsigned char*, JDIMENSION, bool)) {
  if (setjmp(src->jump)) return false;
  jpeg_start_decompress(&src->cinfo);
  bool inverted = src->cinfo.saw_Adobe_marker;
  while (src->cinfo.output_scanline < src->cinfo.output_height) {
    JDIMENSION y = src->cinfo.output_scanline;
    if (cmykRow) {
      JSAMPROW row = cmykRow;
      jpeg_read_scanlines(&src->cinfo, &row, 1);
      convert(cmykRow, rows[y], src->cinfo.output_width, inverted);
    } else {
      JSAMPROW row = rows[y];
      jpeg_read_scanlines(&src->cinfo, &row, 1);
    }
  }
  jpeg_finish_decompress(&src->cinfo);
  return true;
}

// Adobe writes CMYK inverted (0 = full ink); others store it plainly.
void CmykToBgra(const unsigned char* cmyk, unsigned char* bgra, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgra += 4) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    bgra[0] = (unsigned char)((y * k + 127) / 255);
    bgra[1] = (unsigned char)((m * k + 127) / 255);
    bgra[2] = (unsigned char)((c * k + 127) / 255);
    bgra[3] = 255;
  }
}

}  // namespace

TBitmap32 DecodeJpeg(const uint8_t* data, size_t size, const TDecodeHint& hint) {
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) throw DecodeError("JPEG: bad signature");
  JpegSource src{};
  src.cinfo.err = jpeg_std_error(&src.err);
  src.err.error_exit = OnJpegError;
  src.err.emit_message = OnJpegMessage;
  if (!CreateJpeg(&src)) throw DecodeError(std::string("JPEG: ") + src.error);
  struct Cleanup {
    JpegSource& s;
    ~Cleanup() { jpeg_destroy_decompress(&s.cinfo); }
  } cleanup{src};

  if (!ReadJpegHeader(&src, data, size, hint.TargetWidth, hint.TargetHeight))
    throw DecodeError(std::string("JPEG: ") + src.error);
  // The stated size bounds the library's own buffers as well as ours.
  CheckPictureSize(src.cinfo.image_width, src.cinfo.image_height, hint);
  CheckPictureSize(src.cinfo.output_width, src.cinfo.output_height, hint);

  TBitmap32 bitmap{int32_t(src.cinfo.output_width), int32_t(src.cinfo.output_height)};
  std::vector<unsigned char*> rows(src.cinfo.output_height);
  for (JDIMENSION y = 0; y < src.cinfo.output_height; ++y)
    rows[y] = reinterpret_cast<unsigned char*>(bitmap.ScanLine(int32_t(y)));
  std::vector<unsigned char> cmykRow;
  if (src.cinfo.out_color_space == JCS_CMYK) cmykRow.resize(size_t(src.cinfo.output_width) * 4);
  if (!ReadJpegRows(&src, rows.data(), cmykRow.empty() ? nullptr : cmykRow.data(), CmykToBgra))
    throw DecodeError(std::string("JPEG: ") + src.error);
  return bitmap;
}

}  // namespace saver
