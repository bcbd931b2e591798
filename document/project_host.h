// ProjectHost: what the project reader, writer and save flows need from the
// rest of the program (the main window implements it; tests use a fake).
// Each call names the step it stands for; all run on the GUI thread.
#ifndef QV3_DOCUMENT_PROJECT_HOST_H_
#define QV3_DOCUMENT_PROJECT_HOST_H_

#include <cstdint>
#include <string>

#include "document/document_state.h"

namespace qv3 {

class ProjectHost {
 public:
  virtual ~ProjectHost() = default;

  // --- Audio and playback.
  // Opens `audio_path` as the document's new audio through import, WITHOUT
  // resetting tempo, pitch and vocal reduction (reset controls = 0) and
  // without writing an initial state. On success the host has filled the
  // DocumentState's song length, stream facts, audio_open, source path and
  // audio (copy) path, and begun a fresh edit history. Reports its own errors;
  // false when the audio could not be opened.
  virtual bool OpenProjectAudio(const std::string& audio_path) = 0;
  virtual bool IsPlaying() = 0;
  virtual void StopPlayback() = 0;
  // Performance / transcribe: mode indicator and the engine's processing mode.
  virtual void ApplyPlaybackMode(PlaybackMode mode) = 0;

  // --- Sliders, equaliser, vocal reduction.
  // Sets the pitch and tempo sliders and refreshes their read-outs.
  virtual void SetPitchTempoSliders(int32_t pitch, int32_t tempo) = 0;
  // Attaches the equaliser to the output channel afresh.
  virtual void AttachEqualizer() = 0;
  // Finds the preset by exact name and applies it; false when there is none.
  virtual bool SelectEqPreset(const std::string& name) = 0;
  // The first preset's name, or "PresetUnknown" when there are no presets.
  virtual std::string NoPresetName() = 0;
  // Sets the vocal-reduction dialog to 256 - level and applies the level.
  virtual void ApplyVocalReduction(int32_t level) = 0;

  // --- Working files (edit history).
  // The state file of the current snapshot, existence not tested (used when a
  // loaded project is written into its fresh history).
  virtual std::string StatePathAtCurrentIndex() = 0;
  // Records a state-only step and returns the new snapshot's state file.
  virtual std::string RecordStateStep() = 0;
  // The newest existing state and audio files at or below the current index.
  virtual void CurrentNames(std::string* state_path, std::string* audio_path) = 0;
  // The configured Project folder.
  virtual std::string ProjectFolder() = 0;

  // --- Elsewhere.
  // Tells the pad that a project was opened (code 2005 with its path).
  virtual void NotifyPadProjectOpened(const std::string& project_path) = 0;
  virtual void AddRecentFile(const std::string& path) = 0;
  // Shows the title line.
  virtual void ShowTitle(const std::string& title) = 0;
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_PROJECT_HOST_H_
