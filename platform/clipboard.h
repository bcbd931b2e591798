// The system clipboard as the editor uses it: a marker naming the audio
// clipboard file, announced as plain text for people and under a private MIME
// type for this program. Only the private type is read back, so a file path
// copied from elsewhere is never taken for copied audio.
//
// Logic never includes Qt. The application installs the Qt implementation
// (platform/ui/qt_clipboard.h); until then, and in tests, an in-process
// clipboard stands in.
#ifndef QV3_PLATFORM_CLIPBOARD_H_
#define QV3_PLATFORM_CLIPBOARD_H_

#include <string>

namespace qv3 {

// The private MIME type that carries the marker between running instances.
inline constexpr char kMarkerMimeType[] = "application/x-quaverly3-clipboard-marker";

class ClipboardService {
 public:
  virtual ~ClipboardService() = default;
  // Empties the clipboard and leaves an empty text on it.
  virtual void ClearToEmptyText() = 0;
  // Puts `marker` on the clipboard as plain text and under kMarkerMimeType.
  virtual void SetMarker(const std::string& marker) = 0;
  // The data under kMarkerMimeType, empty when the clipboard holds none.
  virtual std::string Marker() = 0;
};

// The installed clipboard (never null). GUI thread only.
ClipboardService& Clipboard();
// Installs `clipboard` (not owned); nullptr restores the in-process default.
void InstallClipboard(ClipboardService* clipboard);

// The in-process clipboard: what the default serves and tests inspect.
class MemoryClipboard : public ClipboardService {
 public:
  void ClearToEmptyText() override {
    text_.clear();
    marker_.clear();
    has_marker_ = false;
  }
  void SetMarker(const std::string& marker) override {
    text_ = marker;
    marker_ = marker;
    has_marker_ = true;
  }
  std::string Marker() override { return has_marker_ ? marker_ : std::string(); }

  // Plain text as another program would see it.
  const std::string& text() const { return text_; }
  // What another program may put there: plain text only, no private type.
  void SetForeignText(const std::string& text) {
    text_ = text;
    marker_.clear();
    has_marker_ = false;
  }

 private:
  std::string text_;
  std::string marker_;
  bool has_marker_ = false;
};

}  // namespace qv3

#endif  // QV3_PLATFORM_CLIPBOARD_H_
