// JPEG decoding through libjpeg. Its error handler longjmps, so the calls
// into the library live in functions that hold only plain C data, and the
// C++ side allocates and throws outside of them.
#include <cstdio>  // jpeglib.h needs FILE
#include <jpeglib.h>
#include <jerror.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "payload/decoders/decoders.h"
#include "payload/decoders/picture_out.h"

namespace saver {
namespace {

static_assert(std::endian::native == std::endian::little,
              "B, G, R, A bytes in memory must form 0xAARRGGBB words");

// Reads from the picture source through a buffer of its own; a memory
// source is handed over as it is.
constexpr size_t kInputBuffer = 65536;

struct JpegInput {
  jpeg_source_mgr pub;  // first member: the callbacks cast back to us
  const TPictureSource* source;
  uint64_t position;    // of the next byte to fetch
  bool failed;          // the source could not be read
  JOCTET buffer[kInputBuffer];
};

struct JpegSource {
  jpeg_decompress_struct cinfo;  // first member: the error handler casts back to us
  jpeg_error_mgr err;
  jmp_buf jump;
  char error[JMSG_LENGTH_MAX];
  JpegInput* input;
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

void InitInput(j_decompress_ptr) {}

// Called by libjpeg when its buffer is empty. Past the end it gets a fake end
// marker after a warning, which OnJpegMessage turns into an error; so does a
// source that cannot be read.
boolean FillInput(j_decompress_ptr cinfo) {
  auto* in = reinterpret_cast<JpegInput*>(cinfo->src);
  size_t n = 0;
  if (const uint8_t* data = in->source->Data()) {
    const uint64_t size = in->source->Size();
    if (in->position < size) {
      n = size_t(std::min<uint64_t>(size - in->position, 1u << 30));
      in->pub.next_input_byte = data + in->position;
    }
  } else {
    try {
      n = in->source->ReadAt(in->position, in->buffer, kInputBuffer);
    } catch (...) {
      in->failed = true;
      n = 0;
    }
    in->pub.next_input_byte = in->buffer;
  }
  in->position += n;
  if (n == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    in->pub.next_input_byte = kEnd;
    n = 2;
  }
  in->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* in = reinterpret_cast<JpegInput*>(cinfo->src);
  if (count <= 0) return;
  if (size_t(count) <= in->pub.bytes_in_buffer) {
    in->pub.next_input_byte += count;
    in->pub.bytes_in_buffer -= size_t(count);
    return;
  }
  // Past the buffer: move the fetch position instead of reading what is skipped.
  in->position += uint64_t(count) - in->pub.bytes_in_buffer;
  in->pub.bytes_in_buffer = 0;
}

void TermInput(j_decompress_ptr) {}

bool CreateJpeg(JpegSource* src) {
  if (setjmp(src->jump)) return false;
  jpeg_create_decompress(&src->cinfo);
  return true;
}

bool IsCmyk(J_COLOR_SPACE space) { return space == JCS_CMYK || space == JCS_YCCK; }

bool ReadJpegHeader(JpegSource* src, size_t maxMemory) {
  if (setjmp(src->jump)) return false;
  src->cinfo.mem->max_memory_to_use = long(std::min<size_t>(maxMemory, LONG_MAX));
  src->cinfo.src = &src->input->pub;
  jpeg_read_header(&src->cinfo, TRUE);
  src->cinfo.out_color_space = IsCmyk(src->cinfo.jpeg_color_space) ? JCS_CMYK : JCS_EXT_BGRA;
  return true;
}

// Picks the smallest DCT scale M/8 whose output still covers the target in
// both directions (full size when there is no target). Scales between one
// half and one decode slower than the full size with libjpeg-turbo (their
// inverse DCTs have no SIMD path), so a target that needs more than half
// size gets the full size.
constexpr unsigned kLargestReducedScale = 4;
bool ChooseJpegScale(JpegSource* src, int32_t targetW, int32_t targetH) {
  if (setjmp(src->jump)) return false;
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

// Decodes the rows the output wants into its rows (B, G, R, A) or, for
// CMYK, through one 4-byte-per-pixel row buffer that convert turns into them.
bool ReadJpegRows(JpegSource* src, TPictureOut* out, unsigned char* cmykRow,
                  void (*convert)(const unsigned char*, unsigned char*, JDIMENSION, bool)) {
  if (setjmp(src->jump)) return false;
  jpeg_start_decompress(&src->cinfo);
  bool inverted = src->cinfo.saw_Adobe_marker;
  while (src->cinfo.output_scanline < src->cinfo.output_height && out->WantsRows()) {
    const int32_t y = int32_t(src->cinfo.output_scanline);
    auto* row = reinterpret_cast<unsigned char*>(out->Row(y));
    JSAMPROW into = cmykRow ? cmykRow : row;
    jpeg_read_scanlines(&src->cinfo, &into, 1);
    if (cmykRow) convert(cmykRow, row, src->cinfo.output_width, inverted);
    out->Put(y);
  }
  // Rows nobody wants are not decoded.
  if (src->cinfo.output_scanline < src->cinfo.output_height)
    jpeg_abort_decompress(&src->cinfo);
  else
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

TBitmap32 DecodeJpeg(const TPictureSource& source, const TDecodeHint& hint) {
  uint8_t signature[2] = {};
  if (source.ReadAt(0, signature, 2) != 2 || signature[0] != 0xFF || signature[1] != 0xD8)
    throw DecodeError("JPEG: bad signature");
  auto input = std::make_unique<JpegInput>();
  input->pub.init_source = InitInput;
  input->pub.fill_input_buffer = FillInput;
  input->pub.skip_input_data = SkipInput;
  input->pub.resync_to_restart = jpeg_resync_to_restart;
  input->pub.term_source = TermInput;
  input->source = &source;
  JpegSource src{};
  src.input = input.get();
  src.cinfo.err = jpeg_std_error(&src.err);
  src.err.error_exit = OnJpegError;
  src.err.emit_message = OnJpegMessage;
  if (!CreateJpeg(&src)) throw DecodeError(std::string("JPEG: ") + src.error);
  struct Cleanup {
    JpegSource& s;
    ~Cleanup() { jpeg_destroy_decompress(&s.cinfo); }
  } cleanup{src};

  // The library's own memory (a progressive picture keeps every coefficient,
  // up to 8 bytes a pixel for CMYK) stays within twice what the largest
  // accepted picture takes as pixels, and never below what small pictures need.
  const size_t maxMemory = std::max<size_t>(
      size_t(std::min<uint64_t>(hint.MaxPixels, SIZE_MAX / 16) * 8), size_t(16) << 20);
  if (!ReadJpegHeader(&src, maxMemory)) throw DecodeError(std::string("JPEG: ") + src.error);
  // The stated size bounds the library's own buffers as well as ours.
  CheckPictureSize(src.cinfo.image_width, src.cinfo.image_height, hint);
  TPictureOut out(hint, int32_t(src.cinfo.image_width), int32_t(src.cinfo.image_height));
  // A fitted picture decodes at the smallest scale that still covers its fit.
  const int32_t targetW = hint.Fit ? out.Fit().Width : hint.TargetWidth;
  const int32_t targetH = hint.Fit ? out.Fit().Height : hint.TargetHeight;
  if (!ChooseJpegScale(&src, targetW, targetH)) throw DecodeError(std::string("JPEG: ") + src.error);
  CheckPictureSize(src.cinfo.output_width, src.cinfo.output_height, hint);

  out.Begin(int32_t(src.cinfo.output_width), int32_t(src.cinfo.output_height));
  std::vector<unsigned char> cmykRow;
  if (src.cinfo.out_color_space == JCS_CMYK) cmykRow.resize(size_t(src.cinfo.output_width) * 4);
  if (!ReadJpegRows(&src, &out, cmykRow.empty() ? nullptr : cmykRow.data(), CmykToBgra))
    throw DecodeError(std::string("JPEG: ") +
                      (input->failed ? "cannot read the file" : src.error));
  return out.Finish();
}

}  // namespace saver
