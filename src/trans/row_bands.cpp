#include "trans/row_bands.h"

#include <algorithm>

namespace saver {

TRowBands::TRowBands(int32_t threads) {
  if (threads <= 0) threads = int32_t(std::thread::hardware_concurrency());
  threads = std::clamp(threads, 1, kMaxThreads);
  helpers_.reserve(size_t(threads - 1));
  try {
    for (int32_t i = 1; i < threads; ++i) helpers_.emplace_back([this, i] { Helper(i); });
  } catch (...) {
    // Fewer helpers than asked: the bands are split over those there are.
  }
}

TRowBands::~TRowBands() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : helpers_) t.join();
}

void TRowBands::BandRows(int32_t top, int32_t bottom, int32_t index, int32_t count,
                         int32_t& from, int32_t& to) {
  const int64_t rows = int64_t(bottom) - top;
  from = int32_t(top + rows * index / count);
  to = int32_t(top + rows * (index + 1) / count);
}

void TRowBands::Run(int32_t top, int32_t bottom, int64_t width,
                    const std::function<void(int32_t, int32_t)>& band) {
  if (bottom <= top) return;
  const int64_t rows = int64_t(bottom) - top;
  const int32_t bands = int32_t(std::min<int64_t>(Threads(), rows));
  if (bands <= 1 || rows * std::max<int64_t>(width, 1) < kMinPixels) {
    band(top, bottom);
    return;
  }
  {
    std::lock_guard lock(mutex_);
    job_ = &band;
    top_ = top;
    bottom_ = bottom;
    bands_ = bands;
    pending_ = bands - 1;
    error_ = nullptr;
    ++generation_;
  }
  wake_.notify_all();
  std::exception_ptr mine;
  try {
    int32_t from, to;
    BandRows(top, bottom, 0, bands, from, to);
    band(from, to);
  } catch (...) {
    mine = std::current_exception();
  }
  std::unique_lock lock(mutex_);
  done_.wait(lock, [this] { return pending_ == 0; });
  job_ = nullptr;
  if (!mine) mine = error_;
  lock.unlock();
  if (mine) std::rethrow_exception(mine);
}

void TRowBands::Helper(int32_t index) {
  uint64_t seen = 0;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
    if (stop_) return;
    seen = generation_;
    if (index >= bands_) continue;  // a range with fewer bands than threads
    const std::function<void(int32_t, int32_t)>* job = job_;
    int32_t from, to;
    BandRows(top_, bottom_, index, bands_, from, to);
    lock.unlock();
    std::exception_ptr failure;
    try {
      (*job)(from, to);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && !error_) error_ = failure;
    if (--pending_ == 0) done_.notify_one();
  }
}

}  // namespace saver
