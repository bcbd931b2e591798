// Export: what is rendered (scope, sections, progress total) and where to
// (format by the file name's ending). Plain data and pure planning; the
// rendering itself is in export_render.h.
#ifndef QV3_EDITING_EXPORT_JOB_H_
#define QV3_EDITING_EXPORT_JOB_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audiolib/audiolib.h"

namespace qv3 {

// Scope values: 0 .. loops - 1 one loop, or these.
inline constexpr int kExportScopeSong = -1;
inline constexpr int kExportScopeAllLoops = -2;

inline constexpr int32_t kExportNormalTempo = 10000;  // hundredths of a per cent

// A loop as export needs it (the main window copies its loop list).
struct ExportLoop {
  std::string name;
  double start = 0.0;  // seconds
  double end = 0.0;
  int32_t pitch = 0;                     // hundredths of a semitone
  int32_t tempo = kExportNormalTempo;    // hundredths of a per cent
};

// Everything of the song that shapes the export.
struct ExportSong {
  std::string audio_path;  // the edit history's current audio file
  std::string source_path;  // the file the user opened (duplicate-name check)
  std::vector<ExportLoop> loops;  // list (creation) order
  int32_t master_pitch = 0;
  int32_t master_tempo = kExportNormalTempo;
  int volume_slider = 50;  // 0 .. 100
  // When >= 0, the gain used instead of the slider's factor (a plain render
  // by qv3-render without --volume).
  double volume_factor = -1.0;
  // The time/pitch processor's mode: 200 performance, 206 transcribe.
  int processor_mode = 200;
  // Installs vocal reduction (DSP, priority 2, stereo and level > 0) and the
  // nine equaliser bands on the export stream. The main window and
  // qv3-render fill it; empty means no effects.
  std::function<void(StreamHandle stream)> attach_effects;
};

// One stretch of the source rendered with one tempo and pitch.
struct ExportSection {
  int64_t start_frame = 0;
  int64_t end_frame = 0;  // exclusive; -1 = the end of the stream
  int32_t pitch = 0;
  int32_t tempo = kExportNormalTempo;
  bool straight() const { return pitch == 0 && tempo == kExportNormalTempo; }
};

// Source frame of a time: rate x seconds, rounded to nearest.
int64_t ExportFrameAt(double seconds, int sample_rate);

// The sections of a scope over a stream of `total_frames` frames, in the
// order they are written. Song: the loops in time order (the list holds them
// in creation order), the gaps before, between and after them with the
// master values; a loop clipped to the stream and to the end of the one
// before it. All loops: list order, each from its start. Empty for a scope
// that names no loop.
std::vector<ExportSection> PlanExportSections(const ExportSong& song, int scope, int sample_rate,
                                              int64_t total_frames);

// Output frames of a section: source frames / (tempo / 10000), rounded.
int64_t ExportOutputFrames(const ExportSection& section);

// The progress total: samples (frames x channels) over the sections, each
// divided by tempo / 10000 when the tempo is not 10000.
double ExportExpectedSamples(const std::vector<ExportSection>& sections, int channels);

enum class ExportFormat { kWav, kMp3, kAac, kMp4, kWma };

// By the last four characters of the path in lower case: ".mp3", ".aac",
// ".mp4" or ".m4a" (AAC in MP4), ".wma"; anything else is WAV.
ExportFormat ExportFormatOfPath(const std::string& path);

// Volume factor: slider / 100 x 0.95.
double ExportVolumeFactor(int volume_slider);

// 16-bit sample of a scaled float: x 32768 truncated toward zero, clamped to
// -32768 .. 32767.
int16_t ExportSample16(float scaled);

}  // namespace qv3

#endif  // QV3_EDITING_EXPORT_JOB_H_
