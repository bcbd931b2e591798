#include "platform/ui/qt_main_thread_poster.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <memory>
#include <utility>

namespace qv3 {

void QtMainThreadPoster::Post(MainThreadCall call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  // Queued calls to one receiver are delivered in posting order.
  auto shared = std::make_shared<MainThreadCall>(std::move(call));
  QMetaObject::invokeMethod(app, [shared] { (*shared)(); }, Qt::QueuedConnection);
}

}  // namespace qv3
