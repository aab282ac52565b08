#include "payload/compose/picture_loader.h"

#include <unistd.h>

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

size_t DefaultDecodeBudget() {
  constexpr size_t kMax = size_t(1) << 30;
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return kMax;
  return std::min(kMax, size_t(pages) / 4 * size_t(pageSize));
}

TPictureLoader::TPictureLoader(PayloadData& data, TBackground& background, TPictureCache& cache,
                               TRandomInt random, size_t decodeBudget)
    : data_(data),
      background_(background),
      cache_(cache),
      random_(std::move(random)),
      decodeBudget_(decodeBudget) {}

void TPictureLoader::Extract(const PictureEntry& entry, const std::string& path) {
  ExtractItem(data_.SourcePath, path, entry.PackedSize > 0, entry.Size, entry.PackedSize,
              data_.PicturePosition(entry));
}

TMemImage TPictureLoader::Decode(int32_t index, const std::string& path, int32_t width,
                                  int32_t height) {
  const PictureEntry& entry = data_.PictureTable[size_t(index)];
  const int32_t mode = PictureStretchMode(entry, data_.Trailer);
  TMemImage image;
  image.ScreenWidth = width, image.ScreenHeight = height;
  TDecodeHint hint;
  // A picture that states more pixels than the budget is refused from its
  // header, before its pixels take any memory. One that is made whole before
  // it is fitted may take half the budget: the fitted copy and the show's
  // frames have the rest.
  hint.MaxPixels = std::min<uint64_t>(hint.MaxPixels, decodeBudget_ / sizeof(TColor32));
  hint.MaxWholePixels = hint.MaxPixels / 2;
  TFit fit;
  hint.Fit = [&](int32_t w, int32_t h) {
    image.Width = w, image.Height = h;
    return fit = PictureFit(mode, PreviewMode, width, height, w, h);
  };
  hint.RowFilter = FlattenRowOnBlack;
  image.Picture = std::make_unique<TBitmap32>(DecodePictureFile(path, entry.Ext, hint));
  if (entry.MaskIndex >= 0) {
    image.Mask = std::make_unique<TBitmap32>();
    // A mask that cannot be loaded stays empty: the picture is then invisible.
    // It is stretched over the picture's rectangle, whatever its own size.
    hint.Fit = [&fit](int32_t, int32_t) { return fit; };
    if (size_t(entry.MaskIndex) < data_.MaskTable.size())
      LoadMask(data_.SourcePath, data_.PayloadStart, data_.MaskTable[size_t(entry.MaskIndex)],
               *image.Mask, hint, MaskTempPrefix);
  }
  return image;
}

void TPictureLoader::ComposePicture(int32_t index, TBitmap32& working) {
  if (index < 0 || size_t(index) >= data_.PictureTable.size())
    throw std::out_of_range("picture index");
  const PictureEntry& entry = data_.PictureTable[size_t(index)];
  TMemImage* image = cache_.Find(index);
  // A picture kept for another screen size is decoded anew.
  if (image && (image->ScreenWidth != working.Width() || image->ScreenHeight != working.Height()))
    image = nullptr;
  TMemImage decoded;
  if (!image) {
    if (HasFailed(index)) throw PayloadError("picture item failed before");
    try {
      const TTempFile file(TempItemPath(PictureTempPrefix, entry.Ext));
      Extract(entry, file.Path);
      if (AfterExtract) AfterExtract();
      decoded = Decode(index, file.Path, working.Width(), working.Height());
      image = &decoded;
      if (AfterDecode) AfterDecode();
    } catch (...) {
      MarkFailed(index);
      throw;
    }
  }
  const int32_t mode = PictureStretchMode(entry, data_.Trailer);
  const TRect dest = PictureRect(mode, PreviewMode, working.Width(), working.Height(),
                                 image->Width, image->Height, random_);
  // The picture is kept as that part of dest the screen shows.
  const TRect shown = IntersectRect(dest, working.BoundsRect());
  if (!shown.IsEmpty()) DrawPicture(*image->Picture, working, shown, image->Mask.get());
  if (image == &decoded) cache_.Store(index, std::move(decoded));
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
    background_.DrawOnto(working);
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
