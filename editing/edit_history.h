// The numbered whole-file snapshots of the open song. Every change becomes a
// new pair of files in the Temp folder: a project-format state file (".qvp",
// always) and a WAV file (only when the audio changed). Undo and redo move
// between these snapshots; nothing is stored as a delta.
//
// Names (plain concatenation, Temp folder from the "Temp" default location):
//   base path      <temp>/YYYYMMDD_HHMMSS.mmm   (UTC when the song was opened)
//   snapshot k     base + "-" + "%06d" + ".qvp" / ".wav"
//   clipboard file base + "-Clipboard.wav"
// so snapshot 3 of a song opened at 01:45:02.318 UTC on 7 December 2026 is
// 20261207_014502.318-000003.wav.
//
// The history reports nothing itself; deleting files that do not exist is
// silent. It deletes every file it named when it is reset or destroyed.
#ifndef QV3_EDITING_EDIT_HISTORY_H_
#define QV3_EDITING_EDIT_HISTORY_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv3 {

// A snapshot's two files; an empty name means "no such file / unchanged".
struct SnapshotNames {
  std::string state;  // ".qvp"
  std::string audio;  // ".wav"
};

class EditHistory {
 public:
  using Clock = std::function<std::chrono::system_clock::time_point()>;

  // The clock gives the base path's time; tests inject a fixed one.
  explicit EditHistory(Clock clock = {});
  ~EditHistory();
  EditHistory(const EditHistory&) = delete;
  EditHistory& operator=(const EditHistory&) = delete;

  // Starts the history of a freshly opened song: resets (deleting the previous
  // song's files), builds the base path from the UTC clock and returns the
  // names of snapshot 0. Should another running instance already use the same
  // millisecond in this folder, the next free millisecond is taken.
  SnapshotNames Begin(const std::string& temp_folder);
  // Records the step from the current snapshot to a new one and returns the
  // new snapshot's names. Any redo branch (files of the new index and above)
  // is deleted first; the caller then writes the state file, and the audio
  // file only when audio_changed. An audio edit records (false, true), a
  // change of loops, markers or settings (true, false).
  SnapshotNames RecordStep(bool state_only, bool audio_changed);
  // Steps back. False (indices unchanged, names empty) at snapshot 0. The
  // audio name is empty when the undone step left the audio unchanged, else
  // the newest existing audio snapshot at or below the new index.
  bool Undo(SnapshotNames* names);
  // Steps forward. False (names empty) at the top. Both names are given
  // without testing existence; the caller uses each only if it exists.
  bool Redo(SnapshotNames* names);
  // The newest existing state file and, independently, the newest existing
  // audio file at or below the current index: the document's current files.
  SnapshotNames CurrentNames() const;
  // Both names of the current index, existing or not (loading a project).
  SnapshotNames NamesAtCurrentIndex() const;
  // base + "-Clipboard.wav"; empty while no song is open.
  const std::string& ClipboardPath() const { return clipboard_path_; }
  // Deletes the files of every index up to the highest one handed out and the
  // clipboard file, then forgets the song. Capacity stays allocated.
  void Reset();

  const std::string& base_path() const { return base_path_; }
  int32_t current_index() const { return current_; }
  int32_t top_index() const { return top_; }
  int32_t highest_index() const { return highest_; }
  int32_t capacity() const { return static_cast<int32_t>(steps_.size()); }

  // Name of snapshot `index` with `extension` (".qvp" or ".wav"); empty while no
  // song is open.
  std::string SnapshotName(int32_t index, const char* extension) const;

 private:
  struct Step {
    int32_t state_only = 0;
    int32_t audio_changed = 0;  // 1: the step wrote new audio
  };

  void DeleteSnapshot(int32_t index) const;

  Clock clock_;
  std::string base_path_;
  std::string clipboard_path_;
  int32_t current_ = 0;
  int32_t top_ = 0;
  int32_t highest_ = 0;
  std::vector<Step> steps_;  // steps_[k]: from snapshot k to k + 1
};

// The base path for `temp_folder` at `time`: "<temp>/YYYYMMDD_HHMMSS.mmm" (UTC).
std::string SnapshotBasePath(const std::string& temp_folder,
                             std::chrono::system_clock::time_point time);

}  // namespace qv3

#endif  // QV3_EDITING_EDIT_HISTORY_H_
