// The Qt implementation of ClipboardService on the system clipboard
// (QGuiApplication::clipboard()): the marker goes up as plain text plus the
// private MIME type, and only the private type is read back, so a plain-text
// path copied in a file manager or an editor is never taken for copied audio.
#ifndef QV3_PLATFORM_UI_QT_CLIPBOARD_H_
#define QV3_PLATFORM_UI_QT_CLIPBOARD_H_

#include <string>

#include "platform/clipboard.h"

namespace qv3 {

class QtClipboard : public ClipboardService {
 public:
  void ClearToEmptyText() override;
  void SetMarker(const std::string& marker) override;
  std::string Marker() override;
};

// Installs a QtClipboard for the lifetime of the object (GUI thread, after the
// QApplication exists).
class ScopedQtClipboard {
 public:
  ScopedQtClipboard() { InstallClipboard(&clipboard_); }
  ~ScopedQtClipboard() { InstallClipboard(nullptr); }
  ScopedQtClipboard(const ScopedQtClipboard&) = delete;
  ScopedQtClipboard& operator=(const ScopedQtClipboard&) = delete;

 private:
  QtClipboard clipboard_;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_UI_QT_CLIPBOARD_H_
