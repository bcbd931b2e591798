// EditHost: what the edit commands need from the main window. The commands
// themselves (edit_commands.h) are window-free; every step that touches the
// engine, the waveform view, the sliders, a dialog or the pad goes through
// this interface. All calls run on the GUI thread.
#ifndef QV3_EDITING_EDIT_HOST_H_
#define QV3_EDITING_EDIT_HOST_H_

#include <cstdint>
#include <string>

namespace qv3 {

// Where Insert Silence puts the silence.
enum class InsertPoint { kBeginning = 0, kCurrentPosition = 1, kEnd = 2 };

class EditHost {
 public:
  virtual ~EditHost() = default;

  // --- Engine.
  // Stops playback if it runs (an edit replaces the file being played).
  virtual void StopForEdit() = 0;
  // Closes the engine's source and opens `audio_path` instead, rescans the
  // peaks into the view and updates the song length (player, document,
  // view), keeping the play position (clamped to the new length). False when
  // the file cannot be opened or scanned; the host reports nothing for a
  // failed open (the caller does), but may report a failed peak scan.
  virtual bool ReloadAudio(const std::string& audio_path) = 0;
  // Seconds, from the player (after ReloadAudio: the new length).
  virtual double SongLength() = 0;

  // --- Waveform view.
  // The selection in seconds; false when there is none.
  virtual bool GetSelection(double* start, double* end) = 0;
  virtual void ClearSelection() = 0;
  // The time at the horizontal centre of the view, clamped to 0 .. length.
  virtual double ViewCentre() = 0;
  // Seconds shown in the view; negative for the whole song.
  virtual double ZoomSpan() = 0;
  // Sets the zoom span again and centres the view on `centre` seconds.
  virtual void RestoreView(double zoom_span, double centre) = 0;
  // Holds painting of the view during a reload (true) and resumes it (false).
  virtual void SuspendRedraw(bool suspend) = 0;
  // The document's loops or markers changed: the view copies and repaints them.
  virtual void ItemsChanged() = 0;

  // --- Sliders.
  // The play position in seconds, from the position slider.
  virtual double PlayPosition() = 0;
  // Position slider range = stream length / 100, slider and player moved to
  // `seconds`.
  virtual void SetPlayPosition(double seconds) = 0;
  // Zoom slider range = song length in seconds, its position `position`.
  virtual void SetZoomSliderRange(double song_length, double position) = 0;
  // The tempo and pitch sliders take a loop's values (and the engine follows).
  virtual void ApplyLoopTempoPitch(int32_t pitch, int32_t tempo) = 0;

  // --- Dialogs (modal). False on Cancel.
  // Insert Silence: the seconds entered and where to insert.
  virtual bool AskInsertSilence(double* seconds, InsertPoint* where) = 0;
  // Change Volume: the chosen percentage (0 .. 500).
  virtual bool AskChangeVolume(double* percent) = 0;

  // --- Pad link.
  // Undo or redo loaded a state file: the pad reloads its pages (code 2005).
  virtual void NotifyPadStateLoaded(const std::string& state_path) = 0;
};

}  // namespace qv3

#endif  // QV3_EDITING_EDIT_HOST_H_
