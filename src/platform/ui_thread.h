#pragma once
// The UI thread: where every window, timer, handler and paint runs. Worker
// threads hand work to it synchronously (Synchronize) or queue it (Post).
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace saver {

class IUiThread {
 public:
  virtual ~IUiThread() = default;
  // Runs fn on the UI thread and returns when it has run. Called from the
  // UI thread itself, it runs fn at once.
  virtual void Synchronize(std::function<void()> fn) = 0;
  // Queues fn to run on the UI thread at its next turn.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs what is pending (the UI thread's "process messages").
  virtual void ProcessMessages() = 0;
  // Ends the message loop at its next turn.
  virtual void RequestTerminate() = 0;
  virtual bool TerminateRequested() const = 0;
};

// An in-process UI thread: a queue pumped by whoever owns the thread that
// created it. Tests and command-line tools use it; the desktop backend
// uses the Qt event loop instead.
class PumpedUiThread final : public IUiThread {
 public:
  PumpedUiThread() : owner_(std::this_thread::get_id()) {}
  void Synchronize(std::function<void()> fn) override;
  void Post(std::function<void()> fn) override;
  void ProcessMessages() override;
  void RequestTerminate() override;
  bool TerminateRequested() const override;

  // Pumps until pred() is true; waits for work between checks.
  void PumpUntil(const std::function<bool()>& pred);
  size_t Pending() const;

 private:
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  bool terminate_ = false;
};

// The process's UI thread service (a PumpedUiThread created on first use
// unless one was set).
IUiThread& UiThread();
void SetUiThread(IUiThread* ui);  // nullptr restores the default

}  // namespace saver
