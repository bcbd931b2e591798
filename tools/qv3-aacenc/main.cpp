// qv3-aacenc: an AAC encoder with faac's command line, reading WAV on
// standard input. Export and CD ripping run it as their "faac" program.

#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/qv3-aacenc/aac_writer.h"
#include "tools/qv3-aacenc/aacenc_options.h"
#include "tools/qv3-aacenc/wav_stream.h"

namespace {

constexpr int kExitBadOptions = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitEncodeFailed = 3;

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "qv3-aacenc: %s\n", message.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv3::aacenc;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) return Fail(kExitBadOptions, error);
  if (options.help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
  av_log_set_level(AV_LOG_ERROR);

  std::FILE* in = stdin;
  if (options.input != "-") {
    in = std::fopen(options.input.c_str(), "rb");
    if (in == nullptr) return Fail(kExitBadInput, "cannot open '" + options.input + "'");
  }
  WavStreamReader reader(in);
  if (!reader.ReadHeader(&error)) return Fail(kExitBadInput, error);
  const WavFormat& format = reader.format();

  AacWriterSettings settings;
  settings.path = options.output;
  settings.mp4 = options.mp4;
  settings.input_rate = format.sample_rate;
  settings.channels = format.channels;
  settings.bit_rate = TargetBitRate(options, AacSampleRate(format.sample_rate), format.channels);
  settings.cutoff_hz = TargetCutoff(options, AacSampleRate(format.sample_rate));
  AacWriter writer;
  if (!writer.Open(settings, &error)) return Fail(kExitEncodeFailed, error);

  constexpr size_t kBlockFrames = 4096;
  std::vector<float> block(kBlockFrames * format.channels);
  size_t frames;
  while ((frames = reader.ReadFrames(block.data(), kBlockFrames)) > 0) {
    if (!writer.Write(block.data(), static_cast<int>(frames), &error))
      return Fail(kExitEncodeFailed, error);
  }
  if (in != stdin) std::fclose(in);
  if (!writer.Finish(&error)) return Fail(kExitEncodeFailed, error);
  return 0;
}
