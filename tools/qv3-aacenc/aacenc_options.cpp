#include "tools/qv3-aacenc/aacenc_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace qv3::aacenc {

namespace {

// Quality -> kbps at 44.1 kHz stereo, the export dialog's rows.
constexpr std::array<std::pair<int, double>, 7> kQualityRows = {{
    {70, 62}, {80, 79}, {90, 103}, {100, 129}, {110, 158}, {120, 194}, {130, 218}}};

bool ParseInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  auto result = std::from_chars(begin, end, *value);
  return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  *options = Options();
  bool have_input = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options->help = true;
      return true;
    }
    // Options with a value: "-q N", "-qN", "--mpeg-vers N", "--mpeg-vers=N".
    std::string name;
    std::string value;
    bool has_value = false;
    if (arg == "--mpeg-vers" || arg.rfind("--mpeg-vers=", 0) == 0) {
      name = "--mpeg-vers";
      if (arg.size() > name.size()) {
        value = arg.substr(name.size() + 1);
        has_value = true;
      }
    } else if (arg.size() >= 2 && arg[0] == '-' &&
               (arg[1] == 'q' || arg[1] == 'c' || arg[1] == 'o' || arg[1] == 'b')) {
      name = arg.substr(0, 2);
      if (arg.size() > 2) {
        value = arg.substr(2);
        has_value = true;
      }
    } else if (arg == "-w") {
      options->mp4 = true;
      continue;
    } else if (arg == "-" || arg.empty() || arg[0] != '-') {
      if (have_input) {
        *error = "more than one input given ('" + options->input + "' and '" + arg + "')";
        return false;
      }
      if (arg.empty()) {
        *error = "empty input file name";
        return false;
      }
      options->input = arg;
      have_input = true;
      continue;
    } else {
      *error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
    if (!has_value) {
      if (i + 1 >= args.size()) {
        *error = "option " + name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    int number = 0;
    if (name == "-o") {
      if (value.empty()) {
        *error = "option -o needs a file name";
        return false;
      }
      options->output = value;
    } else if (!ParseInt(value, &number)) {
      *error = "option " + name + " needs a whole number, not '" + value + "'";
      return false;
    } else if (name == "-q") {
      if (number < kMinQuality || number > kMaxQuality) {
        *error = "quality -q must be 10..500, not " + value;
        return false;
      }
      options->quality = number;
    } else if (name == "-c") {
      if (number < 1000 || number > 96000) {
        *error = "bandwidth -c must be 1000..96000 Hz, not " + value;
        return false;
      }
      options->cutoff_hz = number;
    } else if (name == "-b") {
      if (number < 8 || number > 576) {
        *error = "bit rate -b must be 8..576 kbps per channel, not " + value;
        return false;
      }
      options->abr_kbps_per_channel = number;
    } else {  // --mpeg-vers
      if (number != 2 && number != 4) {
        *error = "--mpeg-vers must be 2 or 4, not " + value;
        return false;
      }
      options->mpeg_version = number;
    }
  }
  if (options->output.empty()) {
    *error = "no output file given (-o FILE)";
    return false;
  }
  if (!have_input) {
    *error = "no input given (use - for standard input)";
    return false;
  }
  return true;
}

double QualityToStereoKbps(int quality) {
  const auto& first = kQualityRows.front();
  const auto& last = kQualityRows.back();
  if (quality <= first.first) return first.second * quality / first.first;
  if (quality >= last.first) return last.second * quality / last.first;
  for (size_t i = 1; i < kQualityRows.size(); ++i) {
    const auto& [q1, k1] = kQualityRows[i];
    if (quality <= q1) {
      const auto& [q0, k0] = kQualityRows[i - 1];
      return k0 + (k1 - k0) * (quality - q0) / (q1 - q0);
    }
  }
  return last.second;
}

long TargetBitRate(const Options& options, int sample_rate, int channels) {
  double per_channel_kbps = options.abr_kbps_per_channel > 0
                                ? options.abr_kbps_per_channel
                                : QualityToStereoKbps(options.quality) / 2.0;
  if (options.abr_kbps_per_channel == 0 && sample_rate > 0 && sample_rate < 44100) {
    // Quality means the same detail per second of sound; fewer samples
    // need fewer bits.
    per_channel_kbps *= sample_rate / 44100.0;
  }
  double bps = per_channel_kbps * 1000.0 * std::max(channels, 1);
  // AAC carries at most 6144 bits per channel in each 1024-sample frame.
  const double cap = 6144.0 * std::max(channels, 1) * sample_rate / 1024.0;
  if (sample_rate > 0) bps = std::min(bps, cap);
  return std::lround(std::max(bps, 8000.0));
}

int TargetCutoff(const Options& options, int sample_rate) {
  if (options.cutoff_hz <= 0) return 0;
  return std::min(options.cutoff_hz, sample_rate / 2);
}

std::string HelpText() {
  return "Usage: qv3-aacenc [options] -o OUTPUT INPUT\n"
         "Encodes a WAV stream (8/16/24/32-bit PCM or 32/64-bit float, mono or stereo,\n"
         "any sample rate) to AAC with FFmpeg's AAC encoder. INPUT is a WAV file or -\n"
         "for standard input; the stream's length fields may be 0 or unknown.\n"
         "\n"
         "Options (faac's):\n"
         "  -q N            quality 10..500 (default 100); 70..130 give about 62..218\n"
         "                  kbps for 44.1 kHz stereo\n"
         "  -c N            bandwidth (low-pass cut-off) in Hz, 1000..96000\n"
         "  -b N            average bit rate in kbps per channel (overrides -q)\n"
         "  --mpeg-vers N   MPEG version 2 or 4 (AAC LC either way)\n"
         "  -w              write an MP4/M4A file instead of a raw ADTS stream\n"
         "  -o FILE         output file\n"
         "  -h, --help      this text\n"
         "\n"
         "Exit status: 0 on success, 1 bad options, 2 bad input, 3 encoding or output failed.\n";
}

}  // namespace qv3::aacenc
