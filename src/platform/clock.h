#pragma once
// Time: a millisecond tick count, sleeping, and a high-resolution counter.
#include <atomic>
#include <cstdint>

namespace saver {

class IClock {
 public:
  virtual ~IClock() = default;
  virtual uint32_t TickCount() = 0;            // milliseconds, wraps at 2^32
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint64_t PerformanceCounter() = 0;   // any monotonic high-resolution count
};

class SystemClock final : public IClock {
 public:
  uint32_t TickCount() override;
  void Sleep(uint32_t milliseconds) override;
  uint64_t PerformanceCounter() override;
};

// Test double: time moves only when someone sleeps or advances it.
// Safe to use from a worker thread and the test thread at once.
class ManualClock final : public IClock {
 public:
  explicit ManualClock(uint32_t start = 0) : now_(start) {}
  uint32_t TickCount() override { return now_.load(); }
  void Sleep(uint32_t milliseconds) override { now_ += milliseconds; sleeps_++; }
  uint64_t PerformanceCounter() override { return now_.load(); }
  void Advance(uint32_t milliseconds) { now_ += milliseconds; }
  uint64_t Sleeps() const { return sleeps_.load(); }

 private:
  std::atomic<uint32_t> now_;
  std::atomic<uint64_t> sleeps_{0};
};

// The process's clock: a SystemClock unless a test replaced it.
IClock& Clock();
void SetClock(IClock* clock);  // nullptr restores the system clock

}  // namespace saver
