#include "payload/compose/picture_loader.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "payload/compose/draw_picture.h"
#include "payload/format/extract.h"
#include "payload/compose/mask.h"
#include "payload/decoders/picture_decoder.h"
#include "payload/format/records.h"
#include "payload/format/temp_file.h"
#include "platform/screen.h"

namespace saver {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool IsVideoExtension(const std::string& ext) {
  static constexpr const char* kVideo[] = {".AVI", ".MPEG", ".MPG", ".MP4", ".MKV",
                                           ".WEBM", ".MOV", ".M4V", ".OGV"};
  const std::string u = Upper(ext);
  for (const char* v : kVideo)
    if (u == v) return true;
  return false;
}

int32_t PictureStretchMode(const PictureEntry& entry, const PayloadTrailer& trailer) {
  return entry.ItemStretch != -1 ? entry.ItemStretch : trailer.Stretch;
}

TPictureLoader::TPictureLoader(PayloadData& data, TBackground& background, TPictureCache& cache,
                               TRandomInt random)
    : data_(data), background_(background), cache_(cache), random_(std::move(random)) {}

void TPictureLoader::Extract(const PictureEntry& entry, const std::string& path) {
  ExtractItem(data_.SourcePath, path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
              data_.PicturePosition(entry));
}

TMemImage& TPictureLoader::Decode(int32_t index, const std::string& path, int32_t width,
                                  int32_t height) {
  const PictureEntry& entry = data_.PictureTable[size_t(index)];
  TDecodeHint hint;
  // No picture larger than the whole cache is decoded: its header is enough
  // to refuse it, before its pixels take any memory.
  hint.MaxPixels = std::min<uint64_t>(hint.MaxPixels, cache_.Budget() / sizeof(TColor32));
  // A picture stretched over the whole area never needs more pixels than the
  // area; the other modes measure the picture and keep its full size.
  if (PreviewMode || PictureStretchMode(entry, data_.Trailer) == StretchFill)
    hint.TargetWidth = width, hint.TargetHeight = height;
  TBitmap32 picture = DecodePictureFile(path, entry.Ext, hint);
  FlattenOnBlack(picture);
  std::unique_ptr<TBitmap32> mask;
  if (entry.MaskIndex >= 0) {
    mask = std::make_unique<TBitmap32>();
    // A mask that cannot be loaded stays empty: the picture is then invisible.
    if (size_t(entry.MaskIndex) < data_.MaskTable.size())
      LoadMask(data_.SourcePath, data_.PayloadStart, data_.MaskTable[size_t(entry.MaskIndex)],
               *mask, hint.MaxPixels, MaskTempPrefix);
  }
  return cache_.Store(index, std::move(picture), std::move(mask));
}

void TPictureLoader::ComposePicture(int32_t index, TBitmap32& working) {
  if (index < 0 || size_t(index) >= data_.PictureTable.size())
    throw std::out_of_range("picture index");
  const PictureEntry& entry = data_.PictureTable[size_t(index)];
  TMemImage* image = cache_.Find(index);
  if (!image) {
    if (HasFailed(index)) throw PayloadError("picture item failed before");
    try {
      const TTempFile file(TempItemPath(PictureTempPrefix, entry.Ext));
      Extract(entry, file.Path);
      if (AfterExtract) AfterExtract();
      image = &Decode(index, file.Path, working.Width(), working.Height());
    } catch (...) {
      MarkFailed(index);
      throw;
    }
  }
  const int32_t mode = PictureStretchMode(entry, data_.Trailer);
  const TRect dest = PictureRect(mode, PreviewMode, working.Width(), working.Height(),
                                 image->Picture->Width(), image->Picture->Height(), random_);
  DrawPicture(*image->Picture, working, dest, image->Mask.get());
}

bool TPictureLoader::HasFailed(int32_t index) const {
  return index >= 0 && size_t(index) < failed_.size() && failed_[size_t(index)];
}

void TPictureLoader::MarkFailed(int32_t index) {
  if (index < 0 || size_t(index) >= data_.PictureTable.size()) return;
  if (failed_.size() < data_.PictureTable.size()) failed_.resize(data_.PictureTable.size());
  failed_[size_t(index)] = true;
}

bool TPictureLoader::LoadImage(int32_t index, bool fromDesktop, int32_t width, int32_t height,
                               IPictureSink& sink) {
  try {
    if (data_.Trailer.RepaintBackground) background_.Repaint(data_.Trailer, random_);
    TBitmap32 working(width, height);
    background_.Bitmap.DrawTo(working, 0, 0);
    if (index < 0 || size_t(index) >= data_.PictureTable.size()) return false;
    const PictureEntry& entry = data_.PictureTable[size_t(index)];

    if (fromDesktop) {
      Screen().CaptureDesktop(working);
      sink.SetWindowImage(working);
    }
    if (IsVideoExtension(entry.Ext)) {
      // A video is never cached: it is extracted again each time it comes up,
      // unless its extraction failed before.
      if (HasFailed(index)) return false;
      const std::string path = TempItemPath(PictureTempPrefix, entry.Ext);
      try {
        Extract(entry, path);
      } catch (...) {
        MarkFailed(index);
        throw;
      }
      sink.PlayVideo(index, path, working);
      return true;
    }
    if (!fromDesktop) {
      ComposePicture(index, working);
      sink.ShowStep(index, working, false);
      return true;
    }
    sink.ShowStep(index, working, true);
    return true;
  } catch (...) {
    // Extraction, decoding, drawing or showing failed: the screen keeps what
    // it showed and the show goes on.
    return false;
  }
}

}  // namespace saver
