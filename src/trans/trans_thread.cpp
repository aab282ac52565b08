#include "trans/trans_thread.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "trans/effects.h"

namespace saver {

namespace {

// Where the copy of canvas goes: snapshot when the copy writes every pixel of
// it (what it held then never shows), else a cleared bitmap of picture's size.
TBitmap32 SnapshotBuffer(TBitmap32 snapshot, const TBitmap32& picture, const ISurface& canvas) {
  const int32_t w = picture.Width(), h = picture.Height();
  if (snapshot.Width() == w && snapshot.Height() == h && canvas.Width() >= w &&
      canvas.Height() >= h)
    return snapshot;
  return TBitmap32(w, h);
}

}  // namespace

TTransThread::TTransThread(int32_t effect, ISurface& canvas, TBitmap32 picture, int32_t delay,
                           TBitmap32 snapshot)
    : FEffect(effect),
      FNewPicture(std::move(picture)),
      FOldPicture(SnapshotBuffer(std::move(snapshot), FNewPicture, canvas)),
      FCanvas(&canvas),
      FDelay(delay),
      FWidth(FNewPicture.Width()),
      FHeight(FNewPicture.Height()),
      ui_(&UiThread()),
      clock_(&Clock()),
      steps_(std::clamp(StepCount.load(), 1, kMaxSteps)),
      random_(uint32_t(TransitionRandom(INT32_MAX))),
      bands_(std::make_unique<TRowBands>(ComposeThreads.load())) {
  FNewPicture.DrawMode = TDrawMode::Opaque;
  FNewPicture.MasterAlpha = 255;
  canvas.CopyTo(FOldPicture, FOldPicture.BoundsRect());
}

void TTransThread::Start(TTransitionHandlers handlers) {
  handlers_ = std::move(handlers);
  thread_ = std::thread([this] { Execute(); });
}

void TTransThread::PrepareWork() {
  if (FWork.Width() != FWidth || FWork.Height() != FHeight) FWork.SetSize(FWidth, FHeight);
}

int32_t TTransThread::Random(int32_t n) {
  if (n <= 0) return 0;
  return std::uniform_int_distribution<int32_t>(0, n - 1)(random_);
}

void TTransThread::Paint(TBitmap32& source) {
  const TPaintPiece piece{&source, FSrcRect, FDstRect};
  PaintPieces({&piece, 1});
}

void TTransThread::PaintParts(const TBitmap32& source, std::span<const TRect> rects) {
  std::vector<TPaintPiece> pieces;
  pieces.reserve(rects.size());
  for (const TRect& r : rects) pieces.push_back({&source, r, r});
  PaintPieces(pieces);
}

void TTransThread::PaintPieces(std::span<const TPaintPiece> pieces) {
  if (pieces.empty()) return;
  paintedSinceWait_ = true;
  const auto shows = [](const TPaintPiece& p) {
    return !p.SrcRect.IsEmpty() && !p.DstRect.IsEmpty();
  };
  if (std::none_of(pieces.begin(), pieces.end(), shows)) return;  // no hand-over
  ui_->Synchronize([&] {
    for (const TPaintPiece& p : pieces)
      if (shows(p)) FCanvas->StretchFrom(*p.Source, p.SrcRect, p.DstRect);
    FCanvas->Invalidate();
  });
}

void TTransThread::BeginFrame() { frameStartTick_ = clock_->TickCount(); }

void TTransThread::NotifyFrame() {
  paintedSinceWait_ = false;
  if (handlers_.OnFrame) ui_->Synchronize(handlers_.OnFrame);
}

void TTransThread::WaitFrame() {
  NotifyFrame();
  const int64_t delay = std::max(FDelay, 0);
  for (;;) {
    clock_->Sleep(uint32_t(std::min<int64_t>(delay, 1)));
    // The tick count wraps: the distance is the 32-bit difference.
    const int64_t elapsed = std::llabs(int64_t(int32_t(clock_->TickCount() - frameStartTick_)));
    if (elapsed >= delay || Aborted()) return;
  }
}

void TTransThread::RunEffect() {
  if (FEffect < 0 || FEffect > kEffectCount) FEffect = Random(kEffectCount) + 1;
  if (FEffect == 0) {
    FSrcRect = FDstRect = FNewPicture.BoundsRect();
    PaintNew();
    return;
  }
  FSrcRect = FDstRect = TRect{};
  const TEffectFamily* family = FindEffectFamily(FEffect);
  if (!family || !family->Routine) throw std::logic_error("effect without a routine");
  family->Routine(*this, FEffect - family->Base);
  // The last frame of a loop that ends without waiting still counts as one.
  if (paintedSinceWait_) NotifyFrame();
  if (!SkipFinalFrame.load(std::memory_order_acquire)) {
    FSrcRect = FDstRect = FNewPicture.BoundsRect();
    PaintNew();
  }
}

void TTransThread::Execute() {
  try {
    RunEffect();
  } catch (...) {
    // The transition ends early; the picture stays as the last frame left it.
  }
  Finish();
}

void TTransThread::Finish() {
  bands_.reset();  // the helpers end with the worker
  if (!handlers_.TakePicture) FNewPicture = TBitmap32();
  FOldPicture = TBitmap32();
  FWork = TBitmap32();
  TTransThread* self = this;
  CurrentTransition.compare_exchange_strong(self, nullptr);
  // The handler joins the worker before it runs, so it still comes after the
  // flag below; queued first, nothing of this object or of the UI thread
  // service is touched once the flag says the transition is over.
  ui_->Post([this] {
    struct Cleanup {
      TTransThread* t;
      ~Cleanup() { delete t; }
    } cleanup{this};
    if (thread_.joinable()) thread_.join();
    if (handlers_.TakePicture) handlers_.TakePicture(std::move(FNewPicture));
    if (handlers_.OnTerminate) handlers_.OnTerminate();
  });
  TransitionRunning.store(false, std::memory_order_release);
}

}  // namespace saver
