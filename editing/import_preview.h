// The open dialog's preview: while "Automatically play the selected file" is
// checked, every newly selected existing file plays through the audio
// library, the previous preview stopping first. The check box's state is
// remembered for the next opening of the dialog (for the program's run).
#ifndef QV3_EDITING_IMPORT_PREVIEW_H_
#define QV3_EDITING_IMPORT_PREVIEW_H_

#include <string>

#include "audiolib/audiolib.h"

namespace qv3 {

class SourcePreview {
 public:
  SourcePreview() = default;
  ~SourcePreview() { Stop(); }
  SourcePreview(const SourcePreview&) = delete;
  SourcePreview& operator=(const SourcePreview&) = delete;

  // The remembered check box state (false until first checked).
  static bool RememberedAutoPlay();

  bool auto_play() const { return RememberedAutoPlay(); }
  // The check box changed: remembered; unchecking stops the preview.
  void SetAutoPlay(bool on);
  // A file was selected: with auto play on and an existing regular file, the
  // current preview stops and this file plays (WMA files and CD tracks
  // through their own openers). Files the library cannot play stay silent.
  void Select(const std::string& path);
  // Stops and frees the preview.
  void Stop();

  // The playing stream, 0 when none.
  StreamHandle stream() const { return stream_; }
  const std::string& playing_path() const { return playing_path_; }

 private:
  StreamHandle stream_ = 0;
  std::string playing_path_;
};

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_PREVIEW_H_
