// Queues PostToMainThread calls onto the Qt event loop, so they run on the GUI
// thread in the order they were posted, like posted window messages.
#ifndef QV3_PLATFORM_UI_QT_MAIN_THREAD_POSTER_H_
#define QV3_PLATFORM_UI_QT_MAIN_THREAD_POSTER_H_

#include "platform/main_thread.h"

namespace qv3 {

class QtMainThreadPoster : public MainThreadPoster {
 public:
  // Calls posted while no QCoreApplication exists are dropped.
  void Post(MainThreadCall call) override;
};

// Installs a QtMainThreadPoster for the lifetime of the object; create it after
// the QApplication and let it go before.
class ScopedQtMainThreadPoster {
 public:
  ScopedQtMainThreadPoster() { InstallMainThreadPoster(&poster_); }
  ~ScopedQtMainThreadPoster() { InstallMainThreadPoster(nullptr); }
  ScopedQtMainThreadPoster(const ScopedQtMainThreadPoster&) = delete;
  ScopedQtMainThreadPoster& operator=(const ScopedQtMainThreadPoster&) = delete;

 private:
  QtMainThreadPoster poster_;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_UI_QT_MAIN_THREAD_POSTER_H_
