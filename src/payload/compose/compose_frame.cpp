#include "payload/compose/compose_frame.h"

#include <cstdio>
#include <random>
#include <stdexcept>

#include "payload/compose/background.h"
#include "payload/compose/caption.h"
#include "payload/compose/picture_cache.h"
#include "payload/compose/picture_loader.h"
#include "payload/format/reader.h"

namespace saver {

namespace {

// The reader's hooks for a run without windows: the background is painted
// at the requested size and random choices follow the seed.
class ComposeReaderHost final : public IReaderHost {
 public:
  ComposeReaderHost(TBackground& background, int32_t width, int32_t height, std::mt19937& rng)
      : background_(background), width_(width), height_(height), rng_(rng) {}

  void PaintBackground(PayloadData& data) override {
    background_.Paint(data.Trailer, width_, height_);
  }
  void LoadBackgroundPicture(PayloadData& data) override { background_.LoadPicture(data); }
  void ClearBackgroundPicture() override { background_.Picture.reset(); }
  int Random(int range) override { return std::uniform_int_distribution<int>(0, range - 1)(rng_); }

 private:
  TBackground& background_;
  int32_t width_, height_;
  std::mt19937& rng_;
};

// The show step up to the transition: the caption goes onto the frame.
class FrameSink final : public IPictureSink {
 public:
  FrameSink(const PayloadData& data, TBitmap32& frame) : data_(data), frame_(frame) {}
  void ShowStep(int32_t index, TBitmap32& working, bool) override {
    ShowPictureCaption(working, data_.PictureTable[size_t(index)], working.Width(),
                       working.Height());
    frame_ = working;
    shown = true;
  }
  void PlayVideo(int32_t, const std::string& path, TBitmap32&) override {
    std::remove(path.c_str());
  }
  bool shown = false;

 private:
  const PayloadData& data_;
  TBitmap32& frame_;
};

}  // namespace

TBitmap32 ComposeFrame(const std::string& path, int32_t index, int32_t width, int32_t height,
                       uint32_t seed) {
  if (width <= 0 || height <= 0) throw std::runtime_error("the screen size must be positive");
  std::mt19937 rng(seed);
  auto random = [&rng](int32_t range) {
    return std::uniform_int_distribution<int32_t>(0, range - 1)(rng);
  };
  PayloadData data;
  TBackground background;
  ComposeReaderHost host(background, width, height, rng);
  std::string reason;
  if (!ReadData(data, path, false, host, &reason))
    throw std::runtime_error("cannot read the saver: " + reason);
  if (index < 0 || size_t(index) >= data.PictureTable.size())
    throw std::runtime_error("the saver has no picture " + std::to_string(index) + " (it has " +
                             std::to_string(data.PictureTable.size()) + ")");
  if (IsVideoExtension(data.PictureTable[size_t(index)].Ext))
    throw std::runtime_error("picture " + std::to_string(index) + " is a video item");

  std::vector<TMemImage> entries(data.PictureTable.size());
  TPictureCache cache(entries, 0);  // one picture, composed once
  TPictureLoader loader(data, background, cache, random);
  TBitmap32 frame;
  FrameSink sink(data, frame);
  if (!loader.LoadImage(index, false, width, height, sink) || !sink.shown)
    throw std::runtime_error("picture " + std::to_string(index) + " (" +
                             data.PictureTable[size_t(index)].Ext + ") cannot be decoded");
  return frame;
}

}  // namespace saver
