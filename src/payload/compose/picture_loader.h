#pragma once
// LoadImage: turns one picture item into the next screen-sized frame. The
// background goes first, then the picture, drawn by its size and position
// mode through its mask. A picture is decoded at the size it is shown at
// (stretched and cut to its rectangle as it is decoded) into the picture
// cache, from which it is drawn unscaled. The composed frame goes to the
// show (IPictureSink), which captions and displays it or brings it in with
// a transition.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/compose/background.h"
#include "payload/compose/fit_rect.h"
#include "payload/format/payload_data.h"
#include "payload/compose/picture_cache.h"

namespace saver {

class IPictureSink {
 public:
  virtual ~IPictureSink() = default;
  // The show step for picture item index, composed into working (the
  // window's client size), which the step may take. With fromDesktop,
  // working holds the desktop capture instead. Failures may be raised: the
  // load then ends silently.
  virtual void ShowStep(int32_t index, TBitmap32& working, bool fromDesktop) = 0;
  // The desktop capture goes into the window's own picture buffer at once.
  virtual void SetWindowImage(const TBitmap32& working) {}
  // A video item, extracted to path (which the video's playback removes when
  // it ends); working holds the background to show around it.
  virtual void PlayVideo(int32_t index, const std::string& path, TBitmap32& working) {}
};

// True for the extensions that play as video, in any case: ".avi", ".mpeg",
// ".mpg", ".mp4", ".mkv", ".webm", ".mov", ".m4v" and ".ogv".
bool IsVideoExtension(const std::string& ext);

// The size and position mode of a picture: its own unless -1, else the setting.
int32_t PictureStretchMode(const PictureEntry& entry, const PayloadTrailer& trailer);

// What decoding a picture may take: a quarter of physical memory, at most 1 GiB.
size_t DefaultDecodeBudget();

class TPictureLoader {
 public:
  // decodeBudget bounds the pixels a picture may state, and takes twice
  // those of one its format makes whole before it is fitted.
  TPictureLoader(PayloadData& data, TBackground& background, TPictureCache& cache,
                 TRandomInt random, size_t decodeBudget = DefaultDecodeBudget());

  bool PreviewMode = false;  // pictures stretch over the whole (small) window
  // Prefixes of the temporary item files (TempItemPath): a loader at work
  // beside another one needs names of its own.
  std::string PictureTempPrefix = "SSIMG", MaskTempPrefix = "SSMASK";
  // Runs between extracting an item and decoding it: what it raises fails
  // the item like a decoding error, the item file removed.
  std::function<void()> AfterExtract;
  // Runs once an item is decoded (with its mask), before it is drawn.
  std::function<void()> AfterDecode;

  // Composes item index at width x height and hands it to sink. Returns false
  // when anything failed (extraction, decoding, drawing, the sink): nothing
  // was shown and the screen stays as it was. An item whose extraction or
  // decoding failed once is not extracted again for the rest of the run.
  bool LoadImage(int32_t index, bool fromDesktop, int32_t width, int32_t height,
                 IPictureSink& sink);

  // Draws picture item index onto working as LoadImage does, decoding it
  // first when the cache does not hold it for working's size (and then
  // offering it to the cache).
  // Raises on failure. A picture whose header states more pixels than the
  // decoding budget holds is refused before any pixel memory is reserved.
  void ComposePicture(int32_t index, TBitmap32& working);

  // True once item index failed to extract or decode.
  bool HasFailed(int32_t index) const;

 private:
  // Extracts the item into path.
  void Extract(const PictureEntry& entry, const std::string& path);
  // Decodes the item's picture and mask for a screen of width x height.
  TMemImage Decode(int32_t index, const std::string& path, int32_t width, int32_t height);
  void MarkFailed(int32_t index);

  PayloadData& data_;
  TBackground& background_;
  TPictureCache& cache_;
  TRandomInt random_;
  size_t decodeBudget_;
  std::vector<bool> failed_;  // by item index: extraction or decoding failed
};

}  // namespace saver
