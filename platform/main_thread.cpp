#include "platform/main_thread.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <utility>

namespace qv3 {
namespace {

class QueuePoster : public MainThreadPoster {
 public:
  void Post(MainThreadCall call) override {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(call));
  }
  int RunAll() {
    int n = 0;
    for (;;) {
      MainThreadCall call;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return n;
        call = std::move(queue_.front());
        queue_.pop_front();
      }
      call();
      ++n;
    }
  }

 private:
  std::mutex mutex_;
  std::deque<MainThreadCall> queue_;
};

QueuePoster g_queue;
std::atomic<MainThreadPoster*> g_poster{&g_queue};

}  // namespace

void PostToMainThread(MainThreadCall call) { g_poster.load()->Post(std::move(call)); }

void InstallMainThreadPoster(MainThreadPoster* poster) { g_poster.store(poster ? poster : &g_queue); }

int RunPendingMainThreadCalls() { return g_queue.RunAll(); }

}  // namespace qv3
