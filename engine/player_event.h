// A manual-reset event: set by one thread, waited on by another, stays set
// until reset. The engine's stop and done signals are such events; IsSet is
// a cheap poll the worker makes between steps.
#ifndef QV3_ENGINE_PLAYER_EVENT_H_
#define QV3_ENGINE_PLAYER_EVENT_H_

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qv3 {

class ManualResetEvent {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_.store(true, std::memory_order_release);
    cv_.notify_all();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_.store(false, std::memory_order_release);
  }
  bool IsSet() const { return set_.load(std::memory_order_acquire); }
  // Blocks until set.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return set_.load(std::memory_order_acquire); });
  }
  // Blocks until set or `timeout` has passed; true when set.
  template <class Rep, class Period>
  bool WaitFor(std::chrono::duration<Rep, Period> timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return set_.load(std::memory_order_acquire); });
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::atomic<bool> set_{false};
};

}  // namespace qv3

#endif  // QV3_ENGINE_PLAYER_EVENT_H_
