// The audio library side of the peak scan, in its own file so that code
// using only ScanPeaks does not link the audio library.
#include <algorithm>

#include "editing/peak_scan.h"

namespace qv3 {

void AudiolibPeakSource::Rewind() { ChannelSetPosition(channel_, 0, kPosByte); }

int64_t AudiolibPeakSource::Read(float* buffer, int64_t max_floats) {
  int64_t got = 0;
  while (got < max_floats) {
    const int64_t want_bytes = std::min<int64_t>((max_floats - got) * 4, kDataLengthMask & ~3u);
    const uint32_t r = ChannelGetData(channel_, buffer + got, static_cast<uint32_t>(want_bytes) | kDataFloat);
    if (r == kDataError || r == 0) break;
    got += r / 4;
  }
  return got;
}

bool ScanChannelPeaks(StreamHandle channel, PeakSet* peaks) {
  ChannelInfo info{};
  if (!ChannelGetInfo(channel, &info)) {
    peaks->left.clear();
    peaks->right.clear();
    peaks->value_count = 0;
    return false;
  }
  AudiolibPeakSource source(channel);
  return ScanPeaks(source, static_cast<int>(info.chans), static_cast<int>(info.freq), peaks);
}

}  // namespace qv3
