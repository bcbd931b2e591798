// DocumentState: the open document of the main window, as plain data.
#ifndef QV3_DOCUMENT_DOCUMENT_STATE_H_
#define QV3_DOCUMENT_DOCUMENT_STATE_H_

#include <cstdint>
#include <string>

#include "document/master_values.h"

namespace qv3 {

inline constexpr char kUntitledProjectName[] = "Untitled.qvp";

enum class PlaybackMode : int32_t { kPerformance = 0, kTranscribe = 1 };

// Facts of the opened audio stream, for the title line.
struct StreamFacts {
  int32_t sample_rate = 0;       // Hz
  int32_t channels = 0;
  int32_t bytes_per_sample = 0;
  int32_t bit_rate = 0;          // kbps
  int64_t file_size = 0;         // bytes
};

struct DocumentState {
  std::string project_path;  // full path; Project folder + "/Untitled.qvp" after opening audio
  std::string source_path;   // the file the user opened
  std::string audio_path;    // the WAV file the project refers to (the audio copy)
  int32_t saved = 1;         // 1 = unchanged since the last load or save
  MasterValues master;       // pitch, tempo, vocal reduction, EQ preset name
  PlaybackMode mode = PlaybackMode::kPerformance;
  int32_t current_loop = -1;  // -1 = none
  double song_length = 0.0;   // seconds
  bool audio_open = false;    // an audio stream is open
  StreamFacts stream;
};

}  // namespace qv3

#endif  // QV3_DOCUMENT_DOCUMENT_STATE_H_
