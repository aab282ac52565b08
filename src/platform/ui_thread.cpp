#include "platform/ui_thread.h"

#include <atomic>
#include <chrono>

namespace saver {

void PumpedUiThread::Synchronize(std::function<void()> fn) {
  if (std::this_thread::get_id() == owner_) {
    fn();
    return;
  }
  std::mutex doneMutex;
  std::condition_variable doneCv;
  bool done = false;
  std::exception_ptr error;
  Post([&] {
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
    std::lock_guard<std::mutex> g(doneMutex);
    done = true;
    doneCv.notify_one();
  });
  std::unique_lock<std::mutex> lock(doneMutex);
  doneCv.wait(lock, [&] { return done; });
  if (error) std::rethrow_exception(error);
}

void PumpedUiThread::Post(std::function<void()> fn) {
  std::lock_guard<std::mutex> g(mutex_);
  queue_.push_back(std::move(fn));
  wake_.notify_all();
}

bool PumpedUiThread::RunOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  auto fn = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  fn();
  lock.lock();
  return true;
}

void PumpedUiThread::ProcessMessages() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (RunOne(lock)) {
  }
}

void PumpedUiThread::PumpUntil(const std::function<bool()>& pred) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    while (RunOne(lock)) {
    }
    lock.unlock();
    if (pred()) return;
    lock.lock();
    // Short timed waits: pred may become true without anything being queued.
    wake_.wait_for(lock, std::chrono::milliseconds(1), [&] { return !queue_.empty(); });
  }
}

size_t PumpedUiThread::Pending() const {
  std::lock_guard<std::mutex> g(mutex_);
  return queue_.size();
}

void PumpedUiThread::RequestTerminate() {
  std::lock_guard<std::mutex> g(mutex_);
  terminate_ = true;
  wake_.notify_all();
}

bool PumpedUiThread::TerminateRequested() const {
  std::lock_guard<std::mutex> g(mutex_);
  return terminate_;
}

namespace {
std::atomic<IUiThread*> g_ui{nullptr};
}  // namespace

IUiThread& UiThread() {
  IUiThread* ui = g_ui.load();
  if (ui) return *ui;
  static PumpedUiThread fallback;
  return fallback;
}

void SetUiThread(IUiThread* ui) { g_ui.store(ui); }

}  // namespace saver
