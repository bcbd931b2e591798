// The engine's periodic timer: a thread that calls a function every period
// (50 ms for the player) at a fixed rate, until it is killed. Kill joins the
// thread, so after it returns the function is never called again; the
// destructor kills. The process-wide timer hold flag silences the player's
// timer callback while the output is paused, while play and stop swap the
// timer, and while the main window holds between loop repetitions.
#ifndef QV3_ENGINE_PLAYER_TIMER_H_
#define QV3_ENGINE_PLAYER_TIMER_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace qv3 {

inline constexpr std::chrono::milliseconds kPlayerTimerPeriod{50};

// The timer hold flag (process-wide, any thread).
void SetTimerHold(bool hold);
bool TimerHold();

class PeriodicTimer {
 public:
  PeriodicTimer() = default;
  ~PeriodicTimer() { Kill(); }
  PeriodicTimer(const PeriodicTimer&) = delete;
  PeriodicTimer& operator=(const PeriodicTimer&) = delete;

  // Starts calling `tick` every `period` on the timer's own thread (the first
  // call one period from now). A running timer is killed first.
  void Start(std::chrono::milliseconds period, std::function<void()> tick);
  // Stops and joins the thread; nothing happens when not running. Never call
  // it from inside the tick.
  void Kill();
  bool running() const { return thread_.joinable(); }

 private:
  void Run(std::chrono::milliseconds period);

  std::thread thread_;
  std::function<void()> tick_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool kill_ = false;
};

}  // namespace qv3

#endif  // QV3_ENGINE_PLAYER_TIMER_H_
