#pragma once
// The look-ahead: while one picture is on screen, the next one is extracted,
// decoded, fitted and composed on a thread of its own, so that the tick that
// brings it in only has to start its transition.
//
// The worker touches nothing of the show: it composes on copies of what
// composing reads and changes (the random generator, the trailer, the
// background) with a picture cache of its own, which the show's cache lends
// the picture when it holds it. The tick takes the frame only when it would
// have started from the very state the look-ahead started from, and then
// takes the look-ahead's end state too: the show is exactly what it is
// without the look-ahead. Otherwise the frame is dropped and the tick
// composes as it always did.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "graphics/bitmap32.h"
#include "payload/compose/background.h"
#include "payload/compose/picture_cache.h"
#include "payload/format/payload_data.h"
#include "show/show_random.h"

namespace saver {

// Whether a show prepares its next picture ahead; read when the show starts.
// On by default; tests and benchmarks compare the show without it.
extern std::atomic<bool> ComposeAheadEnabled;

// What composing a frame starts from and changes.
struct TComposeState {
  TShowRandom Random;
  PayloadTrailer Trailer;  // RepaintBackground draws new colours and gradients into it

  bool operator==(const TComposeState&) const = default;
};

// A frame composed ahead, and the state composing it left behind.
struct TPreparedFrame {
  TBitmap32 Frame;  // the picture on its background, not yet captioned
  TComposeState End;
};

class TComposeAhead {
 public:
  // data: the show's payload, whose tables stay as read for the whole show
  // (copied here); cache: the show's picture cache.
  TComposeAhead(const PayloadData& data, TPictureCache& cache);
  ~TComposeAhead();  // cancels
  TComposeAhead(const TComposeAhead&) = delete;
  TComposeAhead& operator=(const TComposeAhead&) = delete;

  // Starts composing picture item index at width x height from state on
  // background, which the show leaves as it is until the look-ahead ends
  // (when the trailer asks to repaint it, on a copy of its look). A
  // look-ahead of the same values goes on; one of others is cancelled first.
  // UI thread, as is everything here.
  void Start(int32_t index, int32_t width, int32_t height, const TComposeState& state,
             TBackground& background);

  // Waits for the look-ahead and ends it. Its frame when it composed index at
  // width x height from state, else nothing: the tick composes the item
  // itself (also after a failure, which it then remembers as its own). A
  // picture the look-ahead decoded for this very tick is offered to the
  // show's cache either way.
  std::optional<TPreparedFrame> Take(int32_t index, int32_t width, int32_t height,
                                     const TComposeState& state);

  // Stops a running look-ahead at its next chance (the worker checks between
  // the item's extraction and its decoding), waits for it and drops its work.
  void Cancel();
  // Waits until the worker has finished, keeping what it made.
  void Wait();

  int32_t FramesUsed() const { return framesUsed_; }

  // Runs on the worker between the item's extraction and its decoding, with
  // the flag a cancel sets; taken by each Start. Tests hold the worker there.
  std::function<void(const std::atomic<bool>& cancelled)> AfterExtract;

 private:
  struct TJob;
  void Run(TJob& job);
  // Ends the job: the picture the show's cache lent goes back; the one the
  // job decoded is offered to it only with keepDecoded. True when the show's
  // cache kept a picture the job decoded.
  bool Finish(bool keepDecoded);

  PayloadData data_;  // the worker's; its trailer is the job's
  TPictureCache& showCache_;
  std::vector<TMemImage> entries_;
  TPictureCache cache_;  // the worker's: the one picture of its job
  std::unique_ptr<TJob> job_;
  std::thread worker_;
  int32_t framesUsed_ = 0;
};

}  // namespace saver
