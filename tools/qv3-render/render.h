// The work of qv3-render, separated from argument parsing so it can be
// called from tests and benchmarks. It is the headless twin of Export: the
// same pipeline (decoding, effects, sections, outputs by extension), with
// command-line options in place of the dialogs.
#ifndef QV3_TOOLS_QV3_RENDER_RENDER_H_
#define QV3_TOOLS_QV3_RENDER_RENDER_H_

#include <string>

namespace qv3 {

struct RenderOptions {
  bool transcribe = false;  // mode 206 instead of 200
  bool mode_set = false;
  double tempo = 100.0;     // per cent, 10 .. 400
  bool tempo_set = false;
  double pitch = 0.0;       // semitones, -24 .. 24
  bool pitch_set = false;
  std::string project;      // --project FILE.qvp: audio, loops and values from it
  int scope = -1;           // -1 song, -2 all loops, N loop N (0-based)
  int volume = -1;          // slider 0 .. 100; -1 unity gain
  int vocal_reduction = -1;  // 0 .. 256; -1 the project's level (or off)
  std::string eq_preset;    // a preset of the configuration (or a starter preset)
  int bitrate = 0;          // kbps for MP3, AAC and WMA; 0 the dialogs' defaults
  std::string aac_encoder;  // default: qv3-aacenc beside this program, else PATH
  std::string input, output;
};

// Parses the command line; on failure returns false and sets *error to a
// one-line message.
bool ParseRenderArgs(int argc, char** argv, RenderOptions* options,
                     std::string* error);

// Renders; returns false with a one-line message on failure.
bool Render(const RenderOptions& options, std::string* error);

}  // namespace qv3

#endif  // QV3_TOOLS_QV3_RENDER_RENDER_H_
