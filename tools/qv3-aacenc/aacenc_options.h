// Command line of qv3-aacenc: the subset of faac's options that the export
// and the CD ripper pass ("-q N -c N --mpeg-vers 4 [-w] -o OUT -"), and the
// mapping from faac's quality to a bit rate for FFmpeg's AAC encoder.
#ifndef QV3_TOOLS_QV3_AACENC_AACENC_OPTIONS_H_
#define QV3_TOOLS_QV3_AACENC_AACENC_OPTIONS_H_

#include <string>
#include <vector>

namespace qv3::aacenc {

inline constexpr int kMinQuality = 10;
inline constexpr int kMaxQuality = 500;
inline constexpr int kDefaultQuality = 100;

struct Options {
  int quality = kDefaultQuality;  // faac's -q
  int cutoff_hz = 0;              // faac's -c; 0 = the encoder's own choice
  int abr_kbps_per_channel = 0;   // faac's -b; when set it overrides -q
  int mpeg_version = 4;           // --mpeg-vers 2 or 4 (both give MPEG-4 AAC LC)
  bool mp4 = false;               // -w: MP4 container instead of raw ADTS
  std::string output;             // -o
  std::string input;              // "-" for standard input, or a WAV path
  bool help = false;              // --help / -h
};

// Parses argv[1..]; on failure returns false with a one-line reason.
// Short options take their value as the next argument or attached ("-q130").
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error);

// faac quality -> kbps for 44.1 kHz stereo. Follows the rows of the export's
// bit rate table (q 70..130 -> 62..218 kbps), interpolated between rows and
// proportional outside them.
double QualityToStereoKbps(int quality);

// The bit rate (bits per second) to ask FFmpeg's encoder for: the quality's
// kbps per channel pair scaled to the channel count and, below 44.1 kHz, to
// the sample rate; capped at what AAC can carry at that rate.
long TargetBitRate(const Options& options, int sample_rate, int channels);

// The low-pass frequency to ask for: -c held below half the sample rate,
// 0 when not given.
int TargetCutoff(const Options& options, int sample_rate);

// The text of --help.
std::string HelpText();

}  // namespace qv3::aacenc

#endif  // QV3_TOOLS_QV3_AACENC_AACENC_OPTIONS_H_
