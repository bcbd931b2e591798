// The clipboard marker through which Cut/Copy/Paste exchange audio: the audio
// goes into the history's clipboard file, and the system clipboard carries
// "QV3Copy: " + its full path. Because the path is full, one running instance
// can paste what another copied.
#ifndef QV3_EDITING_CLIPBOARD_MARKER_H_
#define QV3_EDITING_CLIPBOARD_MARKER_H_

#include <string>

namespace qv3 {

inline constexpr char kClipboardMarkerPrefix[] = "QV3Copy: ";

// Before the clipboard file is written: empties the system clipboard and
// leaves an empty text on it, so no stale marker names a file being rewritten.
void PrepareClipboardForCopy();
// After a successful Copy or Cut: puts the marker for `clipboard_file` up.
void PublishClipboardMarker(const std::string& clipboard_file);
// The path the marker names, or empty text when the clipboard holds no marker
// of this program or the file no longer exists. Only the program's private
// clipboard type is read: a plain-text path copied elsewhere is not audio.
std::string ReadClipboardMarker();

}  // namespace qv3

#endif  // QV3_EDITING_CLIPBOARD_MARKER_H_
