#include "editing/clipboard_marker.h"

#include <cstring>

#include "platform/clipboard.h"
#include "platform/paths.h"

namespace qv3 {

void PrepareClipboardForCopy() { Clipboard().ClearToEmptyText(); }

void PublishClipboardMarker(const std::string& clipboard_file) {
  Clipboard().SetMarker(kClipboardMarkerPrefix + clipboard_file);
}

std::string ReadClipboardMarker() {
  const std::string marker = Clipboard().Marker();
  const size_t prefix = std::strlen(kClipboardMarkerPrefix);
  std::string path = marker.compare(0, prefix, kClipboardMarkerPrefix) == 0
                         ? marker.substr(prefix)
                         : marker;
  if (path.empty() || IsDirectory(path) || !PathExists(path)) return {};
  return path;
}

}  // namespace qv3
