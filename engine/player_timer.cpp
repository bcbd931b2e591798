#include "engine/player_timer.h"

#include <atomic>
#include <utility>

namespace qv3 {
namespace {
std::atomic<int> g_timer_hold{0};
}  // namespace

void SetTimerHold(bool hold) { g_timer_hold.store(hold ? 1 : 0, std::memory_order_release); }
bool TimerHold() { return g_timer_hold.load(std::memory_order_acquire) != 0; }

void PeriodicTimer::Start(std::chrono::milliseconds period, std::function<void()> tick) {
  Kill();
  tick_ = std::move(tick);
  kill_ = false;
  thread_ = std::thread([this, period] { Run(period); });
}

void PeriodicTimer::Kill() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    kill_ = true;
  }
  cv_.notify_all();
  thread_.join();
  tick_ = nullptr;
}

void PeriodicTimer::Run(std::chrono::milliseconds period) {
  // Fixed rate: the next due time advances by one period from the last due
  // time, so a slow tick does not make the timer drift.
  auto due = std::chrono::steady_clock::now() + period;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (cv_.wait_until(lock, due, [this] { return kill_; })) return;
    lock.unlock();
    tick_();
    lock.lock();
    due += period;
    auto now = std::chrono::steady_clock::now();
    if (due < now - 4 * period) due = now;  // after a long stall, do not burst
  }
}

}  // namespace qv3
