#include "show/compose_ahead.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>

#include "payload/compose/picture_loader.h"
#include "payload/format/log_line.h"

namespace saver {

std::atomic<bool> ComposeAheadEnabled{true};

namespace {

// Item files of their own: the tick may extract a picture, a mask or a video
// while the worker extracts the next picture.
constexpr char kPictureTempPrefix[] = "SSNEXT";
constexpr char kMaskTempPrefix[] = "SSNEXTMASK";

struct TCancelled {};

// Keeps the composed frame instead of showing it.
class TFrameKeeper final : public IPictureSink {
 public:
  void ShowStep(int32_t, TBitmap32& working, bool) override { Frame = std::move(working); }
  std::optional<TBitmap32> Frame;
};

}  // namespace

struct TComposeAhead::TJob {
  int32_t Index, Width, Height;
  TComposeState Start;  // the show's state when the job started
  TShowRandom Random;   // the worker's copy, left as composing left it
  TBackground* Background;  // the show's, or Repainted
  TBackground Repainted;    // when the trailer asks for a new background for each picture
  bool Lent = false;  // the show's cache lent the picture
  std::optional<TBitmap32> Frame;
  std::function<void(const std::atomic<bool>&)> AfterExtract;
  std::atomic<bool> Cancelled{false};
  std::vector<std::string> Log;  // the diagnostic lines, written when the frame is used
  size_t DecodeLines = 0;        // those of extracting and decoding the picture, if it was
};

TComposeAhead::TComposeAhead(const PayloadData& data, TPictureCache& cache)
    : data_(data),
      showCache_(cache),
      entries_(data.PictureTable.size()),
      cache_(entries_, SIZE_MAX) {}

TComposeAhead::~TComposeAhead() { Cancel(); }

void TComposeAhead::Start(int32_t index, int32_t width, int32_t height,
                          const TComposeState& state, TBackground& background) {
  if (job_ && job_->Index == index && job_->Width == width && job_->Height == height &&
      job_->Start == state)
    return;
  Cancel();
  if (index < 0 || size_t(index) >= entries_.size()) return;
  auto job = std::make_unique<TJob>();
  job->Index = index, job->Width = width, job->Height = height;
  job->Start = state;
  job->Random = state.Random;
  job->AfterExtract = AfterExtract;
  data_.Trailer = state.Trailer;
  job->Background = &background;
  if (state.Trailer.RepaintBackground) {
    job->Repainted = background.Unpainted();
    job->Background = &job->Repainted;
  }
  TMemImage lent = showCache_.Take(index);
  if (lent.Loaded) {
    cache_.Store(index, std::move(lent));
    job->Lent = true;
  }
  job_ = std::move(job);
  try {
    worker_ = std::thread([this, job = job_.get()] { Run(*job); });
  } catch (...) {
    Finish(false);  // no thread: the tick composes the picture itself
  }
}

void TComposeAhead::Run(TJob& job) {
  // Work for later: it yields the cores to the show's own thread, its
  // transitions and the display server, so that the first picture reaches
  // the screen as fast as without it (on Linux the nice value is per thread).
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
  TLogCapture capture(job.Log);
  TPictureLoader loader(data_, *job.Background, cache_,
                        [&job](int32_t range) { return RandomBelow(job.Random, range); });
  loader.PictureTempPrefix = kPictureTempPrefix;
  loader.MaskTempPrefix = kMaskTempPrefix;
  loader.AfterExtract = [&job] {
    if (job.AfterExtract) job.AfterExtract(job.Cancelled);
    if (job.Cancelled.load()) throw TCancelled{};
  };
  loader.AfterDecode = [&job] { job.DecodeLines = job.Log.size(); };
  TFrameKeeper keeper;
  if (job.Cancelled.load()) return;
  // A failure leaves no frame; the loader has absorbed it.
  if (!loader.LoadImage(job.Index, false, job.Width, job.Height, keeper)) return;
  job.Frame = std::move(keeper.Frame);
}

std::optional<TPreparedFrame> TComposeAhead::Take(int32_t index, int32_t width, int32_t height,
                                                  const TComposeState& state) {
  if (!job_) return std::nullopt;
  Wait();
  TJob& job = *job_;
  // The tick composes this picture at this size now: what the job decoded is
  // what the tick would decode.
  const bool same = job.Index == index && job.Width == width && job.Height == height;
  std::optional<TPreparedFrame> prepared;
  if (same && job.Start == state && job.Frame) {
    prepared.emplace();
    prepared->Frame = std::move(*job.Frame);
    prepared->End = TComposeState{job.Random, data_.Trailer};
    for (const std::string& line : job.Log) LogLine(line);
    ++framesUsed_;
  }
  const std::vector<std::string> log = std::move(job.Log);
  const size_t decodeLines = job.DecodeLines;
  // A tick that composes the picture the job decoded and kept for it does so
  // as it would have after decoding it itself.
  if (Finish(same) && !prepared)
    for (size_t i = 0; i < decodeLines; ++i) LogLine(log[i]);
  return prepared;
}

void TComposeAhead::Cancel() {
  if (!job_) return;
  job_->Cancelled = true;
  Wait();
  Finish(false);
}

void TComposeAhead::Wait() {
  if (worker_.joinable()) worker_.join();
}

bool TComposeAhead::Finish(bool keepDecoded) {
  Wait();
  const int32_t index = job_->Index;
  const bool lent = job_->Lent;
  TMemImage image = cache_.Take(index);
  job_.reset();
  if (!image.Loaded || !(lent || keepDecoded)) return false;
  return showCache_.Store(index, std::move(image)) && !lent;
}

}  // namespace saver
