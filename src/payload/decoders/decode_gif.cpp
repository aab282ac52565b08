// GIF decoding through giflib: the first image of the file, placed on the
// logical screen, with its transparent colour as alpha 0.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "payload/decoders/decoders.h"
#include "payload/decoders/picture_out.h"

namespace saver {
namespace {

struct GifSource {
  TSourceReader* reader;
  bool failed;  // the source could not be read
};

// giflib's read callback: a short count is how it learns of the end (or of a
// source that cannot be read).
int ReadFromSource(GifFileType* gif, GifByteType* out, int count) {
  auto* src = static_cast<GifSource*>(gif->UserData);
  try {
    return int(src->reader->Read(out, size_t(std::max(count, 0))));
  } catch (...) {
    src->failed = true;
    return 0;
  }
}

[[noreturn]] void Fail(GifFileType* gif, const char* what) {
  const char* reason = gif && gif->Error ? GifErrorString(gif->Error) : nullptr;
  throw DecodeError(std::string("GIF: ") + what + (reason ? std::string(": ") + reason : ""));
}

struct TGifFile {
  GifFileType* gif = nullptr;
  ~TGifFile() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

// Reads records up to the first image descriptor; returns the transparent
// colour index of the graphic control block before it, or NO_TRANSPARENT_COLOR.
int SkipToFirstImage(GifFileType* gif) {
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) Fail(gif, "damaged file");
    if (type == IMAGE_DESC_RECORD_TYPE) return transparent;
    if (type == TERMINATE_RECORD_TYPE) Fail(gif, "no image in file");
    if (type != EXTENSION_RECORD_TYPE) Fail(gif, "damaged file");
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) Fail(gif, "damaged extension");
    if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
      GraphicsControlBlock gcb;
      if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
        transparent = gcb.TransparentColor;
    }
    while (block) {
      if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) Fail(gif, "damaged extension");
    }
  }
}

}  // namespace

TBitmap32 DecodeGif(const TPictureSource& source, const TDecodeHint& hint) {
  uint8_t signature[6] = {};
  if (source.ReadAt(0, signature, 6) != 6 || std::memcmp(signature, "GIF", 3) != 0)
    throw DecodeError("GIF: bad signature");
  TSourceReader reader(source);
  GifSource src{&reader, false};
  TGifFile file;
  int error = 0;
  file.gif = DGifOpen(&src, ReadFromSource, &error);
  if (!file.gif) throw DecodeError(std::string("GIF: ") + GifErrorString(error));
  GifFileType* gif = file.gif;

  int transparent = SkipToFirstImage(gif);
  if (DGifGetImageDesc(gif) == GIF_ERROR) Fail(gif, "damaged image descriptor");
  const GifImageDesc& desc = gif->Image;
  // The picture is the logical screen, grown if the image reaches beyond it.
  int64_t width = std::max<int64_t>(gif->SWidth, int64_t(desc.Left) + desc.Width);
  int64_t height = std::max<int64_t>(gif->SHeight, int64_t(desc.Top) + desc.Height);
  CheckPictureSize(width, height, hint);
  if (desc.Width <= 0 || desc.Height <= 0) Fail(gif, "empty image");

  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  TColor32 palette[256];
  for (int i = 0; i < 256; ++i) {
    if (map && i < map->ColorCount)
      palette[i] = Color32(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    else if (map)
      palette[i] = Color32(0, 0, 0);
    else
      palette[i] = Color32(uint8_t(i), uint8_t(i), uint8_t(i));  // no colour table: grey
  }
  if (transparent >= 0 && transparent < 256) palette[transparent] = 0;

  TPictureOut out(hint, int32_t(width), int32_t(height));
  out.Begin(int32_t(width), int32_t(height));
  std::vector<GifPixelType> line(size_t(desc.Width));
  auto readLine = [&](TColor32* row) {
    if (DGifGetLine(gif, line.data(), desc.Width) == GIF_ERROR) Fail(gif, "damaged image data");
    for (int x = 0; x < desc.Width; ++x) row[desc.Left + x] = palette[line[size_t(x)]];
  };
  if (desc.Interlace) {
    // The rows come in four passes: the picture is made whole.
    TBitmap32& whole = out.Whole();
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int row = kStart[pass]; row < desc.Height; row += kStep[pass])
        readLine(whole.ScanLine(desc.Top + row));
    return out.Finish();
  }
  // Rows of the screen outside the image are transparent.
  for (int32_t y = 0; y < int32_t(height) && out.WantsRows(); ++y) {
    TColor32* row = out.Row(y);
    std::fill(row, row + width, TColor32(0));
    if (y >= desc.Top && y - desc.Top < desc.Height) readLine(row);
    out.Put(y);
  }
  return out.Finish();
}

}  // namespace saver
