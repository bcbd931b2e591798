// The open song's files: the three paths the user sees (project, source,
// audio copy) and its snapshot history. One per main window.
#ifndef QV3_EDITING_SONG_FILE_SET_H_
#define QV3_EDITING_SONG_FILE_SET_H_

#include <string>

#include "editing/edit_history.h"

namespace qv3 {

class SongFileSet {
 public:
  explicit SongFileSet(EditHistory::Clock clock = {}) : history_(std::move(clock)) {}

  // Where the project is saved: DefaultProjectPath() when a song is opened,
  // the user's choice after Save As.
  const std::string& project_path() const { return project_path_; }
  void set_project_path(const std::string& path) { project_path_ = path; }
  // The file the user opened (audio, video, CD track).
  const std::string& source_path() const { return source_path_; }
  void set_source_path(const std::string& path) { source_path_ = path; }
  // Where the edited audio is saved beside the project (AudioCopyPath()).
  const std::string& audio_copy_path() const { return audio_copy_path_; }
  void set_audio_copy_path(const std::string& path) { audio_copy_path_ = path; }

  std::string ProjectFileName() const;
  std::string SourceFileName() const;
  std::string AudioCopyTitle() const;

  // Empties the three paths, then resets the history (deleting its files).
  void Reset();

  EditHistory& history() { return history_; }
  const EditHistory& history() const { return history_; }
  SnapshotNames Begin(const std::string& temp_folder) { return history_.Begin(temp_folder); }
  SnapshotNames RecordStep(bool state_only, bool audio_changed) {
    return history_.RecordStep(state_only, audio_changed);
  }
  bool Undo(SnapshotNames* names) { return history_.Undo(names); }
  bool Redo(SnapshotNames* names) { return history_.Redo(names); }
  SnapshotNames CurrentNames() const { return history_.CurrentNames(); }
  SnapshotNames NamesAtCurrentIndex() const { return history_.NamesAtCurrentIndex(); }
  const std::string& ClipboardPath() const { return history_.ClipboardPath(); }

 private:
  std::string project_path_;
  std::string source_path_;
  std::string audio_copy_path_;
  EditHistory history_;
};

// The Project folder (DefaultLocation("Project")) + "/Untitled.qvp".
std::string DefaultProjectPath(const std::string& project_folder);

// True when the file name (last path component) has the form
// "<title>-Copy<6 digits>.wav": an audio copy this program saved earlier.
bool IsAudioCopyName(const std::string& path);

// Where Save puts the edited audio of `source_path`. A source that is itself
// an earlier audio copy (a reopened project) keeps its path, so it is saved
// over the same copy. Any other source gets
// "<project folder>/<title>-Copy%06d.wav" with the smallest number from 1 up
// whose file does not exist yet. Only the file name decides: a folder named
// "Live-Copy01" must never make Save write the working WAV over the user's
// own file.
std::string AudioCopyPath(const std::string& source_path, const std::string& project_folder);

}  // namespace qv3

#endif  // QV3_EDITING_SONG_FILE_SET_H_
