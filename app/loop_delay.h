// The pause between repetitions of a loop: D seconds waited in ten slices of
// D x 100 ms while events are processed, ended early by the user (Space or
// the left mouse button) or by the program (Stop, close, open). The waiting
// itself is a hook so the rule runs without a window; the Qt side waits in
// an event loop with an application-wide event filter.
#ifndef QV3_APP_LOOP_DELAY_H_
#define QV3_APP_LOOP_DELAY_H_

#include <atomic>
#include <chrono>
#include <functional>

namespace qv3 {

class LoopDelay {
 public:
  static constexpr int kSlices = 10;

  // Waits up to `milliseconds` while processing events; returns early when
  // Cancel() is called meanwhile.
  using SliceWaiter = std::function<void(std::chrono::milliseconds)>;

  explicit LoopDelay(SliceWaiter waiter) : waiter_(std::move(waiter)) {}

  // Holds for `seconds` (nothing for 0 or less). Returns the number of
  // whole slices waited; fewer than kSlices when cut short.
  int Run(int seconds);
  // Ends a running hold after the current slice (safe from event handlers
  // called inside the slice waiter).
  void Cancel() { cancelled_.store(true); }
  bool running() const { return running_; }
  bool cancelled() const { return cancelled_.load(); }

 private:
  SliceWaiter waiter_;
  std::atomic<bool> cancelled_{false};
  bool running_ = false;
};

}  // namespace qv3

#endif  // QV3_APP_LOOP_DELAY_H_
