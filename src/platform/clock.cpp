#include "platform/clock.h"

#include <chrono>
#include <thread>

namespace saver {

uint32_t SystemClock::TickCount() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

uint64_t SystemClock::PerformanceCounter() {
  return uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
}

namespace {
SystemClock g_systemClock;
std::atomic<IClock*> g_clock{&g_systemClock};
}  // namespace

IClock& Clock() { return *g_clock.load(); }
void SetClock(IClock* clock) { g_clock.store(clock ? clock : &g_systemClock); }

}  // namespace saver
