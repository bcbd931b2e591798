#include "app/loop_delay.h"

namespace qv3 {

int LoopDelay::Run(int seconds) {
  if (seconds <= 0 || running_) return 0;
  running_ = true;
  cancelled_.store(false);
  const std::chrono::milliseconds slice(static_cast<long long>(seconds) * 100);
  int waited = 0;
  while (waited < kSlices) {
    waiter_(slice);
    if (cancelled_.load()) break;  // the slice was cut short
    ++waited;
  }
  running_ = false;
  return waited;
}

}  // namespace qv3
