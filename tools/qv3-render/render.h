// The work of qv3-render, separated from argument parsing so it can be
// called from tests and benchmarks.
#ifndef QV3_TOOLS_QV3_RENDER_RENDER_H_
#define QV3_TOOLS_QV3_RENDER_RENDER_H_

#include <string>

namespace qv3 {

struct RenderOptions {
  bool transcribe = false;  // mode 206 instead of 200
  double tempo = 100.0;     // per cent, 10 .. 400
  double pitch = 0.0;       // semitones, -24 .. 24
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
