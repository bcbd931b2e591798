// Test helpers for the edit commands: 16-bit WAV files with exact sample
// values, and a song "window" that implements both hosts on a real history
// and document. Tests and benchmarks only.
#ifndef QV3_EDITING_EDIT_TEST_SUPPORT_H_
#define QV3_EDITING_EDIT_TEST_SUPPORT_H_

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/project_document.h"
#include "document/project_host.h"
#include "editing/edit_commands.h"
#include "editing/edit_host.h"
#include "editing/song_file_set.h"

namespace qv3::edit_testing {

// Interleaved 16-bit samples of a file.
struct Pcm {
  int rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;
  int64_t frames() const { return channels ? int64_t(samples.size()) / channels : 0; }
};

inline bool WritePcm(const std::string& path, const Pcm& pcm,
                     int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
  SF_INFO info{};
  info.samplerate = pcm.rate;
  info.channels = pcm.channels;
  info.format = format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) return false;
  const sf_count_t n = sf_writef_short(f, pcm.samples.data(), pcm.frames());
  sf_close(f);
  return n == pcm.frames();
}

inline Pcm ReadPcm(const std::string& path) {
  Pcm pcm;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) return pcm;
  pcm.rate = info.samplerate;
  pcm.channels = info.channels;
  pcm.samples.resize(size_t(info.frames) * size_t(info.channels));
  sf_readf_short(f, pcm.samples.data(), info.frames);
  sf_close(f);
  return pcm;
}

// A song whose every sample differs from its neighbours, so a frame out of
// place shows.
inline Pcm MakeSong(int rate, int channels, int64_t frames) {
  Pcm pcm{rate, channels, {}};
  pcm.samples.resize(size_t(frames) * size_t(channels));
  for (int64_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      pcm.samples[size_t(i * channels + c)] =
          int16_t(((i * 7 + c * 13) % 20000) - 10000 + (c ? 1 : 0));
  return pcm;
}

// The open song as the main window holds it, with both hosts faked on top of
// a real SongFileSet and ProjectDocument. Reload reads the file's length
// with libsndfile (a hook may replace or fail it).
class SongWindow : public ProjectHost, public EditHost {
 public:
  SongWindow() : document(this), commands(this, &document, &files) {}

  // Opens `pcm` as a fresh song in `temp_folder`.
  bool Open(const std::string& temp_folder, const Pcm& pcm) {
    const SnapshotNames names = files.Begin(temp_folder);
    if (!WritePcm(names.audio, pcm)) return false;
    DocumentState& s = document.state();
    s.audio_open = true;
    s.stream.sample_rate = pcm.rate;
    s.stream.channels = pcm.channels;
    s.stream.bytes_per_sample = 2;
    s.current_loop = -1;
    document.markers().Clear();
    document.loops().Clear();
    if (!ReloadAudio(names.audio)) return false;
    document.SetSongLength(song_length);
    return document.WriteProjectFile(names.state);
  }

  // --- ProjectHost.
  bool OpenProjectAudio(const std::string&) override { return false; }
  bool IsPlaying() override { return playing; }
  void StopPlayback() override { playing = false; }
  void ApplyPlaybackMode(PlaybackMode) override {}
  void SetPitchTempoSliders(int32_t pitch, int32_t tempo) override {
    slider_pitch = pitch;
    slider_tempo = tempo;
  }
  void AttachEqualizer() override {}
  bool SelectEqPreset(const std::string&) override { return true; }
  std::string NoPresetName() override { return "PresetUnknown"; }
  void ApplyVocalReduction(int32_t) override {}
  std::string StatePathAtCurrentIndex() override { return files.NamesAtCurrentIndex().state; }
  std::string RecordStateStep() override { return files.RecordStep(true, false).state; }
  void CurrentNames(std::string* state_path, std::string* audio_path) override {
    const SnapshotNames n = files.CurrentNames();
    *state_path = n.state;
    *audio_path = n.audio;
  }
  std::string ProjectFolder() override { return "/nonexistent"; }
  void NotifyPadProjectOpened(const std::string&) override {}
  void AddRecentFile(const std::string&) override {}
  void ShowTitle(const std::string&) override {}

  // --- EditHost.
  void StopForEdit() override {
    ++stops;
    playing = false;
  }
  bool ReloadAudio(const std::string& path) override {
    reloads.push_back(path);
    if (path == fail_reload_of) return false;
    if (reload_hook) return reload_hook(path);
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return false;
    sf_close(f);
    open_audio = path;
    song_length = info.samplerate > 0 ? double(info.frames) / info.samplerate : 0.0;
    return true;
  }
  double SongLength() override { return song_length; }
  bool GetSelection(double* start, double* end) override {
    if (sel_start < 0.0 || sel_end < 0.0) return false;
    *start = sel_start;
    *end = sel_end;
    return true;
  }
  void ClearSelection() override { sel_start = sel_end = -1.0; }
  double ViewCentre() override { return centre; }
  double ZoomSpan() override { return zoom_span; }
  void RestoreView(double span, double at) override {
    restored_span = span;
    restored_centre = at;
  }
  void SuspendRedraw(bool suspend) override { redraw_suspended = suspend; }
  void ItemsChanged() override { ++items_changed; }
  double PlayPosition() override { return position; }
  void SetPlayPosition(double seconds) override { position = seconds; }
  void SetZoomSliderRange(double length, double at) override {
    zoom_range = length;
    zoom_position = at;
  }
  void ApplyLoopTempoPitch(int32_t pitch, int32_t tempo) override {
    loop_pitch = pitch;
    loop_tempo = tempo;
  }
  bool AskInsertSilence(double* seconds, InsertPoint* where) override {
    ++silence_dialogs;
    if (!silence_ok) return false;
    *seconds = silence_seconds;
    *where = silence_where;
    return true;
  }
  bool AskChangeVolume(double* percent) override {
    ++volume_dialogs;
    if (!volume_ok) return false;
    *percent = volume_percent;
    return true;
  }
  void NotifyPadStateLoaded(const std::string& state_path) override {
    pad_notes.push_back(state_path);
  }

  // Scripted answers and recorded calls.
  bool playing = false;
  int stops = 0;
  std::vector<std::string> reloads;
  std::string fail_reload_of;
  std::function<bool(const std::string&)> reload_hook;
  std::string open_audio;
  double song_length = 0.0;
  double sel_start = -1.0;
  double sel_end = -1.0;
  double centre = 0.0;
  double zoom_span = -1.0;
  double restored_span = -99.0;
  double restored_centre = -99.0;
  bool redraw_suspended = false;
  int items_changed = 0;
  double position = 0.0;
  double zoom_range = -1.0;
  double zoom_position = -1.0;
  int32_t slider_pitch = 0;
  int32_t slider_tempo = 0;
  int32_t loop_pitch = -1;
  int32_t loop_tempo = -1;
  bool silence_ok = true;
  double silence_seconds = 10.0;
  InsertPoint silence_where = InsertPoint::kCurrentPosition;
  int silence_dialogs = 0;
  bool volume_ok = true;
  double volume_percent = 100.0;
  int volume_dialogs = 0;
  std::vector<std::string> pad_notes;

  SongFileSet files;
  ProjectDocument document;
  EditCommands commands;
};

}  // namespace qv3::edit_testing

#endif  // QV3_EDITING_EDIT_TEST_SUPPORT_H_
