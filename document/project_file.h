// The project file (".qvp"): a line-oriented text file, CR LF line ends,
// every item followed by an empty line except that marker lines and loop
// lines stand in groups; the notation pad's pages follow the loop group.
//
//   master_pitch 0
//   master_tempo 10000
//   master_vr 0
//   master_eq "name"
//   performance_transcribe 0
//   audio_file_path "/abs/path/song-Copy000001.wav"
//   marker "M1" 12.500000                      (one per marker)
//   loop "L1" 1.000000 2.000000 0 10000 0 "Reset" -1 0   (one per loop)
//   scorelet_pagecount 1 ...                   (pad pages)
//
// State snapshots of the edit history use the same format.
#ifndef QV3_DOCUMENT_PROJECT_FILE_H_
#define QV3_DOCUMENT_PROJECT_FILE_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/document_state.h"
#include "document/loop_list.h"
#include "document/marker_list.h"
#include "platform/path_names.h"

namespace qv3 {

inline constexpr char kAudioFilePathKey[] = "audio_file_path";
inline constexpr int32_t kMaxLoopDelay = 60;
// A stored loop end this close to the song length is the song's end.
inline constexpr double kLoopEndSnap = 0.0001;

// The project's own lines (items 1 to 8), without the pad pages. Names,
// tags and the preset name are written through SanitizeQuotedText.
std::string FormatProjectText(const DocumentState& state, const MarkerList& markers,
                              const LoopList& loops);

// The values of one project text, before they are applied to a document.
// Everything here has been range-checked: master pitch/tempo outside their
// ranges are left out (the old value stays), master_vr is clamped to
// 0 .. 256, loop pitch/tempo to the master ranges and delay to 0 .. 60;
// lines with non-finite numbers are dropped.
struct ParsedProject {
  struct Marker {
    std::string name;
    double position = 0.0;
  };
  struct Loop {
    std::string name;
    double start = 0.0;
    double end = 0.0;
    int32_t pitch = 0;
    int32_t tempo = kNormalTempo;
    int32_t flag_word = 0;
    std::string tag;
    int32_t repeat_count = -1;
    int32_t delay = 0;
  };
  std::optional<int32_t> master_pitch;
  std::optional<int32_t> master_tempo;
  std::optional<int32_t> master_vr;
  std::optional<std::string> master_eq;
  std::optional<PlaybackMode> mode;
  std::optional<std::string> audio_path;  // the first audio_file_path value, as written
  std::vector<Marker> markers;
  std::vector<Loop> loops;
};

// Parses the project lines of `text` (LF or CR LF). Lines of any length are
// taken whole; the pad's text-block lines (scorelet_textblockbegin ..
// scorelet_textblockend) are skipped so a text line cannot pose as a
// project line; unknown keywords and lines lacking values are ignored.
ParsedProject ParseProjectText(std::string_view text);

// The value of an audio_file_path line, or nullopt when the line is not one.
// `strict`: the line must have exactly two tokens (the rewrite and package
// look-up rule); otherwise at least two. A quoted value runs to the last
// double quote of the line, so a path holding a double quote survives.
std::optional<std::string> AudioPathOfLine(std::string_view line, bool strict);

// Resolves an audio_file_path value read from `project_path`: "./name" and
// ".\name" (projects made on Windows) are relative to the project's folder
// (when that folder exists), backslashes after them become "/"; any other
// value is used unchanged.
std::string ResolveProjectAudioPath(const std::string& project_path, const std::string& value);

// Copies the project replacing the audio_file_path line's value with
// `new_audio_path`; every other line, and any line of the pad's text blocks,
// is kept byte for byte. The copy is
// written to a temporary file and renamed over the project, so a failed
// rewrite leaves the project as it was. False on any read or write error.
bool RewriteProjectAudioPath(const std::string& project_path, const std::string& new_audio_path);
// The value of the first audio_file_path line (two tokens) outside the pad's
// text blocks, or empty text.
std::string ReadProjectAudioPath(const std::string& project_path);

// The text of the title line: "Quaverly 3: Ready" without a project name,
// else "Quaverly 3: %s%s | %d Kbps | %s Hz | %d Bit | %s | %.2f MB".
std::string ProjectTitleText(const DocumentState& state);

}  // namespace qv3

#endif  // QV3_DOCUMENT_PROJECT_FILE_H_
