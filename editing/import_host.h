// ImportHost: what opening a song needs from the main window. Import itself
// (import_source.h) makes the working WAV, scans its peaks and drives these
// steps in order; the main window implements them on its engine, sliders,
// waveform view and document, and tests use a fake. All calls run on the GUI
// thread.
#ifndef QV3_EDITING_IMPORT_HOST_H_
#define QV3_EDITING_IMPORT_HOST_H_

#include <cstdint>
#include <string>

#include "audiolib/audiolib.h"
#include "editing/peak_scan.h"
#include "editing/song_file_set.h"

namespace qv3 {

// Song properties set by import (the title line, paste checks and export
// read them).
struct SongProperties {
  int32_t sample_rate = 0;       // Hz
  int32_t bytes_per_sample = 0;  // of the working WAV's samples
  int32_t channels = 0;
  int32_t bit_rate = 0;          // kbps of the source; 0 for videos
  int64_t file_size = 0;         // bytes of the source file
};

class ImportHost {
 public:
  virtual ~ImportHost() = default;

  // ---- Window ----
  // Disables / re-enables the main window around long work.
  virtual void EnableMainWindow(bool enable) = 0;
  // Drop: brings the window to the foreground.
  virtual void BringToForeground() {}

  // ---- Files and document ----
  virtual SongFileSet& Files() = 0;
  virtual void SetSongProperties(const SongProperties& properties) = 0;
  // The song is open: its three paths (also in Files()) for the document.
  virtual void SetSongPaths(const std::string& source_path, const std::string& audio_copy_path,
                            const std::string& project_path) = 0;
  // Notes the song length in seconds (document, loops and markers).
  virtual void SetSongLength(double seconds) = 0;
  // Writes the project state of snapshot 0 (WriteProjectFile) to `state_path`.
  virtual bool WriteProjectState(const std::string& state_path) = 0;
  // SetSavedState of the document.
  virtual void SetSavedState(int saved, bool rewrite) = 0;
  // AskSaveChanges of the document: false when the user cancelled.
  virtual bool AskSaveChanges() = 0;
  // The project loader (full open of a ".qvp"); reports its own errors.
  virtual bool OpenProject(const std::string& path) = 0;
  // A failed open has discarded the previous song: the window shows no song
  // (the document's audio is closed and its saved flag set, since nothing is
  // left that could be saved).
  virtual void ShowNoSong() = 0;
  virtual void AddRecentFile(const std::string& path) = 0;
  // Tells the notation pad that a song or project was opened (code 2005).
  virtual void NotifyPad(int code) = 0;
  // Refreshes the title line.
  virtual void RefreshTitle() = 0;

  // ---- Player ----
  // Frees the player's current source.
  virtual void ClosePlayerSource() = 0;
  // Opens the working WAV in the player: 0, or the player's error code.
  virtual int OpenPlayerSource(const std::string& wav_path) = 0;
  // Length in bytes of the player's float decoding stream.
  virtual int64_t PlayerLengthBytes() = 0;
  virtual double PlayerLengthSeconds() = 0;
  // The player's decoding stream (float samples), scanned for the peaks and
  // left rewound.
  virtual StreamHandle PlayerDecodeStream() = 0;

  // ---- Controls and view ----
  // Empties both waveform series.
  virtual void ClearWaveform() = 0;
  // Position slider: range 0 .. `max` and page `page`, in hundreds of bytes
  // of the float decoding stream.
  virtual void SetPositionSlider(int64_t max, int64_t page) = 0;
  // Hands the scanned peaks to the waveform view.
  virtual void LoadPeaks(const PeakSet& peaks) = 0;
  // Shows the whole song: zoom span -1 and "Zoom: All".
  virtual void ShowWholeSong() = 0;
  // Tempo 100 %, pitch 0, vocal reduction 0; shows "Tempo: 100.00%" and
  // "Pitch: 0.00".
  virtual void ResetControls() = 0;
};

}  // namespace qv3

#endif  // QV3_EDITING_IMPORT_HOST_H_
