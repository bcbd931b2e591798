// Queued calls onto the GUI (main) thread: the Linux stand-in for posting a
// window message. Engine, timer, pipe and device threads hand their
// notifications (with the same codes and values) to PostToMainThread; the
// call runs later on the main thread, in order.
//
// The Qt application installs a poster that queues onto its event loop. Tests
// and command-line programs use the default ManualMainThreadQueue and drain it
// with RunPendingMainThreadCalls(). PostToMainThread is safe from any thread;
// it may allocate, so never call it from an audio callback.
#ifndef QV3_PLATFORM_MAIN_THREAD_H_
#define QV3_PLATFORM_MAIN_THREAD_H_

#include <functional>

namespace qv3 {

using MainThreadCall = std::function<void()>;

class MainThreadPoster {
 public:
  virtual ~MainThreadPoster() = default;
  virtual void Post(MainThreadCall call) = 0;
};

// Queues `call` to run on the main thread.
void PostToMainThread(MainThreadCall call);
// Installs `poster` (not owned); nullptr restores the built-in queue.
void InstallMainThreadPoster(MainThreadPoster* poster);
// With the built-in queue: runs every call queued so far (and those they
// queue); returns how many ran. Call it on the thread that owns the document.
int RunPendingMainThreadCalls();

}  // namespace qv3

#endif  // QV3_PLATFORM_MAIN_THREAD_H_
