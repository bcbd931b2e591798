// The peak scan: the whole working audio reduced to one (maximum, minimum)
// pair of 16-bit values per millisecond and channel, which the waveform view
// draws. The scan reads a float decoding stream once, in one-second reads,
// and leaves the stream rewound to its start for the player.
#ifndef QV3_EDITING_PEAK_SCAN_H_
#define QV3_EDITING_PEAK_SCAN_H_

#include <cstdint>
#include <vector>

#include "audiolib/audiolib.h"

namespace qv3 {

// The peaks of the open song. For millisecond m, element 2m holds the
// maximum and 2m + 1 the minimum, as sample x 32768 truncated toward zero and
// clamped to -32768 .. 32767 (a full-scale +1.0 would otherwise wrap).
struct PeakSet {
  std::vector<int16_t> left;   // channel 1, or the only channel
  std::vector<int16_t> right;  // channel 2; empty for mono songs
  int32_t value_count = 0;     // int16 elements per array = 2 x milliseconds
};

// What the scan reads: interleaved float samples from a decoding stream.
// Kept apart from the audio library so the scan can be tested on generated
// data; AudiolibPeakSource (peak_source_audiolib.h) adapts a decode stream.
class PeakSource {
 public:
  virtual ~PeakSource() = default;
  // Moves the stream back to byte 0.
  virtual void Rewind() = 0;
  // Reads up to `max_floats` samples (whole frames). A read is short only at
  // the end of the data. Returns the number of floats read; 0 or a negative
  // value at the end or on an error, which ends the scan.
  virtual int64_t Read(float* buffer, int64_t max_floats) = 0;
};

// Status text sent after the 999th pair and after every 1000 pairs after it.
inline constexpr const char kScanningPeaksFormat[] = "Scanning Peaks... %d:%02d";
// Texts of the callers around the scan.
inline constexpr const char kScanningPeaksText[] = "Scanning Peaks...";
inline constexpr const char kScanPeaksFailedText[] = "Failed to Scan the Audio Peaks.";
inline constexpr const char kScanPeaksFailedCaption[] = "Read Error";

// Scans `source` (of `channels` interleaved channels at `rate` Hz) into
// `peaks`, which is emptied first. Fails only for a channel count other than
// 1 or 2 (and for a rate below 1000 Hz, where a millisecond would hold no
// sample). A read error part-way keeps what was scanned and succeeds.
// Progress texts go to Ui().SetStatusText.
bool ScanPeaks(PeakSource& source, int channels, int rate, PeakSet* peaks);

// ScanPeaks, and on failure the caller's message "Failed to Scan the Audio
// Peaks." (caption "Read Error").
bool ScanPeaksOrReport(PeakSource& source, int channels, int rate, PeakSet* peaks);

// A float decoding stream of the audio library as a PeakSource. Reads are
// filled to the size asked for unless the stream ends, so every read but the
// last is a whole second.
class AudiolibPeakSource : public PeakSource {
 public:
  explicit AudiolibPeakSource(StreamHandle channel) : channel_(channel) {}
  void Rewind() override;
  int64_t Read(float* buffer, int64_t max_floats) override;

 private:
  StreamHandle channel_;
};

// The scan of a decoding channel opened with kSampleFloat | kStreamDecode;
// its channel count and rate come from ChannelGetInfo.
bool ScanChannelPeaks(StreamHandle channel, PeakSet* peaks);

}  // namespace qv3

#endif  // QV3_EDITING_PEAK_SCAN_H_
