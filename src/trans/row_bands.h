#pragma once
// Row bands: the transition worker composes a large frame with the machine's
// other cores. Run splits a range of rows into bands of consecutive rows, one
// per thread; the calling thread takes the first band and helper threads the
// others, and Run returns when every band is done. Each band writes only its
// own rows, and every pixel comes out as a single pass over the whole range
// would make it, so frames are identical whatever the thread count.
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace saver {

class TRowBands {
 public:
  // threads counts the caller: 1 makes no helper (everything runs on the
  // caller). 0 takes the machine's cores, at most kMaxThreads.
  explicit TRowBands(int32_t threads = 0);
  ~TRowBands();  // stops and joins the helpers
  TRowBands(const TRowBands&) = delete;
  TRowBands& operator=(const TRowBands&) = delete;

  static constexpr int32_t kMaxThreads = 4;
  // Below this many pixels a range is composed on the caller alone: waking a
  // helper would cost more than it saves.
  static constexpr int64_t kMinPixels = 1 << 18;

  int32_t Threads() const { return int32_t(helpers_.size()) + 1; }

  // Calls band(top, bottom) for bands that together cover [top, bottom), each
  // on its own thread; ranges of fewer than kMinPixels (rows x width) make one
  // call on this thread. Rethrows the first exception a band raised, after all
  // have finished. Not reentrant: call from one thread at a time.
  void Run(int32_t top, int32_t bottom, int64_t width,
           const std::function<void(int32_t, int32_t)>& band);

 private:
  void Helper(int32_t index);
  // Rows of band `index` of `count` over [top, bottom).
  static void BandRows(int32_t top, int32_t bottom, int32_t index, int32_t count,
                       int32_t& from, int32_t& to);

  std::mutex mutex_;
  std::condition_variable wake_, done_;
  const std::function<void(int32_t, int32_t)>* job_ = nullptr;
  int32_t top_ = 0, bottom_ = 0, bands_ = 0;
  uint64_t generation_ = 0;
  int32_t pending_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
  std::vector<std::thread> helpers_;
};

}  // namespace saver
