// qv3-render [--mode performance|transcribe] [--tempo PERCENT]
//            [--pitch SEMITONES] [--volume 0..100] [--vocal-reduction 0..256]
//            [--eq-preset NAME] [--bitrate KBPS] [--aac-encoder PROGRAM]
//            INPUT OUTPUT
// qv3-render --project FILE.qvp [--scope song|loops|loop:N] [options] OUTPUT
#include <cstdio>
#include <string>

#include "tools/qv3-render/render.h"

int main(int argc, char** argv) {
  qv3::RenderOptions options;
  std::string error;
  if (!qv3::ParseRenderArgs(argc, argv, &options, &error) ||
      !qv3::Render(options, &error)) {
    std::fprintf(stderr, "qv3-render: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
